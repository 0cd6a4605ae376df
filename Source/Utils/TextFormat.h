// Filling the one printf-style field of a language text. The texts come from
// files that translators edit, so they are never handed to printf itself: a
// wrong field ("%s" where a number goes) must show odd text, not crash.
#pragma once

#include <string>

// Replaces the first %d (or %s) with the number; "%%" becomes "%". Other
// fields stay as they are.
std::wstring FormatTextWithNumber(const std::wstring& format, int number);
// Replaces the first %s (or %d) with the text; "%%" becomes "%".
std::wstring FormatTextWithText(const std::wstring& format, const std::wstring& text);
