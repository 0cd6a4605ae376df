// The settings table over Ostrel: loaded once from both INI files, then read
// from memory and written through, one key per write, to the user's file.
#include "Utils/UserSettings.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>
#include <cwctype>
#include <memory>

#include "DuiLib/ScopedWin.h"
#include "Utils/Ostrel.h"

namespace {

const wchar_t kProductFolder[] = L"ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\";

// Ostrel handles and the texts Ostrel hands out, freed with its own functions.
struct ConfigHandleTraits {
    using type = OSTREL_HANDLE;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ZentoFreeConfigFileHandle(h); }
};
struct ConfigTextTraits {
    using type = wchar_t*;
    static type None() noexcept { return nullptr; }
    static void Free(type text) noexcept { ZentoConfigFileFreeMemory(text); }
};
using ConfigHandle = DuiLib::UniqueResource<ConfigHandleTraits>;

[[nodiscard]] bool CreateConfigHandle(ConfigHandle& handle)
{
    return ZentoCreateConfigFileHandle(handle.put()) == 1 && handle;
}

// A text handed out by Ostrel: copied, then freed.
std::unique_ptr<std::wstring> TakeText(wchar_t* text)
{
    DuiLib::UniqueResource<ConfigTextTraits> owned(text);
    if (!owned) return nullptr;
    return std::make_unique<std::wstring>(owned.get());
}

bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b)
{
    size_t n = wcslen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

// Decimal with leading white space and a sign; stops at the first other
// character; no digits give 0.
long ParseDecimal(const std::wstring& text)
{
    return wcstol(text.c_str(), nullptr, 10);
}

std::wstring StripTrailingBackslashes(std::wstring path)
{
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

}  // namespace

UserSettings& UserSettings::Instance()
{
    static UserSettings instance;
    return instance;
}

std::wstring UserSettings::GetCommonDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return std::wstring(folder) + L"\\ZENTO\\Tamu\\";
}

std::wstring UserSettings::GetUserDataFolder(const std::wstring& subPath)
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                folder)))
        return std::wstring();
    std::wstring path = std::wstring(folder) + L"\\" + subPath;
    std::wstring create = StripTrailingBackslashes(path);
    if (!PathIsDirectoryW(create.c_str())) SHCreateDirectoryExW(nullptr, create.c_str(), nullptr);
    return path;
}

bool UserSettings::EnsureFolder(const std::wstring& path)
{
    size_t from = 0, to = path.size();
    while (from < to && iswspace(path[from])) ++from;
    while (to > from && iswspace(path[to - 1])) --to;
    std::wstring folder = path.substr(from, to - from);
    if (folder.empty()) return false;
    if (PathIsDirectoryW(folder.c_str())) return true;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring UserSettings::InstallationSettingsPath()
{
    std::wstring base = GetCommonDataFolder();
    if (base.empty()) return std::wstring();
    return base + L"Plugin\\CertApp\\LumoraPlugin\\LumoraPlugin.ini";
}

std::wstring UserSettings::UserSettingsPath()
{
    // The folder already ends in a backslash; the second one stays as built
    // and Windows reads it as one.
    return GetUserDataFolder(kProductFolder) + L"\\LumoraPlugin.ini";
}

void UserSettings::Load()
{
    const std::wstring installation = InstallationSettingsPath();
    const std::wstring user = UserSettingsPath();
    ConfigHandle handle;
    if (!CreateConfigHandle(handle)) return;
    // A missing file simply contributes nothing; the user's file comes last
    // so its values win.
    std::vector<std::wstring> read;
    for (const std::wstring* path : {&installation, &user}) {
        if (ZentoLoadConfigFile(handle.get(), path->c_str(), 1) == 1) read.push_back(*path);
    }

    SectionTable loaded;
    const int sections = ZentoGetConfigSectionsCount(handle.get());
    for (int i = 0; i < sections; ++i) {
        auto name = TakeText(ZentoGetConfigSectionName(handle.get(), i));
        if (!name) continue;
        std::map<std::wstring, std::wstring> items;
        const int count = ZentoGetConfigItemsCount(handle.get(), name->c_str());
        for (int j = 0; j < count; ++j) {
            auto key = TakeText(ZentoGetConfigItemsKey(handle.get(), name->c_str(), j));
            if (!key) continue;
            auto value = TakeText(ZentoGetConfigItemsValue(handle.get(), name->c_str(), key->c_str()));
            if (!value) continue;
            items.emplace(*key, *value);  // a key already there keeps its first value
        }
        loaded.emplace(*name, std::move(items));  // a section listed twice keeps the first
    }

    std::lock_guard<std::mutex> guard(m_lock_);
    for (auto& section : loaded) m_sections_.emplace(section.first, std::move(section.second));
    m_filesRead_ = std::move(read);
}

std::vector<std::wstring> UserSettings::FilesRead() const
{
    std::lock_guard<std::mutex> guard(m_lock_);
    return m_filesRead_;
}

std::wstring UserSettings::GetString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultText) const
{
    std::lock_guard<std::mutex> guard(m_lock_);
    auto s = m_sections_.find(section);
    if (s == m_sections_.end()) return defaultText;
    auto k = s->second.find(key);
    return k == s->second.end() ? defaultText : k->second;
}

int UserSettings::GetInt(const std::wstring& section, const std::wstring& key, int defaultNumber) const
{
    const std::wstring defaultText = std::to_wstring(defaultNumber);
    const std::wstring text = GetString(section, key, defaultText);
    if (text == defaultText) return defaultNumber;
    return static_cast<int>(ParseDecimal(text));
}

bool UserSettings::GetBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const
{
    return EqualsIgnoringAsciiCase(GetString(section, key, defaultValue ? L"true" : L"false"), L"true");
}

bool UserSettings::SetValue(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    // Writers queue here so two threads never replace the file under each
    // other, and the last value in memory is the last one written: taking the
    // queue only after the table update would let two setters of one key
    // leave the file and the table disagreeing.
    std::lock_guard<std::mutex> writing(m_writeLock_);
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        m_sections_[section][key] = value;
    }
    const std::wstring path = UserSettingsPath();
    ConfigHandle handle;
    if (!CreateConfigHandle(handle)) return false;
    return ZentoModifyConfigFile(handle.get(), path.c_str(), section.c_str(), key.c_str(), value.c_str()) ==
           1;
}

int UserSettings::GetSectionKeys(const std::wstring& section, std::vector<std::wstring>& keys) const
{
    keys.clear();
    std::lock_guard<std::mutex> guard(m_lock_);
    auto s = m_sections_.find(section);
    if (s == m_sections_.end()) return 0;
    for (const auto& item : s->second) keys.push_back(item.first);
    return static_cast<int>(keys.size());
}

bool UserSettings::IsTypeListed(const std::wstring& section, long type) const
{
    // The PKI library gives types above 0; anything else (a failed query) is
    // never listed, even against a key that reads as 0.
    if (type <= 0) return false;
    std::vector<std::wstring> keys;
    GetSectionKeys(section, keys);
    for (const auto& key : keys) {
        if (ParseDecimal(key) == type) return true;
    }
    return false;
}

void UserSettings::ResetForTesting()
{
    std::lock_guard<std::mutex> guard(m_lock_);
    m_sections_.clear();
    m_filesRead_.clear();
}

bool UserSettings::GetIsWriteLog() const
{
    return GetBool(L"Log", L"IsWriteLog", false);
}
bool UserSettings::GetIsShowSelfWhileInsertUSBKey() const
{
    return GetBool(L"UserSetting", L"IsShowSelfWhileInsertUSBKey", true);
}
bool UserSettings::GetIsCouldModifyPasswordWhileSecurityWeak() const
{
    return GetBool(L"UserSetting", L"IsCouldModifyPasswordWhileSecurityWeak", true);
}
int UserSettings::GetRemainDay() const
{
    return GetInt(L"RemainDay", L"day", 30);
}
int UserSettings::GetNoDeviceCertNotifyTime() const
{
    return GetInt(L"UserSetting", L"NoDeviceCertNotifyTime", 20);
}
std::wstring UserSettings::GetLowPriorityShowDeviceSn() const
{
    return GetString(L"UserSetting", L"LowPriorityShowDeviceSn", L"");
}
std::wstring UserSettings::GetLowPriorityShowDeviceProId() const
{
    return GetString(L"UserSetting", L"LowPriorityShowDeviceProId", L"");
}
std::wstring UserSettings::GetNextNotifyDate() const
{
    return GetString(L"UserSetting", L"NextNotifyDate", L"");
}
int UserSettings::GetLastCheckDeviceCount() const
{
    return GetInt(L"UserSetting", L"LastCheckDeviceCount", 0);
}
bool UserSettings::GetIsShowNotifyDeviceWnd() const
{
    return GetBool(L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", true);
}
bool UserSettings::GetIsShowNotifyNoDeviceCertExpireWnd() const
{
    return GetBool(L"NotifyWndSetting", L"IsShowNotifyNoDeviceCertExpireWnd", true);
}
bool UserSettings::GetIsShowNotifyCertWnd() const
{
    return GetBool(L"NotifyWndSetting", L"IsShowNotifyCertWnd", true);
}
int UserSettings::GetNotifyCertDay() const
{
    return GetInt(L"NotifyWndSetting", L"NotifyCertDay", 60);
}
std::wstring UserSettings::GetExportFormat() const
{
    return GetString(L"UserSetting", L"ExportFormat", L"DER");
}
std::wstring UserSettings::GetSaveAsFileType() const
{
    return GetString(L"UserSetting", L"SaveAsFileType", L"DER");
}

bool UserSettings::SetIsWriteLog(const std::wstring& value)
{
    return SetValue(L"Log", L"IsWriteLog", value);
}
bool UserSettings::SetIsShowSelfWhileInsertUSBKey(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"IsShowSelfWhileInsertUSBKey", value);
}
bool UserSettings::SetIsCouldModifyPasswordWhileSecurityWeak(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"IsCouldModifyPasswordWhileSecurityWeak", value);
}
bool UserSettings::SetNextNotifyDate(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"NextNotifyDate", value);
}
bool UserSettings::SetLastCheckDeviceCount(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"LastCheckDeviceCount", value);
}
bool UserSettings::SetIsShowNotifyDeviceWnd(const std::wstring& value)
{
    return SetValue(L"NotifyWndSetting", L"IsShowNotifyDeviceWnd", value);
}
bool UserSettings::SetIsShowNotifyNoDeviceCertExpireWnd(const std::wstring& value)
{
    return SetValue(L"NotifyWndSetting", L"IsShowNotifyNoDeviceCertExpireWnd", value);
}
bool UserSettings::SetIsShowNotifyCertWnd(const std::wstring& value)
{
    return SetValue(L"NotifyWndSetting", L"IsShowNotifyCertWnd", value);
}
bool UserSettings::SetNotifyCertDay(const std::wstring& value)
{
    return SetValue(L"NotifyWndSetting", L"NotifyCertDay", value);
}
bool UserSettings::SetExportFormat(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"ExportFormat", value);
}
bool UserSettings::SetSaveAsFileType(const std::wstring& value)
{
    return SetValue(L"UserSetting", L"SaveAsFileType", value);
}
