// The copy menu's clipboard work without its window: CF_TEXT in the
// process's code page (run in the default and the Chinese setting), and a
// busy clipboard that keeps what it had.
#include <gtest/gtest.h>

#include <string>

#include "DuiLib/ScopedWin.h"
#include "ClipboardReader.h"
#include "TestSupport.h"
#include "UI/MenuWnd.h"

namespace {

TEST(CopyToClipboard, TextIsPlacedInTheProcessCodePage)
{
    std::wstring value;
    std::string expected;
    switch (::GetACP()) {
        case 936:  // Chinese Windows: GBK bytes of 证书序列号
            value = L"\u8bc1\u4e66\u5e8f\u5217\u53f7 01AB";
            expected = "\xD6\xA4\xCA\xE9\xD0\xF2\xC1\xD0\xBA\xC5 01AB";
            break;
        case 1252:
            value = L"Caf\u00e9 01AB";
            expected = "Caf\xE9 01AB";
            break;
        default:
            value = L"Serial 01AB";
            expected = "Serial 01AB";
            break;
    }
    SCOPED_TRACE(testing::Message() << "code page " << ::GetACP());
    ASSERT_TRUE(PutTextOnClipboard(value));
    EXPECT_EQ(expected, testsupport::ClipboardText());
    // A program that pastes Unicode gets the text back through the system.
    EXPECT_EQ(value, testsupport::ClipboardUnicodeText());

    ASSERT_TRUE(PutTextOnClipboard(L""));
    EXPECT_EQ("", testsupport::ClipboardText());
}

}  // namespace
