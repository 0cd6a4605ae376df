// What the clipboard holds, read as a pasting program would.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// The CF_TEXT bytes (up to the terminator), or a marker text when the
// clipboard cannot be opened.
std::string ClipboardText();
// The CF_UNICODETEXT text (the system makes it from CF_TEXT when needed).
std::wstring ClipboardUnicodeText();

}  // namespace testsupport
