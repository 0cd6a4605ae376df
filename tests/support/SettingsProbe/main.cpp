// A small child process for settings and logging tests: what can only be
// seen in a process of its own (a logger that starts with logging off, a
// folder without ZENTO_LOG.dll).
//   LumoraSettingsProbe log-without-library
//   LumoraSettingsProbe log-off-at-start
#include <windows.h>

#include <string>

#include "Utils/UserSettings.h"
#include "Utils/log.h"

namespace {

// Settings say log; the library is absent. Exit 0 when every call came back
// at once and the library really was not loaded.
int LogWithoutLibrary()
{
    UserSettings::Instance().Load();
    if (!UserSettings::Instance().GetIsWriteLog()) return 5;
    DWORD start = GetTickCount();
    InitLogger();
    ConfigureLogger();
    for (int i = 0; i < 2000; ++i) LogWrite(4, "no library", i, __FILE__, i);
    ReleaseLogger();
    DWORD elapsed = GetTickCount() - start;
    if (GetModuleHandleW(L"ZENTO_LOG.dll")) return 6;
    return elapsed < 3000 ? 0 : 7;
}

// Logging is off when the module starts; the setting changes while it runs;
// then the module starts again.
int LogOffAtStart()
{
    UserSettings::Instance().Load();
    LogWrite(4, "before the module started", __LINE__);
    ConfigureLogger();
    LogWrite(4, "while logging is off", __LINE__);
    if (!UserSettings::Instance().SetIsWriteLog(L"true")) return 8;
    LogWrite(4, "after the setting changed", __LINE__);
    ReleaseLogger();
    ConfigureLogger();  // the module starts again
    LogWrite(4, "after the module started again", __LINE__);
    ReleaseLogger();
    return GetModuleHandleW(L"ZENTO_LOG.dll") ? 0 : 9;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 1;
    std::wstring command = argv[1];
    if (command == L"log-without-library") return LogWithoutLibrary();
    if (command == L"log-off-at-start") return LogOffAtStart();
    return 1;
}
