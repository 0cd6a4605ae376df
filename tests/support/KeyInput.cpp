// SendInput for the tests; see KeyInput.h.
#include "KeyInput.h"

#include <vector>

#include "TestSupport.h"

namespace keyinput {

namespace {

INPUT Key(WORD vk, bool up)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // The navigation keys live on the extended half of the keyboard; without
    // the flag some layouts read them as the number pad.
    switch (vk) {
        case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_HOME: case VK_END:
        case VK_PRIOR: case VK_NEXT: case VK_INSERT: case VK_DELETE: case VK_APPS:
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
            break;
        default:
            break;
    }
    return in;
}

}  // namespace

void Type(WORD vk, unsigned modifiers)
{
    std::vector<INPUT> inputs;
    const WORD held[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    for (int i = 0; i < 3; ++i)
        if (modifiers & (1u << i)) inputs.push_back(Key(held[i], false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    for (int i = 2; i >= 0; --i)
        if (modifiers & (1u << i)) inputs.push_back(Key(held[i], true));
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wScan = c;
            in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(in);
        }
    }
    if (!inputs.empty()) ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool Activate(HWND window)
{
    if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOW);
    ::SetForegroundWindow(window);
    return testsupport::WaitFor([window] { return ::GetForegroundWindow() == window && ::GetActiveWindow() == window; });
}

}  // namespace keyinput
