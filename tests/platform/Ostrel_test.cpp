// Ostrel.dll through its exported entry points: merging files, encodings, and
// changing one value while every other byte of the file stays as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Utils/Ostrel.h"
#include "TestSupport.h"

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using namespace std::string_literals;

namespace {

class Config {
public:
    Config() { EXPECT_EQ(OSTREL_OK, ZentoCreateConfigFileHandle(&m_h_)); }
    ~Config() { ZentoFreeConfigFileHandle(m_h_); }
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;
    OSTREL_HANDLE h() const { return m_h_; }
    int Load(const std::wstring& path, int flags = OSTREL_LOAD_OVERRIDE)
    {
        return ZentoLoadConfigFile(m_h_, path.c_str(), flags);
    }

private:
    OSTREL_HANDLE m_h_ = nullptr;
};

// Takes a text from the library and frees it with the library's function;
// "<null>" stands for a null result.
std::wstring Take(wchar_t* text)
{
    if (!text) return L"<null>";
    std::wstring copy = text;
    ZentoConfigFileFreeMemory(text);
    return copy;
}

std::wstring Value(const Config& c, const wchar_t* section, const wchar_t* key)
{
    return Take(ZentoGetConfigItemsValue(c.h(), section, key));
}

std::vector<std::wstring> Sections(const Config& c)
{
    std::vector<std::wstring> out;
    int n = ZentoGetConfigSectionsCount(c.h());
    for (int i = 0; i < n; ++i) out.push_back(Take(ZentoGetConfigSectionName(c.h(), i)));
    return out;
}

std::vector<std::wstring> Keys(const Config& c, const wchar_t* section)
{
    std::vector<std::wstring> out;
    int n = ZentoGetConfigItemsCount(c.h(), section);
    for (int i = 0; i < n; ++i) out.push_back(Take(ZentoGetConfigItemsKey(c.h(), section, i)));
    return out;
}

std::string Utf16Le(const std::wstring& text, bool bom = true)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
    return out;
}

std::string Utf16Be(const std::wstring& text)
{
    std::string out("\xFE\xFF", 2);
    for (wchar_t c : text) {
        out += static_cast<char>((c >> 8) & 0xFF);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

std::string Bytes(const std::wstring& path)
{
    std::string b;
    EXPECT_TRUE(ReadFileBytes(path, b));
    return b;
}

int Modify(const std::wstring& path, const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    Config c;
    return ZentoModifyConfigFile(c.h(), path.c_str(), section, key, value);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> out;
    for (const auto& e : testsupport::ListFolder(folder)) out.push_back(e.name);
    return out;
}

}  // namespace

// ---------------------------------------------------------------- reading

TEST(OstrelRead, SyntaxCommentsQuotesAndFirstOccurrence)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"a.ini");
    ASSERT_TRUE(WriteFileBytes(ini,
                               "orphan=before any section\r\n"
                               "; comment = not an item\r\n"
                               "  # another comment\r\n"
                               "[ Main ]  trailing text\r\n"
                               "  Key  =  spaced value  \r\n"
                               "Quoted=\"  keep  \"\r\n"
                               "Empty=\r\n"
                               "Dup=first\r\n"
                               "Dup=second\r\n"
                               "no equals sign here\r\n"
                               "=no key\r\n"
                               "key=lower case is another key\r\n"
                               "Eq=a=b=c\r\n"
                               "[Other]\r\n"
                               "X=1\r\n"
                               "[Main]\r\n"
                               "Late=in second block\r\n"
                               "Dup=third\r\n"));
    Config c;
    ASSERT_EQ(OSTREL_OK, c.Load(ini));
    EXPECT_EQ((std::vector<std::wstring>{L"Main", L"Other"}), Sections(c));
    EXPECT_EQ((std::vector<std::wstring>{L"Key", L"Quoted", L"Empty", L"Dup", L"key", L"Eq", L"Late"}),
              Keys(c, L"Main"));
    EXPECT_EQ(L"spaced value", Value(c, L"Main", L"Key"));
    EXPECT_EQ(L"  keep  ", Value(c, L"Main", L"Quoted"));
    EXPECT_EQ(L"", Value(c, L"Main", L"Empty"));
    EXPECT_EQ(L"first", Value(c, L"Main", L"Dup"));
    EXPECT_EQ(L"lower case is another key", Value(c, L"Main", L"key"));
    EXPECT_EQ(L"a=b=c", Value(c, L"Main", L"Eq"));
    EXPECT_EQ(L"in second block", Value(c, L"Main", L"Late"));
    EXPECT_EQ(L"<null>", Value(c, L"main", L"Key"));  // names are case-sensitive
    EXPECT_EQ(L"<null>", Value(c, L"Main", L"orphan"));
    EXPECT_EQ(0, ZentoGetConfigItemsCount(c.h(), L"Missing"));
}

TEST(OstrelRead, LaterFileWinsWithOverrideAndEachSectionListedOnce)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"common.ini"), "[A]\r\nk=common\r\nonlyCommon=1\r\n[B]\r\nb=1\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"user.ini"), "[C]\nc=1\n[A]\nk=user\nonlyUser=2\n"));
    {
        Config c;
        EXPECT_EQ(OSTREL_OK, c.Load(dir.File(L"common.ini")));
        EXPECT_EQ(OSTREL_OK, c.Load(dir.File(L"user.ini")));
        EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C"}), Sections(c));
        EXPECT_EQ(L"user", Value(c, L"A", L"k"));
        EXPECT_EQ((std::vector<std::wstring>{L"k", L"onlyCommon", L"onlyUser"}), Keys(c, L"A"));
    }
    {
        Config c;
        EXPECT_EQ(OSTREL_OK, c.Load(dir.File(L"common.ini")));
        EXPECT_EQ(OSTREL_OK, c.Load(dir.File(L"user.ini"), OSTREL_LOAD_KEEP_EXISTING));
        EXPECT_EQ(L"common", Value(c, L"A", L"k"));
        EXPECT_EQ(L"2", Value(c, L"A", L"onlyUser"));
    }
}

TEST(OstrelRead, EveryEncodingAndLineEnd)
{
    TempDir dir;
    const std::wstring text = L"[\u8bbe\u7f6e]\r\n\u540d\u79f0=\u503c \U0001F511\r\nA=1\r\n";
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"utf8 bom crlf", "\xEF\xBB\xBF" + testsupport::ToUtf8(text)},
        {"utf8 lf",
         "[\xE8\xAE\xBE\xE7\xBD\xAE]\n\xE5\x90\x8D\xE7\xA7\xB0=\xE5\x80\xBC \xF0\x9F\x94\x91\nA=1"},
        {"utf16 le", Utf16Le(text)},
        {"utf16 be", Utf16Be(text)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = dir.File(L"enc.ini");
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        Config cfg;
        ASSERT_EQ(OSTREL_OK, cfg.Load(path));
        EXPECT_EQ(L"\u503c \U0001F511", Value(cfg, L"\u8bbe\u7f6e", L"\u540d\u79f0"));
        EXPECT_EQ(L"1", Value(cfg, L"\u8bbe\u7f6e", L"A"));
    }
}

TEST(OstrelRead, NonUtf8WithoutBomIsReadInTheSystemCodePage)
{
    TempDir dir;
    const std::string ansi = "\xC9\xE8\xD6\xC3";  // not UTF-8; a word in code page 936, letters in 1252
    wchar_t expected[8] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, ansi.data(), 4, expected, 8), 0);
    ASSERT_TRUE(WriteFileBytes(dir.File(L"ansi.ini"), "[S]\r\nK=" + ansi + "\r\n"));
    Config c;
    ASSERT_EQ(OSTREL_OK, c.Load(dir.File(L"ansi.ini")));
    EXPECT_EQ(std::wstring(expected), Value(c, L"S", L"K"));
    EXPECT_EQ(std::wstring::npos, Value(c, L"S", L"K").find(L'\uFFFD'));
}

TEST(OstrelRead, MissingBinaryAndOversizedInputFailCleanly)
{
    TempDir dir;
    Config c;
    EXPECT_EQ(OSTREL_ERR_OPEN, c.Load(dir.File(L"missing.ini")));
    const std::string binary = "[S]\r\nK=1\r\n\0\x01\x02\xFF\xFE\x00zz"s;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"bin.ini"), binary));
    EXPECT_EQ(OSTREL_ERR_NOT_TEXT, c.Load(dir.File(L"bin.ini")));
    EXPECT_EQ(0, ZentoGetConfigSectionsCount(c.h()));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoLoadConfigFile(c.h(), nullptr, 1));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoLoadConfigFile(c.h(), L"", 1));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoLoadConfigFile(nullptr, dir.File(L"bin.ini").c_str(), 1));
}

TEST(OstrelRead, TenMegabyteFile)
{
    TempDir dir;
    std::string big = "[Head]\r\nFirst=1\r\n";
    std::string filler;
    for (int i = 0; big.size() + filler.size() < 10u * 1024 * 1024; ++i)
        filler += "Key" + std::to_string(i) + "=" + std::string(100, 'v') + "\r\n";
    big += "[Bulk]\r\n" + filler + "[Tail]\r\nLast=2\r\n";
    ASSERT_TRUE(WriteFileBytes(dir.File(L"big.ini"), big));
    Config c;
    DWORD start = GetTickCount();
    ASSERT_EQ(OSTREL_OK, c.Load(dir.File(L"big.ini")));
    EXPECT_LT(GetTickCount() - start, 20000u);
    EXPECT_EQ(L"1", Value(c, L"Head", L"First"));
    EXPECT_EQ(L"2", Value(c, L"Tail", L"Last"));
    EXPECT_GT(ZentoGetConfigItemsCount(c.h(), L"Bulk"), 90000);

    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"big.ini"), L"Tail", L"Last", L"3"));
    std::string after = Bytes(dir.File(L"big.ini"));
    EXPECT_EQ(big.substr(0, big.size() - 3) + "3\r\n", after);
}

// ---------------------------------------------------------------- changing

TEST(OstrelModify, ChangesOnlyTheValueOfAHandWrittenFile)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"hand.ini");
    const std::string before =
        "; written by hand\r\n"
        "\r\n"
        "[UserSetting]\r\n"
        "IsShowSelfWhileInsertUSBKey = true   \r\n"
        "\tNextNotifyDate=2026-01-01 10:00:00\r\n"
        "\r\n"
        "# keep me\r\n"
        "[NotifyWndSetting]\r\n"
        "NotifyCertDay=60\r\n"
        "[UserSetting]\r\n"
        "LastCheckDeviceCount=4";
    ASSERT_TRUE(WriteFileBytes(ini, before));

    ASSERT_EQ(OSTREL_OK, Modify(ini, L"UserSetting", L"IsShowSelfWhileInsertUSBKey", L"false"));
    std::string expected = before;
    expected.replace(expected.find("true   "), 4, "false");
    EXPECT_EQ(expected, Bytes(ini));

    // A key of the second block is changed there, even without a final line end.
    ASSERT_EQ(OSTREL_OK, Modify(ini, L"UserSetting", L"LastCheckDeviceCount", L"12"));
    expected.replace(expected.size() - 1, 1, "12");
    EXPECT_EQ(expected, Bytes(ini));

    // A new key goes after the last item of the section's first block.
    ASSERT_EQ(OSTREL_OK, Modify(ini, L"UserSetting", L"New", L"v"));
    expected.insert(expected.find("\r\n\r\n# keep me") + 2, "New=v\r\n");
    EXPECT_EQ(expected, Bytes(ini));

    // A new section is appended after a blank line.
    ASSERT_EQ(OSTREL_OK, Modify(ini, L"Log", L"IsWriteLog", L"true"));
    expected += "\r\n\r\n[Log]\r\nIsWriteLog=true\r\n";
    EXPECT_EQ(expected, Bytes(ini));

    Config c;
    ASSERT_EQ(OSTREL_OK, c.Load(ini));
    EXPECT_EQ(L"false", Value(c, L"UserSetting", L"IsShowSelfWhileInsertUSBKey"));
    EXPECT_EQ(L"2026-01-01 10:00:00", Value(c, L"UserSetting", L"NextNotifyDate"));
    EXPECT_EQ(L"12", Value(c, L"UserSetting", L"LastCheckDeviceCount"));
    EXPECT_EQ(L"true", Value(c, L"Log", L"IsWriteLog"));
    EXPECT_EQ((std::vector<std::wstring>{L"hand.ini"}), FilesIn(dir.Path()));  // no temporary left over
}

TEST(OstrelModify, CreatesAMissingFileAndKeepsEncodingBomAndLineEnds)
{
    TempDir dir;
    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"new.ini"), L"S", L"K", L"\u503c"));
    EXPECT_EQ("[S]\r\nK=\xE5\x80\xBC\r\n", Bytes(dir.File(L"new.ini")));

    ASSERT_TRUE(WriteFileBytes(dir.File(L"lf.ini"), "\xEF\xBB\xBF[S]\nK=old\n"));
    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"lf.ini"), L"S", L"J", L"new"));
    EXPECT_EQ("\xEF\xBB\xBF[S]\nK=old\nJ=new\n", Bytes(dir.File(L"lf.ini")));

    ASSERT_TRUE(WriteFileBytes(dir.File(L"u16.ini"), Utf16Le(L"[S]\r\nK=old\r\n")));
    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"u16.ini"), L"S", L"K", L"\u65b0"));
    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"u16.ini"), L"T", L"X", L"1"));
    EXPECT_EQ(Utf16Le(L"[S]\r\nK=\u65b0\r\n\r\n[T]\r\nX=1\r\n"), Bytes(dir.File(L"u16.ini")));

    ASSERT_TRUE(WriteFileBytes(dir.File(L"be.ini"), Utf16Be(L"[S]\nK=old\n")));
    ASSERT_EQ(OSTREL_OK, Modify(dir.File(L"be.ini"), L"S", L"K", L"x"));
    EXPECT_EQ(Utf16Be(L"[S]\nK=x\n"), Bytes(dir.File(L"be.ini")));
}

TEST(OstrelModify, RefusesWhatCannotBeWrittenAndLeavesTheFile)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"r.ini");
    const std::string original = "[S]\r\nK=1\r\n";
    ASSERT_TRUE(WriteFileBytes(ini, original));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S", L"K", L"two\r\nlines"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S", L"a=b", L"1"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S", L" K", L"1"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S", L"[K", L"1"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S]", L"K", L"1"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"", L"K", L"1"));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, Modify(ini, L"S", L"", L"1"));
    Config c;
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoModifyConfigFile(c.h(), ini.c_str(), L"S", L"K", nullptr));
    EXPECT_EQ(original, Bytes(ini));

    const std::string binary = "MZ\x90\0\x03\0\0\0[S]\r\nK=1\r\n"s;
    ASSERT_TRUE(WriteFileBytes(ini, binary));
    EXPECT_EQ(OSTREL_ERR_NOT_TEXT, Modify(ini, L"S", L"K", L"2"));
    EXPECT_EQ(binary, Bytes(ini));

    std::string oddUtf16 = Utf16Le(L"[S]\r\nK=1\r\n") + "\x41";
    ASSERT_TRUE(WriteFileBytes(ini, oddUtf16));
    EXPECT_EQ(OSTREL_ERR_NOT_TEXT, Modify(ini, L"S", L"K", L"2"));
    EXPECT_EQ(oddUtf16, Bytes(ini));

    EXPECT_EQ(OSTREL_ERR_WRITE, Modify(dir.File(L"no such folder\\x.ini"), L"S", L"K", L"1"));
}

// ---------------------------------------------------------------- handles

TEST(OstrelHandle, StaleHandlesAndBadIndexesAreRefused)
{
    OSTREL_HANDLE h = nullptr;
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoCreateConfigFileHandle(nullptr));
    ASSERT_EQ(OSTREL_OK, ZentoCreateConfigFileHandle(&h));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(nullptr, ZentoGetConfigSectionName(h, 0));
    EXPECT_EQ(nullptr, ZentoGetConfigSectionName(h, -1));
    EXPECT_EQ(nullptr, ZentoGetConfigItemsKey(h, L"S", 0));
    EXPECT_EQ(nullptr, ZentoGetConfigItemsValue(h, nullptr, L"K"));
    ZentoFreeConfigFileHandle(h);
    ZentoFreeConfigFileHandle(h);  // a second free is ignored
    EXPECT_EQ(0, ZentoGetConfigSectionsCount(h));
    EXPECT_EQ(OSTREL_ERR_ARGUMENT, ZentoLoadConfigFile(h, L"C:\\x.ini", 1));
    ZentoConfigFileFreeMemory(nullptr);
}
