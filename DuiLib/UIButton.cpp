// Push button; see UIButton.h.
#include "DuiLib/UIButton.h"

#include <algorithm>

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

CButtonUI::CButtonUI()
{
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

std::wstring CButtonUI::GetClass() const
{
    return L"ButtonUI";
}

void* CButtonUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool enabled)
{
    CControlUI::SetEnabled(enabled);
    if (!enabled) m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED | UISTATE_HOT);
}

void CButtonUI::DoEvent(TEventUI& event)
{
    if (!IsMouseEnabled() && event.Type > UIEVENT_FIRST && event.Type < UIEVENT_KEYDOWN) {
        if (m_pParent) m_pParent->DoEvent(event);
        return;
    }
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled() && PtInRect(&m_rcItem, event.ptMouse)) {
                m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
                Invalidate();
            }
            if (event.Type == UIEVENT_DBLCLICK) CControlUI::DoEvent(event);
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_uButtonState & UISTATE_CAPTURED) {
                bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
                bool pushed = (m_uButtonState & UISTATE_PUSHED) != 0;
                if (inside != pushed) {
                    m_uButtonState ^= UISTATE_PUSHED;
                    Invalidate();
                }
            }
            return;
        case UIEVENT_BUTTONUP:
            if (m_uButtonState & UISTATE_CAPTURED) {
                bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
                m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                Invalidate();
                if (inside) Activate();
            }
            return;
        case UIEVENT_MOUSEENTER:
            if (IsEnabled()) {
                m_uButtonState |= UISTATE_HOT;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSELEAVE:
            if (m_uButtonState & UISTATE_HOT) {
                m_uButtonState &= ~UISTATE_HOT;
                Invalidate();
            }
            return;
        case UIEVENT_KEYDOWN:
            if (event.chKey == VK_SPACE && IsKeyboardEnabled()) {
                Activate();
                return;
            }
            break;
        case UIEVENT_SETCURSOR:
            if (m_bHandCursor && IsEnabled()) {
                ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32649) /* IDC_HAND */));
                return;
            }
            break;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

DWORD CButtonUI::GetStateTextColor() const
{
    if (IsEnabled()) {
        if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor) return m_dwPushedTextColor;
        if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor) return m_dwHotTextColor;
        if ((m_uButtonState & UISTATE_FOCUSED) && m_dwFocusedTextColor) return m_dwFocusedTextColor;
    }
    return CLabelUI::GetStateTextColor();
}

UIColorRole CButtonUI::GetTextRole() const
{
    if (!IsEnabled()) return UIColorRole::DisabledText;
    if (m_uButtonState & UISTATE_PUSHED) return UIColorRole::SelectedText;
    if (HasFace()) return UIColorRole::ButtonText;
    if (m_uButtonState & UISTATE_HOT) return UIColorRole::Hot;
    return CLabelUI::GetTextRole();
}

void CButtonUI::PaintBkColor(HDC hDC)
{
    if (CColorScheme::IsHighContrast()) {
        // Pushed reads as selected; a face stays a face in the system's colour.
        bool pushed = IsEnabled() && (m_uButtonState & UISTATE_PUSHED);
        if (!pushed && !HasFace()) return;
        CRenderEngine::DrawRoundColor(
            hDC, m_rcItem, Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy),
            CColorScheme::SystemColor(pushed ? UIColorRole::SelectedBk : UIColorRole::ButtonFace));
        return;
    }
    DWORD color = m_dwBkColor;
    if (!IsEnabled()) {
        if (m_dwDisabledBkColor) color = m_dwDisabledBkColor;
    } else if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedBkColor) {
        color = m_dwPushedBkColor;
    } else if ((m_uButtonState & UISTATE_HOT) && m_dwHotBkColor) {
        color = m_dwHotBkColor;
    }
    if (ArgbAlpha(color) == 0) return;
    CRenderEngine::DrawRoundColor(hDC, m_rcItem, Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy),
                                  color);
}

void CButtonUI::PaintStatusImage(HDC hDC)
{
    const std::wstring* image = nullptr;
    if (!IsEnabled())
        image = &m_sDisabledImage;
    else if (m_uButtonState & UISTATE_PUSHED)
        image = &m_sPushedImage;
    else if (m_uButtonState & UISTATE_HOT)
        image = &m_sHotImage;
    else if (m_uButtonState & UISTATE_FOCUSED)
        image = &m_sFocusedImage;
    if (image && !image->empty() && DrawImage(hDC, *image)) return;
    if (!m_sNormalImage.empty()) DrawImage(hDC, m_sNormalImage);
}

void CButtonUI::PaintBorder(HDC hDC)
{
    if (!CColorScheme::IsHighContrast()) {
        CLabelUI::PaintBorder(hDC);
        return;
    }
    // Hot is an outline of its own colour; a face is always outlined, since
    // the system's button face may be the window's colour.
    if (IsEnabled() && (m_uButtonState & UISTATE_HOT))
        PaintHighContrastOutline(hDC, UIColorRole::Hot, 2);
    else if (HasFace())
        PaintHighContrastOutline(hDC, IsEnabled() ? UIColorRole::ButtonText : UIColorRole::DisabledText, 1);
    else
        CLabelUI::PaintBorder(hDC);
}

void CButtonUI::PaintHighContrastOutline(HDC hDC, UIColorRole role, int size)
{
    CRenderEngine::DrawBorder(hDC, m_rcItem, std::max(1, Scale(size)), Scale(m_cxyBorderRound.cx),
                              Scale(m_cxyBorderRound.cy), CColorScheme::SystemColor(role));
}

void CButtonUI::SetNormalImage(const std::wstring& image)
{
    m_sNormalImage = image;
    Invalidate();
}

void CButtonUI::SetHotImage(const std::wstring& image)
{
    m_sHotImage = image;
    Invalidate();
}

void CButtonUI::SetPushedImage(const std::wstring& image)
{
    m_sPushedImage = image;
    Invalidate();
}

void CButtonUI::SetDisabledImage(const std::wstring& image)
{
    m_sDisabledImage = image;
    Invalidate();
}

void CButtonUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    DWORD c = 0;
    if (name == L"normalimage")
        SetNormalImage(value);
    else if (name == L"hotimage")
        SetHotImage(value);
    else if (name == L"pushedimage")
        SetPushedImage(value);
    else if (name == L"focusedimage")
        m_sFocusedImage = value;
    else if (name == L"disabledimage")
        SetDisabledImage(value);
    else if (name == L"hottextcolor") {
        if (ParseColor(value, c)) m_dwHotTextColor = c;
    } else if (name == L"pushedtextcolor") {
        if (ParseColor(value, c)) m_dwPushedTextColor = c;
    } else if (name == L"focusedtextcolor") {
        if (ParseColor(value, c)) m_dwFocusedTextColor = c;
    } else if (name == L"hotbkcolor") {
        if (ParseColor(value, c)) m_dwHotBkColor = c;
    } else if (name == L"pushedbkcolor") {
        if (ParseColor(value, c)) m_dwPushedBkColor = c;
    } else if (name == L"disabledbkcolor") {
        if (ParseColor(value, c)) m_dwDisabledBkColor = c;
    } else if (name == L"default") {
        m_bDefault = ParseBool(value);
    } else if (name == L"cancel") {
        m_bCancel = ParseBool(value);
    } else if (name == L"handcursor") {
        m_bHandCursor = ParseBool(value);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
