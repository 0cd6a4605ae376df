// Which colours the toolkit paints with. Normally a control paints the
// colours its skin gives it; while the system's high-contrast mode is on,
// every control asks here for the system colour of the role it is painting
// (window, text, selection, button, disabled, hot, border) instead, so the
// user's chosen contrast wins over the skin.
#pragma once

#include <optional>

#include "DuiLib/UIBase.h"

namespace DuiLib {

enum class UIColorRole {
    WindowBk,      // window and control backgrounds
    Text,          // ordinary text
    SelectedBk,    // selected item, pushed button
    SelectedText,  // text on SelectedBk
    ButtonFace,    // a button that has a face in its skin
    ButtonText,    // text and outline of such a button
    DisabledText,  // text and marks of a disabled control
    Hot,           // the control under the mouse, links
    Border,        // borders, dividers, scroll thumbs
};

class CColorScheme {
public:
    // Whether high contrast is on. The answer is read from the system once
    // and kept until Refresh(): painting asks for it for every control.
    static bool IsHighContrast();
    // Reads the system setting again (the paint manager calls this on
    // WM_SETTINGCHANGE and WM_SYSCOLORCHANGE). True when the answer changed.
    static bool Refresh();
    // For tests on systems whose high-contrast setting cannot be switched:
    // a value here replaces the system's answer; nullopt reads it again.
    static void SetHighContrastOverride(std::optional<bool> on);

    // The current system colour of a role, opaque ARGB.
    static DWORD SystemColor(UIColorRole role);
    // What to paint for a role: the system colour in high contrast, the
    // skin's colour otherwise.
    static DWORD Pick(UIColorRole role, DWORD skinColor);
    // Colour of the keyboard focus indicator: the window text colour in high
    // contrast, which stands out on the window background by definition.
    static DWORD FocusIndicatorColor(DWORD skinColor);
};

}  // namespace DuiLib
