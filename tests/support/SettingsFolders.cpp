// Shell folder redirection for settings, language and log tests; see
// SettingsFolders.h.
#include "SettingsFolders.h"

#include <shlobj.h>

#include "TestSupport.h"

namespace testsupport {

namespace {
const wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
}

ScopedShellFolders::ScopedShellFolders(const std::wstring& userAppData, const std::wstring& commonAppData)
{
    m_ok_ = Redirect(HKEY_CURRENT_USER, L"AppData", userAppData) &&
            Redirect(HKEY_LOCAL_MACHINE, L"Common AppData", commonAppData);
}

bool ScopedShellFolders::Redirect(HKEY root, const wchar_t* name, const std::wstring& folder)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kShellFoldersKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    Saved saved{root, name};
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS) {
        saved.data.resize(size);
        saved.existed =
            RegQueryValueExW(key, name, nullptr, &saved.type, saved.data.data(), &size) == ERROR_SUCCESS;
    }
    LONG r = RegSetValueExW(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                            static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    m_saved_.push_back(std::move(saved));
    return r == ERROR_SUCCESS;
}

ScopedShellFolders::~ScopedShellFolders()
{
    for (auto it = m_saved_.rbegin(); it != m_saved_.rend(); ++it) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(it->root, kShellFoldersKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
        if (it->existed) {
            RegSetValueExW(key, it->name.c_str(), 0, it->type, it->data.data(),
                           static_cast<DWORD>(it->data.size()));
        } else {
            RegDeleteValueW(key, it->name.c_str());
        }
        RegCloseKey(key);
    }
}

bool MakeFolders(const std::wstring& path)
{
    int r = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return r == ERROR_SUCCESS || r == ERROR_ALREADY_EXISTS || r == ERROR_FILE_EXISTS;
}

int RunChildProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd,
                    DWORD timeoutMs)
{
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi))
        return -1;
    int rc = -1;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        if (GetExitCodeProcess(pi.hProcess, &code)) rc = static_cast<int>(code);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return rc;
}

std::wstring SettingsSandbox::MakeRoot()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::wstring candidate = std::wstring(base) + L"lumora_\u8bbe\u7f6e_" +
                                 std::to_wstring(GetCurrentProcessId()) + L"_" +
                                 std::to_wstring(InterlockedIncrement(&counter));
        if (CreateDirectoryW(candidate.c_str(), nullptr)) return candidate;
    }
    return std::wstring();
}

SettingsSandbox::SettingsSandbox()
    : m_root_(MakeRoot()),
      m_user_(m_root_ + L"\\\u7528\u6237 AppData\\Roaming"),
      m_common_(m_root_ + L"\\ProgramData"),
      m_folders_(m_user_, m_common_)
{
    MakeFolders(m_user_);
    MakeFolders(m_common_);
}

SettingsSandbox::~SettingsSandbox()
{
    if (!m_root_.empty()) RemoveTree(m_root_);
}

std::wstring SettingsSandbox::UserProductFolder() const
{
    return m_user_ + L"\\ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin";
}
std::wstring SettingsSandbox::UserIniPath() const
{
    return UserProductFolder() + L"\\LumoraPlugin.ini";
}
std::wstring SettingsSandbox::CommonProductFolder() const
{
    return m_common_ + L"\\ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin";
}
std::wstring SettingsSandbox::CommonIniPath() const
{
    return CommonProductFolder() + L"\\LumoraPlugin.ini";
}

bool SettingsSandbox::WriteUserIni(const std::string& bytes) const
{
    return MakeFolders(UserProductFolder()) && WriteFileBytes(UserIniPath(), bytes);
}

bool SettingsSandbox::WriteCommonIni(const std::string& bytes) const
{
    return MakeFolders(CommonProductFolder()) && WriteFileBytes(CommonIniPath(), bytes);
}

bool SettingsSandbox::InstallLanguageFile(int id) const
{
    const std::wstring name = L"\\" + std::to_wstring(id) + L".lng";
    return MakeFolders(CommonProductFolder() + L"\\lang") &&
           CopyFileW((SourceDir() + L"\\lang" + name).c_str(), (CommonProductFolder() + L"\\lang" + name).c_str(),
                     FALSE);
}

}  // namespace testsupport
