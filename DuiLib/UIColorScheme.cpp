// High-contrast state and the system colour of each colour role; see
// UIColorScheme.h.
#include "DuiLib/UIColorScheme.h"

#include <atomic>

namespace DuiLib {

namespace {

// 0: not read yet, 1: off, 2: on. Windows of several threads may paint.
std::atomic<int> g_systemState{0};
// 0: none, 1: forced off, 2: forced on.
std::atomic<int> g_override{0};

int ReadSystemState()
{
    HIGHCONTRASTW hc = {};
    hc.cbSize = sizeof(hc);
    if (!::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0)) return 1;
    return (hc.dwFlags & HCF_HIGHCONTRASTON) ? 2 : 1;
}

int SystemColorIndex(UIColorRole role)
{
    switch (role) {
        case UIColorRole::WindowBk:
            return COLOR_WINDOW;
        case UIColorRole::Text:
        case UIColorRole::Border:
            return COLOR_WINDOWTEXT;
        case UIColorRole::SelectedBk:
            return COLOR_HIGHLIGHT;
        case UIColorRole::SelectedText:
            return COLOR_HIGHLIGHTTEXT;
        case UIColorRole::ButtonFace:
            return COLOR_BTNFACE;
        case UIColorRole::ButtonText:
            return COLOR_BTNTEXT;
        case UIColorRole::DisabledText:
            return COLOR_GRAYTEXT;
        case UIColorRole::Hot:
            return COLOR_HOTLIGHT;
    }
    return COLOR_WINDOWTEXT;
}

}  // namespace

bool CColorScheme::IsHighContrast()
{
    int forced = g_override.load();
    if (forced != 0) return forced == 2;
    int state = g_systemState.load();
    if (state == 0) {
        state = ReadSystemState();
        g_systemState.store(state);
    }
    return state == 2;
}

bool CColorScheme::Refresh()
{
    bool before = IsHighContrast();
    g_systemState.store(ReadSystemState());
    return IsHighContrast() != before;
}

void CColorScheme::SetHighContrastOverride(std::optional<bool> on)
{
    g_override.store(on ? (*on ? 2 : 1) : 0);
    if (!on) g_systemState.store(0);
}

DWORD CColorScheme::SystemColor(UIColorRole role)
{
    COLORREF c = ::GetSysColor(SystemColorIndex(role));
    return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
           GetBValue(c);
}

DWORD CColorScheme::Pick(UIColorRole role, DWORD skinColor)
{
    return IsHighContrast() ? SystemColor(role) : skinColor;
}

DWORD CColorScheme::FocusIndicatorColor(DWORD skinColor)
{
    return Pick(UIColorRole::Text, skinColor);
}

}  // namespace DuiLib
