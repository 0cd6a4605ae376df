// Points the shell's user and common application-data folders at test
// folders for the life of the object. Wine resolves both through the
// "User Shell Folders" registry keys (not through the process environment),
// so the redirection is made there and the original values are put back at
// destruction. Child processes started meanwhile see the same folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

class ScopedShellFolders {
public:
    ScopedShellFolders(const std::wstring& userAppData, const std::wstring& commonAppData);
    ~ScopedShellFolders();
    ScopedShellFolders(const ScopedShellFolders&) = delete;
    ScopedShellFolders& operator=(const ScopedShellFolders&) = delete;
    bool ok() const { return m_ok_; }

private:
    struct Saved {
        HKEY root;
        std::wstring name;
        bool existed = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    bool Redirect(HKEY root, const wchar_t* name, const std::wstring& folder);
    std::vector<Saved> m_saved_;
    bool m_ok_ = true;
};

// A user and a common application-data folder inside one temporary folder
// (its name carries Chinese characters), redirected for the object's life.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;
    const std::wstring& Root() const { return m_root_; }
    const std::wstring& UserAppData() const { return m_user_; }
    const std::wstring& CommonAppData() const { return m_common_; }
    // <user app data>\ZENTO\Tamu\Plugin\CertApp\LumoraPlugin
    std::wstring UserProductFolder() const;
    std::wstring UserIniPath() const;
    std::wstring CommonProductFolder() const;
    std::wstring CommonIniPath() const;
    // Replace the user's or the installation-wide INI file with bytes, its
    // folder made when missing.
    bool WriteUserIni(const std::string& bytes) const;
    bool WriteCommonIni(const std::string& bytes) const;
    // The repository's lang\<id>.lng where an installation puts it.
    bool InstallLanguageFile(int id) const;
    bool ok() const { return !m_root_.empty() && m_folders_.ok(); }

private:
    std::wstring MakeRoot();
    std::wstring m_root_;
    std::wstring m_user_;
    std::wstring m_common_;
    ScopedShellFolders m_folders_;
};

// Runs exe with the command line "exe args" in folder cwd and waits up to
// timeoutMs; the exit code, or -1 when it could not start or did not end.
int RunChildProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd,
                    DWORD timeoutMs = 60000);

// Creates every missing folder of path.
bool MakeFolders(const std::wstring& path);

}  // namespace testsupport
