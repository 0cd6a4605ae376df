// The user's settings: the installation-wide and the per-user LumoraPlugin.ini
// merged into one table at start-up, read with built-in defaults, and written
// back one key at a time to the user's file. Also the folder operations that
// build those paths.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

class UserSettings {
public:
    static UserSettings& Instance();

    // Adds every section of both files that the table does not hold yet.
    void Load();
    // The files the last Load read, installation-wide first (for the log).
    std::vector<std::wstring> FilesRead() const;

    std::wstring GetString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& defaultText) const;
    int GetInt(const std::wstring& section, const std::wstring& key, int defaultNumber) const;
    // The table takes the value even when the file cannot be written.
    [[nodiscard]] bool SetValue(const std::wstring& section, const std::wstring& key,
                                const std::wstring& value);
    int GetSectionKeys(const std::wstring& section, std::vector<std::wstring>& keys) const;
    // Whether one key of section, read as a decimal number, equals type.
    bool IsTypeListed(const std::wstring& section, long type) const;
    // The same for the PKI library's type of a device (the four device-type
    // lists: "PassWordFunFiter", "UnlockFunFiter", "CertUpdateFunFiter",
    // "DisconnectFunShow").
    bool IsDeviceTypeListed(const std::wstring& section, unsigned long device) const;

    bool GetIsWriteLog() const;
    bool GetIsShowSelfWhileInsertUSBKey() const;
    bool GetIsCouldModifyPasswordWhileSecurityWeak() const;
    int GetRemainDay() const;
    int GetNoDeviceCertNotifyTime() const;
    std::wstring GetLowPriorityShowDeviceSn() const;
    std::wstring GetLowPriorityShowDeviceProId() const;
    std::wstring GetNextNotifyDate() const;
    int GetLastCheckDeviceCount() const;
    bool GetIsShowNotifyDeviceWnd() const;
    bool GetIsShowNotifyNoDeviceCertExpireWnd() const;
    bool GetIsShowNotifyCertWnd() const;
    int GetNotifyCertDay() const;
    // How a group goes into a chosen folder, and the file type the save
    // dialog offers first: "DER", "Base64" or "PKCS7" (default "DER").
    std::wstring GetExportFormat() const;
    std::wstring GetSaveAsFileType() const;

    bool SetIsWriteLog(const std::wstring& value);
    bool SetIsShowSelfWhileInsertUSBKey(const std::wstring& value);
    bool SetIsCouldModifyPasswordWhileSecurityWeak(const std::wstring& value);
    bool SetNextNotifyDate(const std::wstring& value);
    bool SetLastCheckDeviceCount(const std::wstring& value);
    bool SetIsShowNotifyDeviceWnd(const std::wstring& value);
    bool SetIsShowNotifyNoDeviceCertExpireWnd(const std::wstring& value);
    bool SetIsShowNotifyCertWnd(const std::wstring& value);
    bool SetNotifyCertDay(const std::wstring& value);
    bool SetExportFormat(const std::wstring& value);
    bool SetSaveAsFileType(const std::wstring& value);

    // Path operations.
    // Common application data + "\ZENTO\Tamu\"; empty when the shell has no such folder.
    static std::wstring GetCommonDataFolder();
    // User application data + "\" + subPath, created when missing; empty when
    // the shell cannot name the user's folder.
    static std::wstring GetUserDataFolder(const std::wstring& subPath);
    // Trims white space at both ends and creates that one folder if missing.
    static bool EnsureFolder(const std::wstring& path);
    static std::wstring InstallationSettingsPath();
    // Builds (and so creates) the user's settings folder.
    static std::wstring UserSettingsPath();

    // Tests start each case from an empty table.
    void ResetForTesting();

private:
    UserSettings() = default;
    bool GetBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const;

    using SectionTable = std::map<std::wstring, std::map<std::wstring, std::wstring>>;
    mutable std::mutex m_lock_;  // the window thread and the service thread share the table
    std::mutex m_writeLock_;     // one writer of the user's file at a time
    SectionTable m_sections_;
    std::vector<std::wstring> m_filesRead_;
};
