// The change-PIN rules; see PinRules.h.
#include "UI/PinRules.h"

PasswordStrength GetPasswordStrength(std::wstring_view text)
{
    if (text.size() < 8) return PasswordStrengthWeak;
    bool digit = false, lower = false, upper = false, other = false;
    for (wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            digit = true;
        } else if (c >= L'a' && c <= L'z') {
            lower = true;
        } else if (c >= L'A' && c <= L'Z') {
            upper = true;
        } else {
            other = true;
        }
    }
    int classes = int(digit) + int(lower) + int(upper) + int(other);
    if (classes >= 3) return PasswordStrengthStrong;
    if (classes == 2) return (upper && other) ? PasswordStrengthStrong : PasswordStrengthMid;
    return PasswordStrengthWeak;
}

const char* FindPinInputFault(std::wstring_view oldPin, std::wstring_view newPin, std::wstring_view newPin2)
{
    if (oldPin.empty()) return "STRING_OLDPIN_EMPTY";
    if (newPin.empty()) return "STRING_NEWPIN_EMPTY";
    if (newPin2.empty()) return "STRING_NEWPIN_SECOND_EMPTY";
    if (newPin.size() < kMinPinLength) return "STRING_PIN_LENGTH_NOENOUGH";
    if (newPin != newPin2) return "STRING_PIN_SECONDPIN_NOMATCH";
    return nullptr;
}

StrengthLook GetStrengthLook(PasswordStrength strength)
{
    switch (strength) {
        case PasswordStrengthStrong:
            return {L"Common/pwd_strength_strong.png", "STRING_LABEL_SECURITY_TITLE_STRONG"};
        case PasswordStrengthMid:
            return {L"Common/pwd_strength_mid.png", "STRING_LABEL_SECURITY_TITLE_MID"};
        case PasswordStrengthWeak:
        default:
            return {L"Common/pwd_strength_weak.png", "STRING_LABEL_SECURITY_TITLE_WEAK"};
    }
}
