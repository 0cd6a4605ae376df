// The language strings: one process-wide table of built-in texts plus, when
// a language file loads, a handle of ZENTO_Language.dll asked first.
#include "Utils/LanguageStrings.h"

#include <windows.h>

#include <cwchar>
#include <map>
#include <mutex>

#include "DuiLib/ScopedWin.h"
#include "Plugin/PluginEntry.h"
#include "Utils/UserSettings.h"
#include "Utils/ZENTO_Language.h"

namespace {

struct LanguageHandleTraits {
    using type = ZENTO_LANG_HANDLE;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ZENTO_Language_ReleaseLanguageHandle(h); }
};
using LanguageHandle = DuiLib::UniqueResource<LanguageHandleTraits>;

class LanguageStrings {
public:
    static LanguageStrings& Instance()
    {
        static LanguageStrings instance;
        return instance;
    }

    void Load(int languageId)
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        size_t count = 0;
        const LanguageDefault* defaults = LanguageDefaults(count);
        for (size_t i = 0; i < count; ++i) m_defaults_[defaults[i].key] = defaults[i].text;
        m_handle_.reset();
        m_file_.clear();

        std::wstring path = BuildLanguagePath(languageId);
        if (path.empty()) return;
        if (!CanOpenForReading(path)) path = BuildLanguagePath(1033);  // not checked again
        LanguageHandle handle(ZENTO_Language_CreateLanguageHandle());
        if (!handle || ZENTO_Language_LoadLang(handle.get(), path.c_str()) != 1) return;
        m_handle_ = std::move(handle);
        m_file_ = path;
    }

    std::wstring File()
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        return m_file_;
    }

    std::wstring Get(const char* key)
    {
        std::wstring text;
        if (!key) return text;
        std::lock_guard<std::mutex> guard(m_lock_);
        if (m_handle_) {
            wchar_t buffer[1024] = {};
            (void)ZENTO_Language_GetValue(m_handle_.get(), key, buffer, 1024);
            buffer[1023] = L'\0';
            text = buffer;
        }
        if (text.empty()) {
            auto it = m_defaults_.find(key);
            if (it != m_defaults_.end()) text = it->second;
        }
        return text;
    }

    void Unload()
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        m_handle_.reset();
        m_file_.clear();
        m_defaults_.clear();
    }

private:
    LanguageStrings() = default;

    static bool CanOpenForReading(const std::wstring& path)
    {
        DuiLib::ScopedFile f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(f);
    }

    std::mutex m_lock_;  // the window thread and the pop-ups' threads may ask at once
    std::map<std::string, std::wstring> m_defaults_;
    LanguageHandle m_handle_;
    std::wstring m_file_;  // what the handle loaded, for the log
};

}  // namespace

std::wstring BuildLanguagePath(int languageId)
{
    const std::wstring base = UserSettings::GetCommonDataFolder();
    if (base.empty()) return std::wstring();
    wchar_t relative[260];
    if (swprintf(relative, 260, L"Plugin\\CertApp\\LumoraPlugin\\lang\\%d.lng", languageId) < 0)
        return base + L"Plugin\\CertApp\\LumoraPlugin\\lang\\2052.lng";
    return base + relative;
}

void LoadLanguageFileFor(int languageId)
{
    LanguageStrings::Instance().Load(languageId);
}

void LoadLanguageFile()
{
    IPluginHost* host = PluginEntry::Host();
    int languageId = host ? static_cast<int>(host->GetLanguageId() & 0xFFFF)
                          : static_cast<int>(GetUserDefaultUILanguage());
    LoadLanguageFileFor(languageId);
}

std::wstring LoadedLanguageFile()
{
    return LanguageStrings::Instance().File();
}

std::wstring GetLanguageString(const char* key)
{
    return LanguageStrings::Instance().Get(key);
}
std::wstring GetLanguageString(const std::string& key)
{
    return GetLanguageString(key.c_str());
}

void UnloadLanguageStrings()
{
    LanguageStrings::Instance().Unload();
}

std::wstring FormatLanguageText(const std::wstring& pattern, std::initializer_list<std::wstring> args)
{
    std::wstring out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        const wchar_t following = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (c == L'%' && following == L'%') {
            out += L'%';
            ++i;
        } else if (c == L'%' && (following == L's' || following == L'd') && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
