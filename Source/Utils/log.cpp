// The logger: one per process, bound to ZENTO_LOG.dll when that library is
// present. Without it, or with logging switched off, every call returns at
// once and nothing is written.
#include "Utils/log.h"

#include <windows.h>
#include <shlwapi.h>

#include <shared_mutex>
#include <string>

#include "DuiLib/ScopedWin.h"
#include "Utils/ZentoLog.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

namespace {

struct Logger {
    int configured = 0;
    int enabled = 1;
    bool loadTried = false;  // one attempt per plug-in run, found or not
    ZENTO_LOG_HANDLE handle = nullptr;
    DuiLib::ScopedModule library;
    ZentoCreateLogHandleFn create = nullptr;
    ZentoLogHandleSetConfigParamFn setConfig = nullptr;
    ZentoFreeLogHandleFn free = nullptr;
    ZentoLogHandleLoggerFn logger = nullptr;
    // Lines are written under a shared hold; Configure and Release take it
    // alone, so a pop-up thread's line never meets a handle being freed.
    std::shared_mutex guard;
};

Logger& State()
{
    static Logger logger;
    return logger;
}

template <typename Fn>
Fn Resolve(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Called with the guard held alone.
void LoadLibraryLocked(Logger& s)
{
    if (s.library || s.loadTried) return;
    s.loadTried = true;
    DuiLib::ScopedModule library(LoadLibraryW(L"ZENTO_LOG.dll"));
    if (!library) return;
    auto create = Resolve<ZentoCreateLogHandleFn>(library.get(), "ZentoCreateLogHandle");
    auto setConfig = Resolve<ZentoLogHandleSetConfigParamFn>(library.get(), "ZentoLogHandleSetConfigParam");
    auto freeHandle = Resolve<ZentoFreeLogHandleFn>(library.get(), "ZentoFreeLogHandle");
    auto logger = Resolve<ZentoLogHandleLoggerFn>(library.get(), "ZentoLogHandleLogger");
    if (!create || !setConfig || !freeHandle || !logger) return;
    s.library = std::move(library);
    s.create = create;
    s.setConfig = setConfig;
    s.free = freeHandle;
    s.logger = logger;
}

void FreeHandleLocked(Logger& s)
{
    if (!s.configured) return;
    s.free(s.handle);
    s.handle = nullptr;
    s.configured = 0;
}

}  // namespace

void InitLogger()
{
    Logger& s = State();
    {
        std::shared_lock<std::shared_mutex> hold(s.guard);
        if (s.library || s.loadTried) return;
    }
    std::unique_lock<std::shared_mutex> hold(s.guard);
    LoadLibraryLocked(s);
}

std::wstring BuildLogFileBase()
{
    std::wstring folder = UserSettings::GetUserDataFolder(L"ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\");
    std::wstring logFolder = folder + L"\\log";
    if (!PathIsDirectoryW(logFolder.c_str())) CreateDirectoryW(logFolder.c_str(), nullptr);
    return logFolder + L"\\LumoraPlugin";
}

void ConfigureLogger()
{
    InitLogger();
    Logger& s = State();
    std::unique_lock<std::shared_mutex> hold(s.guard);
    if (s.configured || !s.create || !s.setConfig || !s.free) return;
    // The setting is asked only while the flag is still set. A start that
    // found logging off clears it, so nothing is written for the rest of that
    // run whatever the setting becomes; the next start goes ahead without
    // asking again. Kept as the product has always behaved.
    if (s.enabled) {
        s.enabled = UserSettings::Instance().GetIsWriteLog() ? 1 : 0;
        if (!s.enabled) return;
    }
    const std::string base = WideToUtf8(BuildLogFileBase());
    ZENTO_LOG_HANDLE handle = nullptr;
    if (s.create(&handle) != 1) return;
    if (s.setConfig(handle, 1, 1, base.c_str()) == 1) {
        s.handle = handle;
        s.configured = 1;
    } else {
        s.free(handle);
        s.handle = nullptr;
    }
}

void ReleaseLogger()
{
    Logger& s = State();
    std::unique_lock<std::shared_mutex> hold(s.guard);
    FreeHandleLocked(s);
}

void UnloadLogger()
{
    Logger& s = State();
    std::unique_lock<std::shared_mutex> hold(s.guard);
    FreeHandleLocked(s);
    s.create = nullptr;
    s.setConfig = nullptr;
    s.free = nullptr;
    s.logger = nullptr;
    s.library.reset();
    s.loadTried = false;
}

void LogBoundaryException(const char* where, const char* what) noexcept
{
    try {
        const std::string line = std::string("[") + (where ? where : "") +
                                 "] exception stopped at the boundary: " + (what ? what : "");
        LogWrite(4, line.c_str(), __LINE__);
    } catch (...) {
        // Out of memory while reporting: the report is dropped, the entry
        // still returns its failure value.
    }
}

void LogSkinFailure(const std::wstring& text) noexcept
{
    try {
        LogWrite(4, WideToAnsi(L"[skin] cannot build " + text).c_str(), __LINE__);
    } catch (...) {
        // As above: the report is dropped, the window shows what was built.
    }
}

void LogWrite(int level, const char* message, int line, const char* file, int extra)
{
    InitLogger();
    Logger& s = State();
    std::shared_lock<std::shared_mutex> hold(s.guard);
    if (!s.configured || !s.logger) return;
    std::string text = message ? message : "";
    if (extra != 0) text += std::to_string(extra);
    const std::string file8 = AnsiToUtf8(file ? file : kLogModuleSourceName);
    const std::string text8 = AnsiToUtf8(text);
    s.logger(s.handle, level, "[%s,%d] %s", file8.c_str(), line, text8.c_str());
}
