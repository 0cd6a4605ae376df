// Language strings with real .lng files in a redirected common data folder, and the shipped files.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Plugin/PluginEntry.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "Utils/LanguageStrings.h"
#include "Utils/ZENTO_Language.h"

using testsupport::SettingsSandbox;
using namespace std::string_literals;

namespace {

std::map<std::string, std::wstring> Defaults()
{
    size_t count = 0;
    const LanguageDefault* d = LanguageDefaults(count);
    std::map<std::string, std::wstring> out;
    for (size_t i = 0; i < count; ++i) out[d[i].key] = d[i].text;
    return out;
}

class LanguageStringsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.ok());
        UnloadLanguageStrings();
    }
    void TearDown() override { UnloadLanguageStrings(); }

    std::wstring LangFolder() const { return sandbox.CommonProductFolder() + L"\\lang"; }
    void PutFile(int id, const std::string& bytes)
    {
        ASSERT_TRUE(testsupport::MakeFolders(LangFolder()));
        ASSERT_TRUE(testsupport::WriteFileBytes(LangFolder() + L"\\" + std::to_wstring(id) + L".lng", bytes));
    }

    SettingsSandbox sandbox;
};

}  // namespace

TEST_F(LanguageStringsTest, NoFilesGiveEveryDefaultAndUnknownKeysAreEmpty)
{
    LoadLanguageFileFor(1033);
    for (const auto& d : Defaults()) EXPECT_EQ(d.second, GetLanguageString(d.first)) << d.first;
    EXPECT_EQ(L"", GetLanguageString("STRING_NO_SUCH_KEY"));
    EXPECT_EQ(L"", GetLanguageString("string_title"));
    EXPECT_EQ(L"", GetLanguageString("STRING_LABEL_EXPIRE_ITEM_45"));
    EXPECT_EQ(L"\u8fc7\u671f\u524d15\u5929\u63d0\u9192",
              GetLanguageString(std::string("STRING_LABEL_EXPIRE_ITEM_") + "15"));
}

TEST_F(LanguageStringsTest, TheModuleTakesTheLanguageFromTheHostsLow16Bits)
{
    ASSERT_TRUE(sandbox.InstallLanguageFile(1033));
    PutFile(2052, "STRING_TITLE_NOTICE=from 2052\n");
    tamu::HostOptions options;
    options.createWindow = false;
    options.languageId = 0x00010409;  // sort-order bits above the language id
    tamu::Host host(options);
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
    PluginEntry::OnReleasePlugins();
}

TEST_F(LanguageStringsTest, KeysMissingFromTheFileAndEmptyTextsKeepTheDefault)
{
    PutFile(1033, "STRING_TITLE_NOTICE=Notice\nSTRING_WINDOW_BUTTON_OK=\nSTRING_EXTRA=only in the file\n");
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
    EXPECT_EQ(L"\u786e\u5b9a", GetLanguageString("STRING_WINDOW_BUTTON_OK"));  // empty text: the default
    EXPECT_EQ(L"\u5173\u95ed", GetLanguageString("STRING_WINDOW_BUTTON_CLOSE"));
    EXPECT_EQ(L"only in the file", GetLanguageString("STRING_EXTRA"));
}

TEST_F(LanguageStringsTest, ALanguageWithoutAFileFallsBackTo1033)
{
    ASSERT_TRUE(sandbox.InstallLanguageFile(1033));
    PutFile(2052, "STRING_TITLE=chinese file\n");
    LoadLanguageFileFor(1041);
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
    EXPECT_EQ(L"LumoraPlugin", GetLanguageString("STRING_TITLE"));

    // Its own file wins when present.
    LoadLanguageFileFor(2052);
    EXPECT_EQ(L"chinese file", GetLanguageString("STRING_TITLE"));
    EXPECT_EQ(L"\u63d0\u793a", GetLanguageString("STRING_TITLE_NOTICE"));
}

TEST_F(LanguageStringsTest, DamagedFilesNeverCrash)
{
    // Binary: the library refuses it and the defaults show.
    PutFile(1033, "MZ\x90\0\x03\0\0\0STRING_TITLE_NOTICE=x\n"s);
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"\u63d0\u793a", GetLanguageString("STRING_TITLE_NOTICE"));

    // Cut in the middle of a line: complete lines count.
    PutFile(1033, "STRING_TITLE_NOTICE=Notice\nSTRING_WINDOW_BUTTON_OK=O");
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
    EXPECT_EQ(L"O", GetLanguageString("STRING_WINDOW_BUTTON_OK"));

    // A text longer than the look-up buffer is cut to it.
    PutFile(1033, "STRING_TITLE=" + std::string(3000, 'L') + "\nSTRING_WINDOW_BUTTON_OK=OK\n");
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"OK", GetLanguageString("STRING_WINDOW_BUTTON_OK"));
    EXPECT_EQ(std::wstring(1023, L'L'), GetLanguageString("STRING_TITLE"));
}

TEST_F(LanguageStringsTest, UnloadEmptiesTheTable)
{
    ASSERT_TRUE(sandbox.InstallLanguageFile(1033));
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
    UnloadLanguageStrings();
    EXPECT_EQ(L"", GetLanguageString("STRING_TITLE_NOTICE"));
    LoadLanguageFileFor(1033);
    EXPECT_EQ(L"Notice", GetLanguageString("STRING_TITLE_NOTICE"));
}

// ------------------------------------------------ the shipped language files

namespace {

// printf fields in order ("%s", "%d"; "%%" is no field).
std::vector<std::wstring> FormatFields(const std::wstring& text)
{
    std::vector<std::wstring> out;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'%') continue;
        if (text[i + 1] == L'%') {
            ++i;
            continue;
        }
        out.push_back(text.substr(i, 2));
        ++i;
    }
    return out;
}

// Inline markup tokens in order: "{f  3}", "{c #faf55f}", "{/c}", "{/f}".
std::vector<std::wstring> Markup(const std::wstring& text)
{
    std::vector<std::wstring> out;
    for (size_t i = text.find(L'{'); i != std::wstring::npos; i = text.find(L'{', i + 1)) {
        size_t close = text.find(L'}', i);
        if (close == std::wstring::npos) break;
        out.push_back(text.substr(i, close - i + 1));
    }
    return out;
}

bool HasChineseCharacters(const std::wstring& text)
{
    for (wchar_t c : text) {
        if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF))
            return true;
    }
    return false;
}

// Keys of a .lng file read line by line on their own, to find duplicates
// and strays that a table look-up cannot see.
std::vector<std::string> KeysOfFile(const std::string& bytes)
{
    std::vector<std::string> keys;
    size_t pos = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        size_t eq = line.find('=');
        if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
    }
    return keys;
}

}  // namespace

TEST(ShippedLanguageFiles, EveryKeyOnceWithTheDefaultsFieldsAndMarkup)
{
    const auto defaults = Defaults();
    // 95 texts of the windows, 14 that screen readers speak (STRING_ACC_*).
    ASSERT_EQ(114u, defaults.size());
    for (int id : {1033, 2052}) {
        SCOPED_TRACE(id);
        const std::wstring path = testsupport::SourceDir() + L"\\lang\\" + std::to_wstring(id) + L".lng";
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
        EXPECT_EQ(std::string::npos, bytes.find('\r')) << "the repository keeps LF line ends";

        const auto keys = KeysOfFile(bytes);
        EXPECT_EQ(defaults.size(), keys.size()) << "every default key, once";
        std::set<std::string> unique(keys.begin(), keys.end());
        EXPECT_EQ(keys.size(), unique.size()) << "a key is given twice";
        for (const auto& k : unique) EXPECT_EQ(1u, defaults.count(k)) << "unknown key " << k;

        ZENTO_LANG_HANDLE h = ZENTO_Language_CreateLanguageHandle();
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(1, ZENTO_Language_LoadLang(h, path.c_str()));
        for (const auto& d : defaults) {
            SCOPED_TRACE(d.first);
            wchar_t buffer[1024];
            ASSERT_EQ(ZENTO_LANG_OK, ZENTO_Language_GetValue(h, d.first.c_str(), buffer, 1024));
            const std::wstring text = buffer;
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(FormatFields(d.second), FormatFields(text));
            EXPECT_EQ(Markup(d.second), Markup(text));
            if (id == 2052) {
                EXPECT_EQ(d.second, text);
            } else {
                EXPECT_FALSE(HasChineseCharacters(text)) << testsupport::ToUtf8(text);
            }
        }
        ZENTO_Language_ReleaseLanguageHandle(h);
    }
}

// Translations are data: a wrong or missing field shows odd text, never reads
// an argument that is not there.
TEST(FormatLanguageText, FillsFieldsInTurnAndNeverTrustsTheText)
{
    EXPECT_EQ(L"7天后过期", FormatLanguageText(L"%d天后过期", {L"7"}));
    EXPECT_EQ(L"证书张三过期", FormatLanguageText(L"证书%s过期", {L"张三"}));
    EXPECT_EQ(L"a 1 b 2", FormatLanguageText(L"a %s b %d", {L"1", L"2"}));
    EXPECT_EQ(L"12 of %d", FormatLanguageText(L"%s of %d", {L"12"}));
    EXPECT_EQ(L"100% sure: 5", FormatLanguageText(L"100%% sure: %d", {L"5"}));
    EXPECT_EQ(L"no field %x %", FormatLanguageText(L"no field %x %", {L"5"}));
    EXPECT_EQ(L"", FormatLanguageText(L"", {L"x"}));
}
