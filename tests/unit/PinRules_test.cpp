// The change-PIN rules without a window.
#include <gtest/gtest.h>

#include <string>

#include "UI/PinRules.h"
#include "Utils/SecureString.h"

namespace {

TEST(PasswordStrength, ClassesAndLengthDecideTheStrength)
{
    struct Case {
        const wchar_t* pin;
        PasswordStrength expected;
    };
    const Case cases[] = {
        {L"", PasswordStrengthWeak},
        {L"aB3$xyz", PasswordStrengthWeak},   // 7 units, four classes: still too short
        {L"abcdefgh", PasswordStrengthWeak},  // one class
        {L"12345678", PasswordStrengthWeak},
        {L"中文密码中文密码", PasswordStrengthWeak},  // eight non-ASCII: one class ("other")
        {L"abcd1234", PasswordStrengthMid},
        {L"abcdefg!", PasswordStrengthMid},
        {L"ABCD1234", PasswordStrengthMid},
        {L"abcdEFGH", PasswordStrengthMid},
        {L"1234567 ", PasswordStrengthMid},     // a blank counts as "other"
        {L"ABCDEFG!", PasswordStrengthStrong},  // upper-case with other: the one strong pair
        {L"ABCDEFG中", PasswordStrengthStrong},
        {L"abcD1234", PasswordStrengthStrong},
        {L"ab1!ab1!", PasswordStrengthStrong},
        {L"aB3$aB3$", PasswordStrengthStrong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "pin of " << std::wstring(c.pin).size() << " units, case " << (&c - cases));
        EXPECT_EQ(c.expected, GetPasswordStrength(c.pin));
    }
}

// The order of the checks is driven through the dialog (ModifyPasswordDlg
// tests); here the comparison of the confirmation.
TEST(PinInput, ConfirmationMustMatchExactly)
{
    EXPECT_STREQ("STRING_PIN_SECONDPIN_NOMATCH", FindPinInputFault(L"1", L"abcd", L"abcD"));
    EXPECT_STREQ("STRING_PIN_SECONDPIN_NOMATCH", FindPinInputFault(L"1", L"abcd", L"abcde"));
    EXPECT_EQ(nullptr, FindPinInputFault(L"旧", L"新密码们", L"新密码们"));
}

bool AllZero(const wchar_t* buffer, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (buffer[i] != 0) return false;
    }
    return true;
}

TEST(SecureString, ClearZeroesTheWholeBufferAndMoveLeavesNothingBehind)
{
    SecureWString pin(std::wstring_view(L"Pin#2026"));
    ASSERT_EQ(8u, pin.size());
    EXPECT_EQ(std::wstring_view(L"Pin#2026"), pin.view());
    const wchar_t* buffer = pin.buffer();
    pin.Clear();
    EXPECT_TRUE(pin.empty());
    EXPECT_STREQ(L"", pin.c_str());
    ASSERT_EQ(buffer, pin.buffer());
    EXPECT_TRUE(AllZero(pin.buffer(), pin.capacity()));

    SecureWString source(std::wstring_view(L"1234"));
    SecureWString target(std::move(source));
    EXPECT_EQ(std::wstring_view(L"1234"), target.view());
    EXPECT_TRUE(source.empty());
    EXPECT_EQ(nullptr, source.buffer());
    EXPECT_STREQ(L"", source.c_str());

    // Prepare hands out a zeroed buffer; SetLength never runs past it.
    wchar_t* out = target.Prepare(3);
    EXPECT_TRUE(AllZero(out, 4));
    target.SetLength(10);
    EXPECT_EQ(3u, target.size());
}

TEST(SecureString, Utf8ConversionForTheLibrary)
{
    SecureWString pin(std::wstring_view(L"密码Ab1"));
    SecureUtf8String utf8 = ToSecureUtf8(pin);
    EXPECT_EQ(std::string("\xE5\xAF\x86\xE7\xA0\x81"
                          "Ab1"),
              std::string(utf8.c_str(), utf8.size()));
    EXPECT_TRUE(ToSecureUtf8(SecureWString()).empty());
}

}  // namespace
