// The rules of the change-PIN dialog without the window: how strong a new
// PIN is, which check of the input fails first, whether a weak PIN may be
// used, and which picture and word the strength meter shows.
#pragma once

#include <string_view>

enum PasswordStrength {
    PasswordStrengthStrong = 1,
    PasswordStrengthWeak = -1,
    PasswordStrengthMid = -2,
};

// Shorter than 8 UTF-16 units: weak. Otherwise by the character classes that
// occur (digits, lower-case, upper-case, everything else): one class weak,
// three or four strong, two mid, except upper-case with "other" alone, which
// is strong.
PasswordStrength GetPasswordStrength(std::wstring_view text);

// The language key of the first failing input check, in the order the user
// is told about them (old PIN empty, new PIN empty, confirmation empty, new
// PIN shorter than 4, the two new entries differ); null when all pass.
const char* FindPinInputFault(std::wstring_view oldPin, std::wstring_view newPin, std::wstring_view newPin2);

constexpr size_t kMinPinLength = 4;

struct StrengthLook {
    const wchar_t* picture;  // skin image of the meter
    const char* wordKey;     // language key of the word beside it
};
StrengthLook GetStrengthLook(PasswordStrength strength);
