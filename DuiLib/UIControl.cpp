// The windowless control base: attributes, state, painting and event bubbling.
#include "DuiLib/UIControl.h"

#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI()
{
    if (m_pManager) m_pManager->ReapObjects(this);
}

std::wstring CControlUI::GetClass() const
{
    return L"ControlUI";
}

void* CControlUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return nullptr;
}

void CControlUI::SetText(const std::wstring& text)
{
    if (m_sText == text) return;
    m_sText = text;
    Invalidate();
    if (m_pManager) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_NAMECHANGE, this);
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    m_pManager = manager;
    m_pParent = parent;
    if (init && manager && !m_bInited) {
        m_bInited = true;
        DoInit();
    }
}

CControlUI* CControlUI::FindControl(const std::function<bool(CControlUI*)>& match, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    return match(this) ? this : nullptr;
}

CControlUI* CControlUI::FindControlAt(POINT pt)
{
    if (!IsVisible() || !m_bMouseEnabled) return nullptr;
    return PtInRect(&m_rcItem, pt) ? this : nullptr;
}

CControlUI* CControlUI::FindSubControl(const std::wstring& name)
{
    if (name.empty()) return nullptr;
    return FindControl([&name](CControlUI* c) { return c->GetName() == name; }, UIFIND_ALL);
}

void CControlUI::SetVisible(bool visible)
{
    if (m_bVisible == visible) return;
    bool wasVisible = IsVisible();
    m_bVisible = visible;
    if (!IsVisible() && m_pManager && m_bFocused) m_pManager->FocusGone(this);
    if (wasVisible != IsVisible()) {
        NeedParentUpdate();
        if (m_pManager) m_pManager->NoteVisibilityChanged(this);
    }
}

void CControlUI::SetInternVisible(bool visible)
{
    m_bInternVisible = visible;
    if (!visible && m_pManager && m_bFocused) m_pManager->FocusGone(this);
}

void CControlUI::SetEnabled(bool enabled)
{
    if (m_bEnabled == enabled) return;
    m_bEnabled = enabled;
    if (m_pManager) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE, this);
    if (!enabled && m_pManager && m_bFocused) m_pManager->FocusGone(this);
    if (enabled)
        m_uButtonState &= ~UISTATE_DISABLED;
    else
        m_uButtonState = (m_uButtonState & ~(UISTATE_HOT | UISTATE_PUSHED)) | UISTATE_DISABLED;
    Invalidate();
}

void CControlUI::SetFocus()
{
    if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFocusState(bool focused)
{
    m_bFocused = focused;
    if (focused)
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    Invalidate();
}

void CControlUI::SetFloat(bool isFloat)
{
    if (m_bFloat == isFloat) return;
    m_bFloat = isFloat;
    NeedParentUpdate();
}

void CControlUI::SetPos(RECT rc)
{
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    RECT old = m_rcItem;
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    m_bLaidOut = true;
    if (m_pManager && !EqualRect(&old, &rc)) {
        m_pManager->Invalidate(old);
        m_pManager->Invalidate(rc);
    }
}

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetPadding(RECT rc)
{
    m_rcPadding = rc;
    NeedParentUpdate();
}

int CControlUI::Scale(int value) const
{
    return m_pManager ? m_pManager->ScaleValue(value) : value;
}

RECT CControlUI::ScaleRect(RECT rc) const
{
    return {Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)};
}

RECT CControlUI::GetScaledPadding() const
{
    return ScaleRect(m_rcPadding);
}

void CControlUI::SetBkColor(DWORD argb)
{
    m_dwBkColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image)
{
    if (m_sBkImage == image) return;
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb)
{
    m_dwBorderColor = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(int size)
{
    m_nBorderSize = size < 0 ? 0 : size;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round)
{
    m_cxyBorderRound = round;
    Invalidate();
}

void CControlUI::Invalidate()
{
    if (m_pManager && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate()
{
    m_bUpdateNeeded = true;
    if (m_pManager) {
        m_pManager->NeedUpdate();
        m_pManager->Invalidate(m_rcItem);
    }
}

void CControlUI::NeedParentUpdate()
{
    if (m_pParent) {
        m_pParent->NeedUpdate();
    } else {
        NeedUpdate();
    }
}

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint)
{
    if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
}

bool CControlUI::IsRule() const
{
    auto thin = [](int v) { return v > 0 && v <= 2; };
    return thin(m_cxyFixed.cx) || thin(m_cxyFixed.cy);
}

bool CControlUI::IsIconShape()
{
    return m_bFloat && !GetInterface(L"Container");
}

void CControlUI::PaintBkColor(HDC hDC)
{
    if (ArgbAlpha(m_dwBkColor) == 0) return;
    if (CColorScheme::IsHighContrast()) {
        // The skin's fills go; the window colour shows through. A coloured
        // rule still separates what it separated, and the floating shapes
        // that draw an icon keep its outline in the text colour.
        if (IsRule() || IsIconShape())
            CRenderEngine::DrawRoundColor(hDC, m_rcItem, Scale(m_cxyBorderRound.cx),
                                          Scale(m_cxyBorderRound.cy),
                                          CColorScheme::SystemColor(UIColorRole::Border));
        return;
    }
    SIZE r = {Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy)};
    CRenderEngine::DrawRoundColor(hDC, m_rcItem, r.cx, r.cy, m_dwBkColor);
}

void CControlUI::PaintBkImage(HDC hDC)
{
    if (!m_sBkImage.empty()) DrawImage(hDC, m_sBkImage);
}

void CControlUI::PaintStatusImage(HDC) {}

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC)
{
    DWORD color = (m_bFocused && m_dwFocusBorderColor) ? m_dwFocusBorderColor : m_dwBorderColor;
    if (m_nBorderSize <= 0 || ArgbAlpha(color) == 0) return;
    if (CColorScheme::IsHighContrast()) {
        color = CColorScheme::SystemColor((m_bFocused && m_dwFocusBorderColor) ? UIColorRole::SelectedBk
                                                                               : UIColorRole::Border);
    }
    CRenderEngine::DrawBorder(hDC, m_rcItem, Scale(m_nBorderSize), Scale(m_cxyBorderRound.cx),
                              Scale(m_cxyBorderRound.cy), color);
}

bool CControlUI::DrawImage(HDC hDC, const std::wstring& image)
{
    return CRenderEngine::DrawImageString(hDC, m_pManager, m_rcItem, m_rcPaint, image);
}

void CControlUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
        case UIEVENT_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */));
            return;
        case UIEVENT_SETFOCUS:
        case UIEVENT_KILLFOCUS:
            Invalidate();
            return;
        case UIEVENT_MOUSEENTER:
        case UIEVENT_MOUSELEAVE:
        case UIEVENT_MOUSEHOVER:
        case UIEVENT_TIMER:
            return;
        case UIEVENT_DBLCLICK:
            if (IsEnabled() && m_pManager) {
                m_pManager->SendNotify(this, DUI_MSGTYPE_DBCLICK);
                return;
            }
            break;
        case UIEVENT_RBUTTONUP:
            if (IsEnabled() && m_pManager) {
                m_pManager->SendNotify(this, DUI_MSGTYPE_RCLICK);
                return;
            }
            break;
        default:
            break;
    }
    // Everything else bubbles up until some container uses it.
    if (m_pParent) m_pParent->DoEvent(event);
}

bool CControlUI::Activate()
{
    return IsVisible() && IsEnabled();
}

bool CControlUI::DoDefaultAction()
{
    if (!m_bDefaultActionDblClick) return Activate();
    if (!IsVisible() || !IsEnabled() || !m_pManager) return false;
    m_pManager->SendNotify(this, DUI_MSGTYPE_DBCLICK);
    return true;
}

const std::wstring& CControlUI::AccText(std::wstring AccessibleTexts::*field) const
{
    static const std::wstring none;
    return m_pAccTexts ? (*m_pAccTexts).*field : none;
}

std::wstring& CControlUI::AccTextToSet(std::wstring AccessibleTexts::*field)
{
    if (!m_pAccTexts) m_pAccTexts = std::make_unique<AccessibleTexts>();
    return (*m_pAccTexts).*field;
}

void CControlUI::SetAccName(const std::wstring& name)
{
    if (GetAccName() == name) return;
    AccTextToSet(&AccessibleTexts::name) = name;
    if (m_pManager) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_NAMECHANGE, this);
}

void CControlUI::SetAccValue(const std::wstring& value)
{
    if (GetAccValue() == value) return;
    AccTextToSet(&AccessibleTexts::value) = value;
    if (m_pManager) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_VALUECHANGE, this);
}

long CControlUI::GetAccId()
{
    if (!m_iAccId && m_pManager) m_iAccId = m_pManager->RegisterAccessibleId(this);
    return m_iAccId;
}

void CControlUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"name")
        m_sName = value;
    else if (name == L"text")
        SetText(value);
    else if (name == L"tooltip")
        m_sToolTip = value;
    else if (name == L"userdata")
        m_sUserData = value;
    else if (name == L"visible")
        SetVisible(ParseBool(value));
    else if (name == L"enabled")
        SetEnabled(ParseBool(value));
    else if (name == L"mouse")
        SetMouseEnabled(ParseBool(value));
    else if (name == L"keyboard")
        SetKeyboardEnabled(ParseBool(value));
    else if (name == L"float")
        SetFloat(ParseBool(value));
    else if (name == L"pos") {
        m_rcFloat = ParseRect(value);
        m_cxyFixed.cx = m_rcFloat.right - m_rcFloat.left;
        m_cxyFixed.cy = m_rcFloat.bottom - m_rcFloat.top;
        if (m_cxyFixed.cx < 0) m_cxyFixed.cx = 0;
        if (m_cxyFixed.cy < 0) m_cxyFixed.cy = 0;
        NeedParentUpdate();
    } else if (name == L"width") {
        int v = 0;
        if (ParseInt(value, v)) SetFixedWidth(v);
    } else if (name == L"height") {
        int v = 0;
        if (ParseInt(value, v)) SetFixedHeight(v);
    } else if (name == L"padding")
        SetPadding(ParseRect(value));
    else if (name == L"bkcolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) SetBkColor(c);
    } else if (name == L"bordercolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) SetBorderColor(c);
    } else if (name == L"focusbordercolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) m_dwFocusBorderColor = c;
    } else if (name == L"bordersize") {
        int v = 0;
        if (ParseInt(value, v)) SetBorderSize(v);
    } else if (name == L"borderround") {
        SetBorderRound(ParseSize(value));
    } else if (name == L"bkimage")
        SetBkImage(value);
    else if (name == L"accname")
        AccTextToSet(&AccessibleTexts::name) = value;
    else if (name == L"accvalue")
        AccTextToSet(&AccessibleTexts::value) = value;
    else if (name == L"accrole")
        AccTextToSet(&AccessibleTexts::role) = value;
    else if (name == L"acclabel")
        AccTextToSet(&AccessibleTexts::labelFrom) = value;
    else if (name == L"accvaluefrom")
        AccTextToSet(&AccessibleTexts::valueFrom) = value;
    else if (name == L"defaultaction")
        m_bDefaultActionDblClick = EqualsNoCase(TrimText(value), L"dbclick");
    else if (name == L"taborder") {
        int v = 0;
        if (ParseInt(value, v)) m_iTabOrder = v;
    }
}

void CControlUI::ApplyAttributeList(const std::wstring& list)
{
    size_t pos = 0;
    while (pos < list.size()) {
        while (pos < list.size() && iswspace(list[pos])) ++pos;
        size_t eq = list.find(L'=', pos);
        if (eq == std::wstring::npos) return;
        std::wstring name = TrimText(list.substr(pos, eq - pos));
        pos = eq + 1;
        while (pos < list.size() && iswspace(list[pos])) ++pos;
        if (pos >= list.size() || (list[pos] != L'"' && list[pos] != L'\'')) return;
        wchar_t quote = list[pos++];
        size_t end = list.find(quote, pos);
        if (end == std::wstring::npos) return;
        SetAttribute(name, list.substr(pos, end - pos));
        pos = end + 1;
    }
}

}  // namespace DuiLib
