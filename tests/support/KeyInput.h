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

// While alive, the work area is 500 pixels narrower than the screen. The
// pop-ups start a slide just beyond the work area's right edge; Wine does
// not map a window lying wholly outside the X screen, and an unmapped
// window loses the X focus to Wine's desktop. With the narrower area the
// slide starts on the screen, as it does on any Windows desktop, so a
// pop-up can take the foreground and hear the keyboard.
class SlidesOnScreen {
public:
    SlidesOnScreen()
    {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &m_workArea_, 0);
        RECT narrower = m_workArea_;
        narrower.right -= 500;
        ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &narrower, 0);
    }
    ~SlidesOnScreen() { ::SystemParametersInfoW(SPI_SETWORKAREA, 0, &m_workArea_, 0); }
    SlidesOnScreen(const SlidesOnScreen&) = delete;
    SlidesOnScreen& operator=(const SlidesOnScreen&) = delete;

private:
    RECT m_workArea_ = {};
};

}  // namespace keyinput
