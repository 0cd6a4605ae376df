// Combo box and its drop-down list window; see UICombo.h.
#include "DuiLib/UICombo.h"

#include <algorithm>

#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/WindowWnd.h"

namespace DuiLib {

// The drop-down list: a top-most pop-up owned by the combo's window that
// paints the combo's items itself and closes as soon as it loses the focus.
class CComboWnd : public CWindowWnd {
public:
    explicit CComboWnd(CComboUI* owner) : m_pOwner(owner) {}

    bool Open()
    {
        CPaintManagerUI* pm = m_pOwner->GetManager();
        if (!pm || !pm->GetPaintWindow()) return false;
        RECT rc = m_pOwner->GetPos();
        POINT topLeft = {rc.left, rc.bottom};
        ::ClientToScreen(pm->GetPaintWindow(), &topLeft);
        SIZE box = m_pOwner->GetDropBoxSize();
        int width = box.cx > 0 ? pm->ScaleValue(box.cx) : RectWidth(rc);
        int count = std::max(1, m_pOwner->GetCount());
        int height = ItemHeight() * count + 2;
        if (box.cy > 0) height = std::min(height, pm->ScaleValue(box.cy));
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        ::GetMonitorInfoW(::MonitorFromPoint(topLeft, MONITOR_DEFAULTTONEAREST), &mi);
        int y = topLeft.y + pm->ScaleValue(2);
        if (y + height > mi.rcWork.bottom) {
            POINT top = {rc.left, rc.top};
            ::ClientToScreen(pm->GetPaintWindow(), &top);
            y = top.y - height - pm->ScaleValue(2);
        }
        m_iHot = m_pOwner->GetCurSel();
        m_iTop = 0;
        EnsureVisible(m_iHot);
        // The list never takes the activation or the focus (the combo keeps
        // them and passes keys on); it holds the mouse capture instead, so a
        // click anywhere else closes it.
        if (!Create(pm->GetPaintWindow(), L"", WS_POPUP | WS_CLIPSIBLINGS,
                    WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, topLeft.x, y, width, height))
            return false;
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        ::SetCapture(m_hWnd);
        // The keyboard focus stays with the combo, but a screen reader
        // follows the list: it is expanded, and its cursor item is the focus.
        pm->NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE, m_pOwner);
        AnnounceHot();
        return true;
    }

    int HotIndex() const { return m_iHot; }

    void Detach() { m_pOwner = nullptr; }

    // Keys the combo passes on while the list is open.
    void HandleKey(UINT vk)
    {
        if (!m_pOwner) return;
        if (vk == VK_UP || vk == VK_DOWN) {
            int next = m_iHot + (vk == VK_UP ? -1 : 1);
            if (next >= 0 && next < m_pOwner->GetCount()) {
                m_iHot = next;
                EnsureVisible(next);
                ::InvalidateRect(m_hWnd, nullptr, FALSE);
                AnnounceHot();
            }
        } else if (vk == VK_RETURN) {
            if (m_iHot >= 0)
                Choose(m_iHot);
            else
                ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        } else if (vk == VK_ESCAPE || vk == VK_F4) {
            ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        }
    }

    bool GetItemRect(int index, RECT& rc) const
    {
        if (!m_hWnd || !m_pOwner || index < m_iTop || index >= m_pOwner->GetCount()) return false;
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        int top = 1 + (index - m_iTop) * ItemHeight();
        rc = {1, top, client.right - 1, top + ItemHeight()};
        return rc.bottom <= client.bottom;
    }

protected:
    const wchar_t* GetWindowClassName() const override { return L"DuiLibComboDropWnd"; }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override
    {
        switch (uMsg) {
            case WM_PAINT:
                Paint();
                return 0;
            case WM_ERASEBKGND:
                return 1;
            case WM_MOUSEMOVE: {
                int item = ItemAt(GET_Y_LPARAM(lParam));
                if (item != m_iHot && item >= 0) {
                    m_iHot = item;
                    ::InvalidateRect(m_hWnd, nullptr, FALSE);
                }
                return 0;
            }
            case WM_LBUTTONUP: {
                int item = ItemAt(GET_Y_LPARAM(lParam));
                if (item >= 0) Choose(item);
                return 0;
            }
            case WM_MOUSEWHEEL: {
                int delta = GET_WHEEL_DELTA_WPARAM(wParam);
                m_iTop = std::max(0, std::min(m_iTop + (delta > 0 ? -1 : 1), MaxTop()));
                ::InvalidateRect(m_hWnd, nullptr, FALSE);
                return 0;
            }
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN: {
                POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                RECT client;
                ::GetClientRect(m_hWnd, &client);
                if (!::PtInRect(&client, pt)) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
                return 0;
            }
            case WM_CAPTURECHANGED:
                if (reinterpret_cast<HWND>(lParam) != m_hWnd && ::IsWindow(m_hWnd))
                    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
                break;
            case WM_KEYDOWN:
                HandleKey(static_cast<UINT>(wParam));
                return 0;
            case WM_GETOBJECT: {
                LRESULT answer = 0;
                CPaintManagerUI* pm = m_pOwner ? m_pOwner->GetManager() : nullptr;
                if (pm && pm->AnswerGetObject(wParam, lParam, m_pOwner, answer, AccessibleView::DropDownList))
                    return answer;
                break;
            }
            default:
                break;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

    void OnFinalMessage(HWND) override
    {
        if (m_pOwner) {
            m_pOwner->OnDropDownClosed();
            m_pOwner->Invalidate();
            AnnounceClosed(m_pOwner);
        }
        delete this;
    }

private:
    static int GET_Y_LPARAM(LPARAM lp) { return static_cast<short>(HIWORD(lp)); }

    int ItemHeight() const
    {
        CPaintManagerUI* pm = m_pOwner ? m_pOwner->GetManager() : nullptr;
        int h = m_pOwner ? m_pOwner->GetItemHeight() : 30;
        return pm ? pm->ScaleValue(h) : h;
    }
    int VisibleRows() const
    {
        RECT client = {0, 0, 0, 0};
        if (m_hWnd) ::GetClientRect(m_hWnd, &client);
        int h = ItemHeight();
        return h > 0 ? std::max(1, (RectHeight(client) - 2) / h) : 1;
    }
    int MaxTop() const { return m_pOwner ? std::max(0, m_pOwner->GetCount() - VisibleRows()) : 0; }
    void EnsureVisible(int index)
    {
        if (index < 0 || !m_hWnd) return;
        if (index < m_iTop) m_iTop = index;
        if (index >= m_iTop + VisibleRows()) m_iTop = index - VisibleRows() + 1;
    }
    int ItemAt(int y) const
    {
        if (!m_pOwner || y < 1) return -1;
        int index = m_iTop + (y - 1) / std::max(1, ItemHeight());
        return index < m_pOwner->GetCount() ? index : -1;
    }
    void Choose(int index)
    {
        // The list goes first: a handler of "itemselect" may open a message
        // box, and the list must not sit over it.
        CComboUI* owner = m_pOwner;
        HWND hwnd = m_hWnd;
        if (owner) owner->OnDropDownClosed();
        m_pOwner = nullptr;
        ::DestroyWindow(hwnd);  // deletes this
        if (owner) {
            AnnounceClosed(owner);
            owner->SelectItem(index, true, true);
        }
    }

    void AnnounceHot()
    {
        CPaintManagerUI* pm = m_pOwner ? m_pOwner->GetManager() : nullptr;
        CControlUI* item = m_pOwner ? m_pOwner->GetItemAt(m_iHot) : nullptr;
        if (!pm || !item) return;
        pm->NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, item, m_hWnd);
        pm->NotifyAccessibleEvent(EVENT_OBJECT_SELECTION, item, m_hWnd);
    }

    // Collapsed, and the reader's focus back on the combo it never left.
    static void AnnounceClosed(CComboUI* combo)
    {
        CPaintManagerUI* pm = combo->GetManager();
        if (!pm) return;
        pm->NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE, combo);
        if (pm->GetFocus() == combo) pm->NotifyAccessibleEvent(EVENT_OBJECT_FOCUS, combo);
    }

    void Paint()
    {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m_hWnd, &ps);
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        ScopedBitmap bmp(
            ::CreateCompatibleBitmap(hdc, std::max(1, RectWidth(client)), std::max(1, RectHeight(client))));
        ScopedCreatedDC memDC(::CreateCompatibleDC(hdc));
        HDC mem = memDC.get();
        ScopedSelectObject select(mem, bmp.get());
        if (m_pOwner) {
            CComboUI* o = m_pOwner;
            const bool hc = CColorScheme::IsHighContrast();
            CRenderEngine::DrawColor(mem, client,
                                     CColorScheme::Pick(UIColorRole::WindowBk, o->m_dwDropBkColor));
            CPaintManagerUI* pm = o->GetManager();
            int pad = pm ? pm->ScaleValue(10) : 10;
            for (int i = m_iTop; i < o->GetCount(); ++i) {
                RECT rc;
                if (!GetItemRect(i, rc)) break;
                DWORD color =
                    o->m_dwTextColor ? o->m_dwTextColor : (pm ? pm->GetDefaultTextColor() : 0xFF000000);
                if (hc)
                    color = CColorScheme::SystemColor(i == m_iHot ? UIColorRole::SelectedText
                                                                  : UIColorRole::Text);
                if (i == m_iHot) {
                    CRenderEngine::DrawColor(
                        mem, rc, CColorScheme::Pick(UIColorRole::SelectedBk, o->m_dwItemHotBkColor));
                } else if (i == o->GetCurSel()) {
                    // In high contrast the chosen item is outlined: the fill marks the cursor.
                    if (hc)
                        CRenderEngine::DrawBorder(mem, rc, 1, 0, 0,
                                                  CColorScheme::SystemColor(UIColorRole::SelectedBk));
                    else
                        CRenderEngine::DrawColor(mem, rc, o->m_dwItemSelectedBkColor);
                }
                RECT text = {rc.left + pad, rc.top, rc.right - pad, rc.bottom};
                CControlUI* item = o->GetItemAt(i);
                CRenderEngine::DrawText(mem, pm, text, item->GetText(), color, o->m_iFont,
                                        DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
            }
            CRenderEngine::DrawBorder(mem, client, 1, 0, 0,
                                      CColorScheme::Pick(UIColorRole::Border, o->m_dwDropBorderColor));
        }
        ::BitBlt(hdc, 0, 0, RectWidth(client), RectHeight(client), mem, 0, 0, SRCCOPY);
        ::EndPaint(m_hWnd, &ps);
    }

    CComboUI* m_pOwner;
    int m_iHot = -1;
    int m_iTop = 0;
};

// ---- CComboItemUI ---------------------------------------------------------------

std::wstring CComboItemUI::GetClass() const
{
    return L"ComboItemUI";
}

void* CComboItemUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CLabelUI::GetInterface(name);
}

// ---- CComboUI ---------------------------------------------------------------------

CComboUI::CComboUI()
{
    m_dwBkColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFC8C8C8;
    m_nBorderSize = 1;
}

CComboUI::~CComboUI()
{
    CloseDropDown();
}

std::wstring CComboUI::GetClass() const
{
    return L"ComboUI";
}

void* CComboUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CContainerUI::GetInterface(name);
}

HWND CComboUI::GetDropDownWindow() const
{
    return m_pWindow ? m_pWindow->GetHWND() : nullptr;
}

void CComboUI::CloseDropDown()
{
    if (!m_pWindow) return;
    CComboWnd* wnd = m_pWindow;
    m_pWindow = nullptr;
    wnd->Detach();
    HWND hwnd = wnd->GetHWND();
    if (hwnd) ::DestroyWindow(hwnd);  // the window deletes its object
}

bool CComboUI::SelectItem(int index, bool takeFocus, bool triggerEvent)
{
    if (index < -1 || index >= GetCount()) return false;
    if (takeFocus) SetFocus();
    if (index == m_iCurSel) return true;
    int old = m_iCurSel;
    m_iCurSel = index;
    Invalidate();
    if (m_pManager) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_VALUECHANGE, this);
    // Selecting nothing is never announced: there is no item to report.
    if (triggerEvent && index >= 0 && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(index),
                               static_cast<LPARAM>(old));
    return true;
}

std::wstring CComboUI::GetText() const
{
    CControlUI* item = GetItemAt(m_iCurSel);
    return item ? item->GetText() : std::wstring();
}

bool CComboUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pWindow) {
        CloseDropDown();
        return true;
    }
    auto* wnd = new CComboWnd(this);
    m_pWindow = wnd;
    if (!wnd->Open()) {
        m_pWindow = nullptr;
        // A window that never came up never reached its final message.
        if (!wnd->GetHWND()) delete wnd;
        return false;
    }
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
    Invalidate();
    return true;
}

bool CComboUI::Remove(CControlUI* control)
{
    int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index);
}

bool CComboUI::RemoveAt(int index)
{
    CloseDropDown();
    if (!CContainerUI::RemoveAt(index)) return false;
    if (index == m_iCurSel)
        m_iCurSel = -1;
    else if (index < m_iCurSel)
        --m_iCurSel;
    return true;
}

void CComboUI::RemoveAll()
{
    CloseDropDown();
    CContainerUI::RemoveAll();
    m_iCurSel = -1;
}

void CComboUI::SetPos(RECT rc)
{
    // Items live in the drop-down list, never inside the combo's rectangle.
    CControlUI::SetPos(rc);
}

bool CComboUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_iCurSel >= index)
        ++m_iCurSel;
    else if (m_iCurSel < 0 && index == m_iInitialSel)
        m_iCurSel = index;
    return true;
}

bool CComboUI::GetDropDownItemRect(int index, RECT& rc) const
{
    return m_pWindow && m_pWindow->GetItemRect(index, rc);
}

int CComboUI::GetDropDownHotIndex() const
{
    return m_pWindow ? m_pWindow->HotIndex() : -1;
}

CControlUI* CComboUI::FindControlAt(POINT pt)
{
    return CControlUI::FindControlAt(pt);
}

void CComboUI::DoPaint(HDC hDC, const RECT& rcPaint)
{
    if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return;
    CControlUI::PaintBkColor(hDC);
    CControlUI::PaintBkImage(hDC);
    const std::wstring* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.empty())
        image = &m_sDisabledImage;
    else if (m_pWindow && !m_sPushedImage.empty())
        image = &m_sPushedImage;
    else if ((m_uButtonState & UISTATE_HOT) && !m_sHotImage.empty())
        image = &m_sHotImage;
    bool imageDrawn = !image->empty() && DrawImage(hDC, *image);

    RECT pad = ScaleRect(m_rcTextPadding);
    RECT text = {m_rcItem.left + pad.left, m_rcItem.top + pad.top, m_rcItem.right - pad.right,
                 m_rcItem.bottom - pad.bottom};
    DWORD color =
        m_dwTextColor ? m_dwTextColor : (m_pManager ? m_pManager->GetDefaultTextColor() : 0xFF000000);
    if (!IsEnabled()) color = m_pManager ? m_pManager->GetDefaultDisabledColor() : 0xFFA0A0A0;
    DWORD arrow = m_dwArrowColor;
    const bool hc = CColorScheme::IsHighContrast();
    if (hc)
        arrow = color =
            CColorScheme::SystemColor(IsEnabled() ? UIColorRole::Text : UIColorRole::DisabledText);
    CRenderEngine::DrawText(hDC, m_pManager, text, GetText(), color, m_iFont,
                            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    if (!imageDrawn) {
        // A chevron, so an image-less skin still reads as a drop-down.
        int cx = m_rcItem.right - Scale(14);
        int cy = (m_rcItem.top + m_rcItem.bottom) / 2;
        int w = Scale(4);
        CRenderEngine::DrawLine(hDC, {cx - w, cy - w / 2}, {cx, cy + w / 2}, std::max(1, Scale(1)), arrow);
        CRenderEngine::DrawLine(hDC, {cx, cy + w / 2}, {cx + w, cy - w / 2}, std::max(1, Scale(1)), arrow);
    }
    const bool active = (m_uButtonState & UISTATE_HOT) || m_pWindow || m_bFocused;
    if (hc) {
        // Hot, open or focused: a thicker outline in the hot colour.
        if (m_nBorderSize > 0 || active)
            CRenderEngine::DrawBorder(
                hDC, m_rcItem, std::max(1, Scale(active && IsEnabled() ? 2 : 1)), Scale(m_cxyBorderRound.cx),
                Scale(m_cxyBorderRound.cy),
                CColorScheme::SystemColor(active && IsEnabled() ? UIColorRole::Hot : UIColorRole::Border));
        return;
    }
    DWORD saved = m_dwBorderColor;
    if (active && m_dwHotBorderColor) m_dwBorderColor = m_dwHotBorderColor;
    PaintBorder(hDC);
    m_dwBorderColor = saved;
}

void CComboUI::DoEvent(TEventUI& event)
{
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
            if (IsEnabled()) Activate();
            return;
        case UIEVENT_BUTTONUP:
        case UIEVENT_MOUSEMOVE:
        case UIEVENT_DBLCLICK:
            return;
        case UIEVENT_MOUSEENTER:
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_KILLFOCUS:
            CloseDropDown();
            break;
        case UIEVENT_KEYDOWN:
            if (!IsEnabled()) break;
            if (m_pWindow) {
                m_pWindow->HandleKey(event.chKey);
                return;
            }
            if (event.chKey == VK_UP && m_iCurSel > 0) {
                SelectItem(m_iCurSel - 1, false, true);
                return;
            }
            if (event.chKey == VK_DOWN && m_iCurSel + 1 < GetCount()) {
                SelectItem(m_iCurSel + 1, false, true);
                return;
            }
            if (event.chKey == VK_F4 || event.chKey == VK_SPACE) {
                Activate();
                return;
            }
            break;
        default:
            break;
    }
    CContainerUI::DoEvent(event);
}

void CComboUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    DWORD c = 0;
    int v = 0;
    if (name == L"font") {
        if (ParseInt(value, v)) m_iFont = v;
    } else if (name == L"textcolor" || name == L"itemtextcolor") {
        if (ParseColor(value, c)) m_dwTextColor = c;
    } else if (name == L"textpadding")
        m_rcTextPadding = ParseRect(value);
    else if (name == L"normalimage")
        m_sNormalImage = value;
    else if (name == L"hotimage")
        m_sHotImage = value;
    else if (name == L"pushedimage")
        m_sPushedImage = value;
    else if (name == L"disabledimage")
        m_sDisabledImage = value;
    else if (name == L"hotbordercolor") {
        if (ParseColor(value, c)) m_dwHotBorderColor = c;
    } else if (name == L"arrowcolor") {
        if (ParseColor(value, c)) m_dwArrowColor = c;
    } else if (name == L"itemheight") {
        if (ParseInt(value, v) && v > 0) m_iItemHeight = v;
    } else if (name == L"dropboxsize")
        m_szDropBox = ParseSize(value);
    else if (name == L"itemhotbkcolor") {
        if (ParseColor(value, c)) m_dwItemHotBkColor = c;
    } else if (name == L"itemselectedbkcolor") {
        if (ParseColor(value, c)) m_dwItemSelectedBkColor = c;
    } else if (name == L"dropbkcolor") {
        if (ParseColor(value, c)) m_dwDropBkColor = c;
    } else if (name == L"dropbordercolor") {
        if (ParseColor(value, c)) m_dwDropBorderColor = c;
    } else if (name == L"selectedid") {
        if (ParseInt(value, v)) {
            m_iInitialSel = v;
            if (v >= 0 && v < GetCount()) m_iCurSel = v;
        }
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
