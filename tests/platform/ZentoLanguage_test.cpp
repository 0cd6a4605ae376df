// ZENTO_Language.dll through its decorated exports: the .lng format rules,
// the look-up results, and files that are missing, damaged or huge.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "Utils/ZENTO_Language.h"

using testsupport::TempDir;
using testsupport::WriteFileBytes;
using namespace std::string_literals;

namespace {

class Language {
public:
    Language() : m_h_(ZENTO_Language_CreateLanguageHandle()) { EXPECT_NE(nullptr, m_h_); }
    ~Language() { ZENTO_Language_ReleaseLanguageHandle(m_h_); }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;
    ZENTO_LANG_HANDLE h() const { return m_h_; }
    int Load(const std::wstring& path) { return ZENTO_Language_LoadLang(m_h_, path.c_str()); }
    // The text, or "<result N>" when the look-up did not give ZENTO_LANG_OK.
    std::wstring Text(const char* key, int size = 1024) const
    {
        std::wstring buffer(static_cast<size_t>(size), L'#');
        int r = ZENTO_Language_GetValue(m_h_, key, &buffer[0], size);
        std::wstring text = buffer.c_str();
        return r == ZENTO_LANG_OK ? text : L"<result " + std::to_wstring(r) + L"> " + text;
    }

private:
    ZENTO_LANG_HANDLE m_h_;
};

std::string Utf16(const std::wstring& text, bool little)
{
    std::string out = little ? "\xFF\xFE"s : "\xFE\xFF"s;
    for (wchar_t c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>((c >> 8) & 0xFF);
        out += little ? lo : hi;
        out += little ? hi : lo;
    }
    return out;
}

}  // namespace

TEST(ZentoLanguageFormat, KeysTextsBlanksEscapesAndComments)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"1033.lng"),
                               "\xEF\xBB\xBF# comment=not a key\r\n"
                               "  ; also a comment\r\n"
                               "\r\n"
                               "[a section header is ignored]\r\n"
                               "line without equals\r\n"
                               "STRING_PLAIN=Plain text\r\n"
                               "  STRING_SPACED  =  two leading, one trailing \r\n"
                               "STRING_REFRESH=   Refresh\n"
                               "STRING_ESCAPES=a\\nb\\tc\\\\n\\x\\\r\n"
                               "STRING_EQUALS=x=y\r\n"
                               "STRING_EMPTY=\r\n"
                               "STRING_TWICE=first\r\n"
                               "STRING_TWICE=second\r\n"
                               "string_plain=lower case key\r\n"
                               "=no key\r\n"
                               "STRING_CHINESE=\xE8\xAF\x81\xE4\xB9\xA6 %d \xF0\x9F\x94\x91\r\n"
                               "STRING_LAST=no line end"));
    Language lang;
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"1033.lng")));
    EXPECT_EQ(L"Plain text", lang.Text("STRING_PLAIN"));
    EXPECT_EQ(L"  two leading, one trailing ", lang.Text("STRING_SPACED"));
    EXPECT_EQ(L"   Refresh", lang.Text("STRING_REFRESH"));
    EXPECT_EQ(L"a\nb\tc\\n\\x\\", lang.Text("STRING_ESCAPES"));
    EXPECT_EQ(L"x=y", lang.Text("STRING_EQUALS"));
    EXPECT_EQ(L"", lang.Text("STRING_EMPTY"));
    EXPECT_EQ(L"second", lang.Text("STRING_TWICE"));
    EXPECT_EQ(L"lower case key", lang.Text("string_plain"));
    EXPECT_EQ(L"\u8bc1\u4e66 %d \U0001F511", lang.Text("STRING_CHINESE"));
    EXPECT_EQ(L"no line end", lang.Text("STRING_LAST"));
    EXPECT_EQ(L"<result 0> ", lang.Text("# comment"));
    EXPECT_EQ(L"<result 0> ", lang.Text("STRING_MISSING"));
    EXPECT_EQ(L"<result 0> ", lang.Text(""));
}

TEST(ZentoLanguageFormat, Utf16FilesWithBom)
{
    TempDir dir;
    for (bool little : {true, false}) {
        SCOPED_TRACE(little ? "LE" : "BE");
        ASSERT_TRUE(WriteFileBytes(dir.File(L"u.lng"), Utf16(L"K=\u63d0\u793a\r\nR=   x\r\n", little)));
        Language lang;
        ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"u.lng")));
        EXPECT_EQ(L"\u63d0\u793a", lang.Text("K"));
        EXPECT_EQ(L"   x", lang.Text("R"));
    }
}

TEST(ZentoLanguageLookup, BufferLimitsAndBadArguments)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"l.lng"), "K=abcdef\nS=ab\xF0\x9F\x94\x91\n"));
    Language lang;
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"l.lng")));
    EXPECT_EQ(L"abcdef", lang.Text("K", 7));            // exactly fits with its terminator
    EXPECT_EQ(L"<result 2> abcde", lang.Text("K", 6));  // cut, still terminated
    EXPECT_EQ(L"<result 2> ", lang.Text("K", 1));
    EXPECT_EQ(L"<result 2> ab", lang.Text("S", 4));  // no half of a surrogate pair
    EXPECT_EQ(L"ab\U0001F511", lang.Text("S", 5));

    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_GetValue(lang.h(), "K", buffer, 0));
    EXPECT_EQ(L'x', buffer[0]);
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_GetValue(lang.h(), "K", nullptr, 4));
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_GetValue(lang.h(), nullptr, buffer, 4));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_GetValue(nullptr, "K", buffer, 4));
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_LoadLang(lang.h(), nullptr));
    EXPECT_EQ(ZENTO_LANG_ERR_ARGUMENT, ZENTO_Language_LoadLang(lang.h(), L""));
}

TEST(ZentoLanguageFiles, FailedLoadKeepsWhatTheHandleHad)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"good.lng"), "K=good\n"));
    ASSERT_TRUE(WriteFileBytes(dir.File(L"binary.lng"), "K=bad\n\0\x01\x02\x03"s));
    Language lang;
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"good.lng")));
    EXPECT_EQ(ZENTO_LANG_ERR_OPEN, lang.Load(dir.File(L"missing.lng")));
    EXPECT_EQ(ZENTO_LANG_ERR_NOT_TEXT, lang.Load(dir.File(L"binary.lng")));
    EXPECT_EQ(L"good", lang.Text("K"));

    // A file over the size limit is refused without being read.
    HANDLE f =
        CreateFileW(dir.File(L"huge.lng").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    LARGE_INTEGER size;
    size.QuadPart = ZENTO_LANGUAGE_MAX_FILE_BYTES + 1LL;
    EXPECT_TRUE(SetFilePointerEx(f, size, nullptr, FILE_BEGIN) && SetEndOfFile(f));
    CloseHandle(f);
    EXPECT_EQ(ZENTO_LANG_ERR_NOT_TEXT, lang.Load(dir.File(L"huge.lng")));
    EXPECT_EQ(L"good", lang.Text("K"));

    // A successful load replaces the old texts.
    ASSERT_TRUE(WriteFileBytes(dir.File(L"other.lng"), "J=other\n"));
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"other.lng")));
    EXPECT_EQ(L"<result 0> ", lang.Text("K"));
    EXPECT_EQ(L"other", lang.Text("J"));
}

TEST(ZentoLanguageFiles, TruncatedAndTenMegabyteFiles)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cut.lng"), "A=\xE6\x8F\x90\xE7\xA4\xBA\nB=x\xE6\x8F"));
    Language lang;
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"cut.lng")));
    EXPECT_EQ(L"\u63d0\u793a", lang.Text("A"));
    EXPECT_EQ(0u, lang.Text("B").find(L"x"));

    std::string big;
    for (int i = 0; big.size() < 10u * 1024 * 1024; ++i)
        big += "STRING_FILLER_" + std::to_string(i) + "=" + std::string(100, 'f') + "\n";
    big += "STRING_AFTER=found\n";
    ASSERT_TRUE(WriteFileBytes(dir.File(L"big.lng"), big));
    DWORD start = GetTickCount();
    ASSERT_EQ(ZENTO_LANG_OK, lang.Load(dir.File(L"big.lng")));
    EXPECT_LT(GetTickCount() - start, 20000u);
    EXPECT_EQ(L"found", lang.Text("STRING_AFTER"));
    EXPECT_EQ(std::wstring(100, L'f'), lang.Text("STRING_FILLER_0"));
}
