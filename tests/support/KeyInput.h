// Keys as a person types them: through SendInput, into whatever window has
// the keyboard focus of the active window, so they pass every message loop,
// accelerator and dialog manager on their way, as a real keystroke does.
#pragma once

#include <windows.h>

#include <string>

namespace keyinput {

enum Modifier : unsigned { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

// One key pressed and released, with modifiers held around it.
void Type(WORD vk, unsigned modifiers = kNone);
// Text as characters (VK_PACKET), whatever the keyboard layout.
void TypeText(const std::wstring& text);
// Shows the top-level window and makes it the active, foreground one, with
// this thread's messages pumped until it is; false when it never became so.
bool Activate(HWND window);

}  // namespace keyinput
