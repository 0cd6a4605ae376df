// The keyboard side of the paint manager: focus, tab order, option groups
// moved by arrows, dialog keys (Tab, Enter, Escape), the keyboard context
// menu, the focus cues and the focus a window remembers while another one
// has it. Kept apart from UIManager.cpp so what a keyboard user meets can be
// read in one place; see DuiLib/README.md, "Keyboard".
#include <algorithm>
#include <set>

#include "DuiLib/UIButton.h"
#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UICombo.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIEdit.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

namespace {

// A control that gains or loses the focus shows it and hears of it.
void MoveFocusState(CControlUI* control, bool focused)
{
    control->SetFocusState(focused);
    TEventUI ev;
    ev.Type = focused ? UIEVENT_SETFOCUS : UIEVENT_KILLFOCUS;
    ev.pSender = control;
    ev.dwTimestamp = ::GetTickCount();
    control->DoEvent(ev);
}

}  // namespace

void CPaintManagerUI::SetFocus(CControlUI* control)
{
    if (control && (control->GetManager() != this || !control->IsVisible() || !control->IsEnabled())) return;
    bool nativeChild = control && ControlCast<CEditUI>(control);
    if (m_hWndPaint && !nativeChild && ::GetFocus() != m_hWndPaint) {
        // The window's own WM_SETFOCUS must not hand the focus back to the
        // control that is losing it.
        m_bTakingFocus = true;
        ::SetFocus(m_hWndPaint);
        m_bTakingFocus = false;
    }
    if (control == m_pFocus) {
        if (control) control->SetFocusState(true);
        return;
    }
    CControlUI* old = m_pFocus;
    m_pFocus = nullptr;
    if (old) MoveFocusState(old, false);
    m_pFocus = control;
    if (!control) return;
    MoveFocusState(control, true);
    for (CControlUI* p = control->GetParent(); p; p = p->GetParent()) {
        auto* list = ControlCast<CVerticalLayoutUI>(p);
        if (list && list->IsVScrollEnabled()) list->EnsureVisible(control);
    }
    // A native edit's own window announces its focus itself; a focus the
    // window could not take (another thread's window is active) is none.
    if (!nativeChild && m_pFocus == control && m_hWndPaint && ::GetFocus() == m_hWndPaint)
        NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, control);
}

void CPaintManagerUI::FocusGone(CControlUI* control)
{
    if (!control || control != m_pFocus) return;
    // Not SetFocus(nullptr): that would pull the system focus into this window.
    m_pFocus = nullptr;
    MoveFocusState(control, false);
    m_bFocusLost = true;
    NeedUpdate();
}

void CPaintManagerUI::SetFocusNeeded(CControlUI* control)
{
    if (control == m_pFocus) return;
    if (m_pFocus) m_pFocus->SetFocusState(false);
    m_pFocus = control;
    if (control) control->SetFocusState(true);
}

void CPaintManagerUI::FocusIfActive(CControlUI* control)
{
    if (!control || !control->IsVisible() || !control->IsEnabled() || control->GetManager() != this) return;
    if (m_hWndPaint && ::GetActiveWindow() == ::GetAncestor(m_hWndPaint, GA_ROOT))
        SetFocus(control);
    else
        SetFocusNeeded(control);
}

std::vector<COptionUI*> CPaintManagerUI::GetVisibleGroupMembers(COptionUI* option) const
{
    std::vector<COptionUI*> members;
    const std::vector<COptionUI*>* group = option ? GetOptionGroup(option->GetGroup()) : nullptr;
    if (!group) return members;
    for (COptionUI* o : *group) {
        if (o->IsVisible() && o->IsEnabled() && o->IsTabStop()) members.push_back(o);
    }
    // Reading order: a list's items are added at either end, so the order
    // they joined the group says nothing about where they are.
    std::stable_sort(members.begin(), members.end(), [](COptionUI* a, COptionUI* b) {
        const RECT& ra = a->GetPos();
        const RECT& rb = b->GetPos();
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return members;
}

std::vector<CControlUI*> CPaintManagerUI::GetTabStops()
{
    std::vector<CControlUI*> stops;
    if (!m_pRoot) return stops;
    UpdateLayout();
    std::set<std::wstring> groupsSeen;
    m_pRoot->FindControl(
        [&](CControlUI* c) {
            if (!c->IsTabStop()) return false;
            COptionUI* option = ControlCast<COptionUI>(c);
            if (!option || option->GetGroup().empty()) {
                stops.push_back(c);
                return false;
            }
            if (!groupsSeen.insert(option->GetGroup()).second) return false;
            std::vector<COptionUI*> members = GetVisibleGroupMembers(option);
            if (members.empty()) return false;
            CControlUI* pick = members.front();
            for (COptionUI* m : members) {
                if (m == m_pFocus) {
                    pick = m;
                    break;
                }
                if (m->IsSelected()) pick = m;
            }
            stops.push_back(pick);
            return false;
        },
        UIFIND_VISIBLE | UIFIND_ENABLED);
    std::stable_sort(stops.begin(), stops.end(),
                     [](CControlUI* a, CControlUI* b) { return a->GetTabOrder() < b->GetTabOrder(); });
    return stops;
}

bool CPaintManagerUI::SetNextTabControl(bool forward)
{
    std::vector<CControlUI*> stops = GetTabStops();
    if (stops.empty()) return false;
    ShowFocusCues();
    auto it = std::find(stops.begin(), stops.end(), m_pFocus);
    int n = static_cast<int>(stops.size());
    int index;
    if (it == stops.end()) {
        index = forward ? 0 : n - 1;
    } else {
        int cur = static_cast<int>(it - stops.begin());
        index = forward ? (cur + 1) % n : (cur - 1 + n) % n;
    }
    SetFocus(stops[static_cast<size_t>(index)]);
    return true;
}

bool CPaintManagerUI::HandleDialogKey(UINT vk, bool shift)
{
    if (!m_pRoot) return false;
    if (vk == VK_TAB) return SetNextTabControl(!shift);
    if (vk != VK_RETURN && vk != VK_ESCAPE) return false;
    // An open drop-down list takes Enter and Escape itself.
    CComboUI* combo = ControlCast<CComboUI>(m_pFocus);
    if (combo && combo->IsDropDownOpen()) return false;
    if (vk == VK_RETURN) {
        CButtonUI* focused = ControlCast<CButtonUI>(m_pFocus);
        if (focused && focused->IsVisible() && focused->IsEnabled()) {
            PointAtFocus();
            return focused->DoDefaultAction();
        }
    }
    CControlUI* target = m_pRoot->FindControl(
        [vk](CControlUI* c) {
            CButtonUI* b = ControlCast<CButtonUI>(c);
            return b && (vk == VK_RETURN ? b->IsDefaultButton() : b->IsCancelButton());
        },
        UIFIND_VISIBLE | UIFIND_ENABLED);
    return target && target->Activate();
}

bool CPaintManagerUI::MoveInOptionGroup(UINT vk)
{
    COptionUI* focused = ControlCast<COptionUI>(m_pFocus);
    if (!focused || focused->GetGroup().empty()) return false;
    if (vk != VK_UP && vk != VK_DOWN && vk != VK_LEFT && vk != VK_RIGHT && vk != VK_HOME && vk != VK_END)
        return false;
    std::vector<COptionUI*> members = GetVisibleGroupMembers(focused);
    auto it = std::find(members.begin(), members.end(), focused);
    if (it == members.end()) return false;
    ShowFocusCues();
    const int n = static_cast<int>(members.size());
    int index = static_cast<int>(it - members.begin());
    if (vk == VK_HOME)
        index = 0;
    else if (vk == VK_END)
        index = n - 1;
    else if (vk == VK_UP || vk == VK_LEFT)
        index = std::max(0, index - 1);
    else
        index = std::min(n - 1, index + 1);
    COptionUI* target = members[static_cast<size_t>(index)];
    if (target == focused) return true;
    SetFocus(target);
    // Arrows choose, as in a list box or a radio group.
    if (!target->IsSelected()) target->Activate();
    return true;
}

bool CPaintManagerUI::ShowKeyboardContextMenu()
{
    CControlUI* focused = m_pFocus;
    if (!focused || !focused->IsVisible() || !focused->IsEnabled()) return false;
    ShowFocusCues();
    const RECT& rc = focused->GetPos();
    m_ptLastMousePos = {rc.left + ScaleValue(8), rc.bottom};
    SendNotify(focused, DUI_MSGTYPE_RCLICK);
    return true;
}

void CPaintManagerUI::PointAtFocus()
{
    // What a key does to a control is reported at the control, so a menu it
    // opens appears there and not where the mouse happened to rest.
    if (!m_pFocus) return;
    const RECT& rc = m_pFocus->GetPos();
    m_ptLastMousePos = {(rc.left + rc.right) / 2, rc.bottom};
}

void CPaintManagerUI::ShowFocusCues()
{
    if (m_bFocusCues || !m_hWndPaint) return;
    m_bFocusCues = true;
    if (m_pFocus) m_pFocus->Invalidate();
    // The rest of the window's family shows its cues too, as Windows does.
    HWND top = ::GetAncestor(m_hWndPaint, GA_ROOT);
    if (top) ::SendMessageW(top, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

void CPaintManagerUI::RestoreFocusIfLost()
{
    if (!m_bFocusLost || m_pFocus) {
        m_bFocusLost = false;
        return;
    }
    m_bFocusLost = false;
    HWND focus = ::GetFocus();
    if (!m_hWndPaint || focus != m_hWndPaint) return;
    std::vector<CControlUI*> stops = GetTabStops();
    if (!stops.empty()) SetFocus(stops.front());
}

void CPaintManagerUI::OnSetFocusMessage()
{
    if (m_bTakingFocus) return;
    if (m_pFocus && m_pFocus->IsVisible() && m_pFocus->IsEnabled()) {
        if (CEditUI* edit = ControlCast<CEditUI>(m_pFocus)) {
            if (edit->GetNativeWindow()) ::SetFocus(edit->GetNativeWindow());
            return;
        }
        m_pFocus->Invalidate();
        NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, m_pFocus);
        return;
    }
    // The window got the focus as a whole (activated, the host's Tab, a
    // closed message box) with no control of its own remembered: it chooses
    // none, as after a mouse click elsewhere. A pop-up that comes forward
    // must not put Enter or Space typed into another application onto its
    // Close button; the first Tab or arrow chooses. A menu is the exception:
    // its first item is where Enter and the arrows start.
    if (IsMenuWindow()) {
        std::vector<CControlUI*> stops = GetTabStops();
        if (!stops.empty()) SetFocus(stops.front());
    }
}

void CPaintManagerUI::PaintFocusIndicator(HDC hdc, const RECT& rcPaint)
{
    CControlUI* focused = m_pFocus;
    if (!m_bFocusCues || !focused || !focused->IsVisible() || ControlCast<CEditUI>(focused)) return;
    if (!m_hWndPaint || ::GetFocus() != m_hWndPaint) return;
    RECT rc = focused->GetPos();
    // Only what the scrolling lists around the control show of it.
    for (CControlUI* p = focused->GetParent(); p; p = p->GetParent()) {
        RECT clip = p->GetPos();
        if (!::IntersectRect(&rc, &rc, &clip)) return;
    }
    RECT visible;
    if (!::IntersectRect(&visible, &rc, &rcPaint)) return;
    // Two rings, dark outside and light inside, so the focus shows on white
    // and on the accent colour alike.
    const SIZE round = focused->GetBorderRound();
    const int outer = std::max(1, ScaleValue(2));
    const int radius = round.cx > 0 ? ScaleValue(round.cx) : 0;
    CRenderEngine::DrawBorder(hdc, rc, outer, radius, radius,
                              CColorScheme::FocusIndicatorColor(m_dwDefaultTextColor | 0xFF000000u));
    ::InflateRect(&rc, -outer, -outer);
    CRenderEngine::DrawBorder(hdc, rc, std::max(1, ScaleValue(1)), std::max(0, radius - outer),
                              std::max(0, radius - outer),
                              CColorScheme::Pick(UIColorRole::WindowBk, m_dwWindowBkColor | 0xFF000000u));
}

bool CPaintManagerUI::PreTranslateKey(UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lRes)
{
    if (uMsg != WM_KEYDOWN || (wParam != VK_TAB && wParam != VK_RETURN && wParam != VK_ESCAPE)) return false;
    auto alive = m_alive;
    ++m_nDispatchDepth;
    bool used = HandleDialogKey(static_cast<UINT>(wParam), (::GetKeyState(VK_SHIFT) & 0x8000) != 0);
    if (!*alive) return used;
    if (--m_nDispatchDepth == 0) FlushDelayedCleanup();
    if (used) lRes = 0;
    return used;
}

bool CPaintManagerUI::HandleKeyboardMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
        case WM_KEYDOWN:
            m_bLastInputKeyboard = true;
            m_bKeyboardMenuOpened = false;
            if ((wParam == VK_TAB || wParam == VK_RETURN || wParam == VK_ESCAPE) &&
                HandleDialogKey(static_cast<UINT>(wParam), (::GetKeyState(VK_SHIFT) & 0x8000) != 0)) {
                lRes = 0;
                return true;
            }
            if (MoveInOptionGroup(static_cast<UINT>(wParam))) {
                lRes = 0;
                return true;
            }
            // Nothing chosen yet (the window was activated as a whole): an
            // arrow starts where Tab would.
            if (!m_pFocus && (wParam == VK_UP || wParam == VK_DOWN || wParam == VK_LEFT || wParam == VK_RIGHT) &&
                SetNextTabControl(true)) {
                lRes = 0;
                return true;
            }
            if (wParam == VK_APPS || (wParam == VK_F10 && (::GetKeyState(VK_SHIFT) & 0x8000))) {
                m_bKeyboardMenuOpened = ShowKeyboardContextMenu();
                if (m_bKeyboardMenuOpened) {
                    lRes = 0;
                    return true;
                }
            }
            if (wParam == VK_SPACE) PointAtFocus();
            if (m_pFocus) FireEvent(m_pFocus, UIEVENT_KEYDOWN, m_ptLastMousePos, wParam, lParam);
            return false;
        case WM_SYSKEYDOWN:
            // Shift+F10 arrives as a system key (F10 alone is the menu key).
            m_bLastInputKeyboard = true;
            m_bKeyboardMenuOpened = false;
            if (wParam == VK_F10 && (::GetKeyState(VK_SHIFT) & 0x8000) && ShowKeyboardContextMenu()) {
                m_bKeyboardMenuOpened = true;
                lRes = 0;
                return true;
            }
            return false;
        case WM_CONTEXTMENU:
            // The system's own translation of the keys handled just above.
            if (static_cast<LONG>(static_cast<DWORD>(lParam)) != -1) return false;
            if (!m_bKeyboardMenuOpened && !ShowKeyboardContextMenu()) return false;
            m_bKeyboardMenuOpened = false;
            lRes = 0;
            return true;
        case WM_SETFOCUS:
            OnSetFocusMessage();
            return false;
        case WM_UPDATEUISTATE: {
            BOOL cues = FALSE;
            const bool forced = ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0) && cues;
            if (HIWORD(wParam) & UISF_HIDEFOCUS) {
                // UIS_INITIALIZE asks for the state the last input implies,
                // as standard controls read it: cues after the keyboard.
                const WORD action = LOWORD(wParam);
                const bool show = forced || action == UIS_CLEAR || (action == UIS_INITIALIZE && m_bLastInputKeyboard);
                if (show != m_bFocusCues) {
                    m_bFocusCues = show;
                    if (m_pFocus) m_pFocus->Invalidate();
                }
            }
            return false;
        }
        case WM_GETDLGCODE: {
            // Inside a host's dialog the dialog manager would take our keys:
            // arrows and characters are ours, Tab and Shift+Tab while a stop
            // follows in that direction (then the dialog moves on), Enter
            // while one of our buttons has the focus.
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB) {
                std::vector<CControlUI*> stops = GetTabStops();
                auto it = std::find(stops.begin(), stops.end(), m_pFocus);
                const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
                if (it != stops.end() && (back ? it != stops.begin() : it + 1 != stops.end()))
                    code |= DLGC_WANTTAB;
            } else if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN &&
                       ControlCast<CButtonUI>(m_pFocus)) {
                code |= DLGC_WANTMESSAGE;
            }
            lRes = code;
            return true;
        }
        case WM_KEYUP:
            if (m_pFocus) FireEvent(m_pFocus, UIEVENT_KEYUP, m_ptLastMousePos, wParam, lParam);
            return false;
        case WM_CHAR:
            if (m_pFocus) FireEvent(m_pFocus, UIEVENT_CHAR, m_ptLastMousePos, wParam, lParam);
            return false;
        case WM_KILLFOCUS:
            HideTooltip();
            if (m_pFocus) {
                if (CComboUI* combo = ControlCast<CComboUI>(m_pFocus)) combo->CloseDropDown();
                m_pFocus->Invalidate();
            }
            return false;
        default:
            return false;
    }
}

}  // namespace DuiLib
