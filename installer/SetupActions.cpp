// Custom action of both packages: before Windows Installer replaces or
// removes files, any program that still has the plug-in loaded is named and
// the user asked to close it. Left alone, the installer would remove what it
// can and leave the loaded DLL for the next restart: half an installation.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/ScopedWin.h"

namespace {

struct MsiRecordTraits {
    using type = MSIHANDLE;
    static type None() noexcept { return 0; }
    static void Free(type h) noexcept { MsiCloseHandle(h); }
};
using ScopedMsiRecord = DuiLib::UniqueResource<MsiRecordTraits>;

// The installer's own text for a formatted template ("[#PluginDll]" is the
// plug-in's target path once costs are final).
std::wstring Formatted(MSIHANDLE install, const wchar_t* text)
{
    ScopedMsiRecord record(MsiCreateRecord(0));
    if (!record || MsiRecordSetStringW(record.get(), 0, text) != ERROR_SUCCESS) return std::wstring();
    DWORD size = 0;
    wchar_t empty[1] = {};
    if (MsiFormatRecordW(install, record.get(), empty, &size) != ERROR_MORE_DATA) return std::wstring();
    std::wstring out(++size, L'\0');
    if (MsiFormatRecordW(install, record.get(), &out[0], &size) != ERROR_SUCCESS) return std::wstring();
    out.resize(size);
    return out;
}

struct FileIdentity {
    DWORD volume = 0, high = 0, low = 0;
    bool operator==(const FileIdentity& o) const
    {
        return volume == o.volume && high == o.high && low == o.low;
    }
};

// Volume and file index: the same file under a short name, another case or
// another spelling of its folder is still recognised.
bool IdentifyFile(const std::wstring& path, FileIdentity& identity)
{
    DuiLib::ScopedFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

bool ProcessHasLoaded(HANDLE process, const FileIdentity& plugin, const std::wstring& pluginName)
{
    std::vector<HMODULE> modules(512);
    DWORD needed = 0;
    for (;;) {
        const DWORD bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!EnumProcessModulesEx(process, modules.data(), bytes, &needed, LIST_MODULES_ALL)) return false;
        if (needed <= bytes) break;
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    modules.resize(needed / sizeof(HMODULE));
    for (HMODULE module : modules) {
        wchar_t path[MAX_PATH * 2] = {};
        if (!GetModuleFileNameExW(process, module, path, MAX_PATH * 2)) continue;
        const wchar_t* name = wcsrchr(path, L'\\');
        name = name ? name + 1 : path;
        // Only a module of the plug-in's name is worth opening.
        if (CompareStringOrdinal(name, -1, pluginName.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
        FileIdentity identity;
        if (IdentifyFile(path, identity) && identity == plugin) return true;
    }
    return false;
}

// "TamuHost.exe (1234)" for every process that has the file loaded.
std::vector<std::wstring> ProgramsHolding(const std::wstring& pluginPath)
{
    std::vector<std::wstring> holders;
    FileIdentity plugin;
    if (!IdentifyFile(pluginPath, plugin)) return holders;  // nothing installed there yet
    const wchar_t* slash = wcsrchr(pluginPath.c_str(), L'\\');
    const std::wstring pluginName = slash ? slash + 1 : pluginPath;

    std::vector<DWORD> ids(1024);
    DWORD bytes = 0;
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(ids.size() * sizeof(DWORD));
        if (!EnumProcesses(ids.data(), capacity, &bytes)) return holders;
        if (bytes < capacity) break;
        ids.resize(ids.size() * 2);
    }
    ids.resize(bytes / sizeof(DWORD));
    for (DWORD id : ids) {
        if (id == 0 || id == GetCurrentProcessId()) continue;
        DuiLib::ScopedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
        if (!process || !ProcessHasLoaded(process.get(), plugin, pluginName)) continue;
        wchar_t image[MAX_PATH] = {};
        if (!GetModuleBaseNameW(process.get(), nullptr, image, MAX_PATH)) wcscpy(image, L"?");
        holders.push_back(std::wstring(image) + L" (" + std::to_wstring(id) + L")");
    }
    return holders;
}

const wchar_t* InUseMessage()
{
    if (PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE)
        return L"LumoraPlugin 正被以下程序使用：[1]\n"
               L"请关闭这些程序（加载插件的宿主程序）后点“重试”。点“取消”则不做任何更改。";
    return L"LumoraPlugin is in use by: [1]\n"
           L"Close these programs (the host application that loads the plug-in), then choose Retry. "
           L"Cancel leaves everything as it is.";
}

// IDRETRY, IDCANCEL, or 0 when the installer runs without a user interface.
int AskToClose(MSIHANDLE install, const std::vector<std::wstring>& holders)
{
    std::wstring names;
    for (const std::wstring& holder : holders) names += (names.empty() ? L"" : L", ") + holder;
    ScopedMsiRecord record(MsiCreateRecord(1));
    if (!record) return 0;
    MsiRecordSetStringW(record.get(), 0, InUseMessage());
    MsiRecordSetStringW(record.get(), 1, names.c_str());
    return MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_RETRYCANCEL | MB_ICONWARNING),
                             record.get());
}

}  // namespace

// Immediate, before InstallValidate; the only entry of this library.
extern "C" __declspec(dllexport) UINT __stdcall CheckPluginNotInUse(MSIHANDLE install)
{
    return DuiLib::GuardBoundary("CheckPluginNotInUse", static_cast<UINT>(ERROR_INSTALL_FAILURE), [install] {
        const std::wstring plugin = Formatted(install, L"[#PluginDll]");
        if (plugin.empty()) return static_cast<UINT>(ERROR_SUCCESS);
        for (;;) {
            const std::vector<std::wstring> holders = ProgramsHolding(plugin);
            if (holders.empty()) return static_cast<UINT>(ERROR_SUCCESS);
            const int answer = AskToClose(install, holders);
            if (answer == IDRETRY) continue;
            // A silent run has nobody to ask: it stops before changing anything.
            return static_cast<UINT>(answer == IDCANCEL ? ERROR_INSTALL_USEREXIT : ERROR_INSTALL_FAILURE);
        }
    });
}
