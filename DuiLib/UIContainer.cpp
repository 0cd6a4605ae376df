// Containers and layouts; see UIContainer.h.
#include "DuiLib/UIContainer.h"

#include <algorithm>

#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

// ---- CContainerUI -----------------------------------------------------------

CContainerUI::~CContainerUI()
{
    for (CControlUI* c : m_items) delete c;
    m_items.clear();
}

std::wstring CContainerUI::GetClass() const
{
    return L"ContainerUI";
}

void* CContainerUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const
{
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const
{
    auto it = std::find(m_items.begin(), m_items.end(), control);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index)
{
    if (!control || index < 0 || index > GetCount() || GetItemIndex(control) >= 0) return false;
    m_items.insert(m_items.begin() + index, control);
    control->SetManager(m_pManager, this, m_pManager != nullptr);
    control->SetInternVisible(IsVisible());
    NeedUpdate();
    if (m_pManager) m_pManager->NoteChildrenChanged(this);
    return true;
}

void CContainerUI::DestroyItem(CControlUI* control)
{
    if (m_pManager) {
        m_pManager->DestroyControlLater(control);
    } else {
        delete control;
    }
}

bool CContainerUI::Remove(CControlUI* control)
{
    int index = GetItemIndex(control);
    if (index < 0) return false;
    return RemoveAt(index);
}

bool CContainerUI::RemoveAt(int index)
{
    CControlUI* control = GetItemAt(index);
    if (!control) return false;
    m_items.erase(m_items.begin() + index);
    DestroyItem(control);
    NeedUpdate();
    if (m_pManager) m_pManager->NoteChildrenChanged(this);
    return true;
}

void CContainerUI::RemoveAll()
{
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* c : items) DestroyItem(c);
    NeedUpdate();
    if (m_pManager && !items.empty()) m_pManager->NoteChildrenChanged(this);
}

void CContainerUI::SetInset(RECT rc)
{
    m_rcInset = rc;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding)
{
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    CControlUI::SetManager(manager, parent, init);
    for (CControlUI* c : m_items) c->SetManager(manager, this, init);
}

void CContainerUI::SetVisible(bool visible)
{
    CControlUI::SetVisible(visible);
    for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible)
{
    CControlUI::SetInternVisible(visible);
    for (CControlUI* c : m_items) c->SetInternVisible(IsVisible());
}

RECT CContainerUI::GetInnerRect() const
{
    RECT inset = ScaleRect(m_rcInset);
    RECT rc = {m_rcItem.left + inset.left, m_rcItem.top + inset.top, m_rcItem.right - inset.right,
               m_rcItem.bottom - inset.bottom};
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

void CContainerUI::SetFloatPos(CControlUI* child, const RECT& inner)
{
    RECT f = child->ScaleRect(child->GetFloatPos());
    child->SetPos({inner.left + f.left, inner.top + f.top, inner.left + f.right, inner.top + f.bottom});
}

void CContainerUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = GetInnerRect();
    for (CControlUI* c : m_items) {
        if (!c->IsOwnVisible()) continue;
        if (c->IsFloat()) {
            SetFloatPos(c, inner);
            continue;
        }
        RECT pad = c->GetScaledPadding();
        RECT child = {inner.left + pad.left, inner.top + pad.top, inner.right - pad.right,
                      inner.bottom - pad.bottom};
        int cx = c->GetScaledFixedWidth();
        int cy = c->GetScaledFixedHeight();
        if (cx > 0) child.right = std::min<LONG>(child.right, child.left + cx);
        if (cy > 0) child.bottom = std::min<LONG>(child.bottom, child.top + cy);
        c->SetPos(child);
    }
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint)
{
    RECT rcTemp;
    if (!::IntersectRect(&rcTemp, &rcPaint, &m_rcItem)) return;
    CControlUI::DoPaint(hDC, rcPaint);
    int saved = SaveDC(hDC);
    IntersectClipRect(hDC, m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom);
    for (CControlUI* c : m_items) {
        if (!c->IsVisible()) continue;
        RECT rcChild;
        if (!::IntersectRect(&rcChild, &rcTemp, &c->GetPos())) continue;
        c->DoPaint(hDC, rcTemp);
    }
    RestoreDC(hDC, saved);
}

CControlUI* CContainerUI::FindControl(const std::function<bool(CControlUI*)>& match, UINT flags)
{
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if (match(this)) return this;
    for (CControlUI* c : m_items) {
        if (CControlUI* found = c->FindControl(match, flags)) return found;
    }
    return nullptr;
}

CControlUI* CContainerUI::FindControlAt(POINT pt)
{
    if (!IsVisible() || !PtInRect(&m_rcItem, pt)) return nullptr;
    if (m_bMouseChildEnabled) {
        // Later children are painted over earlier ones, so they win.
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
            if (CControlUI* found = (*it)->FindControlAt(pt)) return found;
        }
    }
    return m_bMouseEnabled ? this : nullptr;
}

void CContainerUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"inset")
        SetInset(ParseRect(value));
    else if (name == L"childpadding") {
        int v = 0;
        if (ParseInt(value, v)) SetChildPadding(v);
    } else if (name == L"mousechild")
        SetMouseChildEnabled(ParseBool(value));
    else
        CControlUI::SetAttribute(name, value);
}

// ---- Stacking layouts -----------------------------------------------------------

namespace {

// Lays children along one axis: fixed sizes are kept, the others share what
// is left equally (the last one takes the rounding remainder).
// Room the fixed-size children, their padding and the gaps need.
int FixedExtentVertical(const std::vector<CControlUI*>& items, int childPadding)
{
    int total = 0;
    int visible = 0;
    for (CControlUI* c : items) {
        if (!c->IsOwnVisible() || c->IsFloat()) continue;
        RECT pad = c->GetScaledPadding();
        total += std::max(0, c->GetScaledFixedHeight()) + pad.top + pad.bottom;
        ++visible;
    }
    if (visible > 1) total += childPadding * (visible - 1);
    return total;
}

template <bool Vertical>
void StackChildren(const std::vector<CControlUI*>& items, const RECT& inner, int childPadding,
                   const std::function<void(CControlUI*)>& placeFloat)
{
    const int available = Vertical ? RectHeight(inner) : RectWidth(inner);
    int fixedTotal = 0;
    int stretchCount = 0;
    int visibleCount = 0;
    for (CControlUI* c : items) {
        if (!c->IsOwnVisible() || c->IsFloat()) continue;
        RECT pad = c->GetScaledPadding();
        int size = Vertical ? c->GetScaledFixedHeight() : c->GetScaledFixedWidth();
        if (size > 0)
            fixedTotal += size;
        else
            ++stretchCount;
        fixedTotal += Vertical ? pad.top + pad.bottom : pad.left + pad.right;
        ++visibleCount;
    }
    if (visibleCount > 1) fixedTotal += childPadding * (visibleCount - 1);
    int remain = std::max(0, available - fixedTotal);
    int share = stretchCount > 0 ? remain / stretchCount : 0;
    int leftover = stretchCount > 0 ? remain - share * stretchCount : 0;
    int stretchSeen = 0;
    int cursor = Vertical ? inner.top : inner.left;
    for (CControlUI* c : items) {
        if (!c->IsOwnVisible()) continue;
        if (c->IsFloat()) {
            placeFloat(c);
            continue;
        }
        RECT pad = c->GetScaledPadding();
        int size = Vertical ? c->GetScaledFixedHeight() : c->GetScaledFixedWidth();
        if (size <= 0) {
            ++stretchSeen;
            size = share + (stretchSeen == stretchCount ? leftover : 0);
        }
        RECT rc;
        if (Vertical) {
            int cross = c->GetScaledFixedWidth();
            int width = cross > 0 ? cross : RectWidth(inner) - pad.left - pad.right;
            rc.left = inner.left + pad.left;
            rc.right = rc.left + std::max(0, width);
            rc.top = cursor + pad.top;
            rc.bottom = rc.top + size;
            cursor = rc.bottom + pad.bottom + childPadding;
        } else {
            int cross = c->GetScaledFixedHeight();
            int height = cross > 0 ? cross : RectHeight(inner) - pad.top - pad.bottom;
            rc.top = inner.top + pad.top;
            rc.bottom = rc.top + std::max(0, height);
            rc.left = cursor + pad.left;
            rc.right = rc.left + size;
            cursor = rc.right + pad.right + childPadding;
        }
        c->SetPos(rc);
    }
}

}  // namespace

std::wstring CVerticalLayoutUI::GetClass() const
{
    return L"VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = GetInnerRect();
    RECT content = inner;
    m_iScrollRange = 0;
    if (m_bVScroll) {
        int needed = FixedExtentVertical(m_items, Scale(m_iChildPadding));
        m_iScrollRange = std::max(0, needed - RectHeight(inner));
        m_iScrollPos = std::max(0, std::min(m_iScrollPos, m_iScrollRange));
        if (m_iScrollRange > 0) {
            content.top = inner.top - m_iScrollPos;
            content.bottom = content.top + needed;
        }
    } else {
        m_iScrollPos = 0;
    }
    StackChildren<true>(m_items, content, Scale(m_iChildPadding),
                        [&](CControlUI* c) { SetFloatPos(c, inner); });
}

void CVerticalLayoutUI::SetScrollPos(int pos)
{
    pos = std::max(0, std::min(pos, m_iScrollRange));
    if (pos == m_iScrollPos) return;
    m_iScrollPos = pos;
    NeedUpdate();
}

void CVerticalLayoutUI::EnsureVisible(CControlUI* descendant)
{
    if (!descendant || m_iScrollRange <= 0) return;
    const RECT inner = GetInnerRect();
    const RECT& rc = descendant->GetPos();
    if (rc.top < inner.top)
        SetScrollPos(m_iScrollPos - (inner.top - rc.top));
    else if (rc.bottom > inner.bottom)
        SetScrollPos(m_iScrollPos + std::min(rc.bottom - inner.bottom, rc.top - inner.top));
}

void CVerticalLayoutUI::DoPaint(HDC hDC, const RECT& rcPaint)
{
    CContainerUI::DoPaint(hDC, rcPaint);
    if (m_iScrollRange <= 0) return;
    // A slim thumb shows there is more than fits.
    RECT inner = GetInnerRect();
    int avail = RectHeight(inner);
    int total = avail + m_iScrollRange;
    int thumb = std::max(Scale(16), avail * avail / std::max(1, total));
    int top = inner.top + (avail - thumb) * m_iScrollPos / m_iScrollRange;
    RECT bar = {m_rcItem.right - Scale(6), top, m_rcItem.right - Scale(2), top + thumb};
    CRenderEngine::DrawRoundColor(hDC, bar, Scale(4), Scale(4),
                                  CColorScheme::Pick(UIColorRole::Border, 0x60000000));
}

void CVerticalLayoutUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_SCROLLWHEEL && m_iScrollRange > 0) {
        int delta = static_cast<short>(HIWORD(event.wParam));
        SetScrollPos(m_iScrollPos - delta * Scale(40) / WHEEL_DELTA);
        return;
    }
    CContainerUI::DoEvent(event);
}

void CVerticalLayoutUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"vscrollbar") {
        m_bVScroll = ParseBool(value);
        NeedUpdate();
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

std::wstring CHorizontalLayoutUI::GetClass() const
{
    return L"HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = GetInnerRect();
    StackChildren<false>(m_items, inner, Scale(m_iChildPadding),
                         [&](CControlUI* c) { SetFloatPos(c, inner); });
}

// ---- CTabLayoutUI ---------------------------------------------------------------------

std::wstring CTabLayoutUI::GetClass() const
{
    return L"TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CContainerUI::GetInterface(name);
}

void CTabLayoutUI::ShowOnly(int index)
{
    for (int i = 0; i < GetCount(); ++i) m_items[static_cast<size_t>(i)]->SetVisible(i == index);
}

bool CTabLayoutUI::Add(CControlUI* control)
{
    return AddAt(control, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index)
{
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_iCurSel >= index && m_iCurSel >= 0 && GetCount() > 1) ++m_iCurSel;
    if (m_iCurSel < 0 && index == m_iInitialSel) m_iCurSel = index;
    ShowOnly(m_iCurSel);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control)
{
    int index = GetItemIndex(control);
    return index >= 0 && RemoveAt(index);
}

bool CTabLayoutUI::RemoveAt(int index)
{
    if (!CContainerUI::RemoveAt(index)) return false;
    if (GetCount() == 0) {
        m_iCurSel = -1;
    } else if (index < m_iCurSel || m_iCurSel >= GetCount()) {
        m_iCurSel = std::max(0, m_iCurSel - 1);
    }
    ShowOnly(m_iCurSel);
    return true;
}

void CTabLayoutUI::RemoveAll()
{
    CContainerUI::RemoveAll();
    m_iCurSel = -1;
}

bool CTabLayoutUI::SelectItem(int index)
{
    if (index < 0 || index >= GetCount()) return false;
    if (index == m_iCurSel && m_items[static_cast<size_t>(index)]->IsOwnVisible()) return true;
    m_iCurSel = index;
    ShowOnly(index);
    NeedUpdate();
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control)
{
    return SelectItem(GetItemIndex(control));
}

void CTabLayoutUI::SetPos(RECT rc)
{
    CControlUI::SetPos(rc);
    RECT inner = GetInnerRect();
    CControlUI* page = GetItemAt(m_iCurSel);
    if (!page || !page->IsOwnVisible()) return;
    RECT pad = page->GetScaledPadding();
    page->SetPos(
        {inner.left + pad.left, inner.top + pad.top, inner.right - pad.right, inner.bottom - pad.bottom});
}

void CTabLayoutUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"selectedid") {
        int v = 0;
        if (ParseInt(value, v) && v >= 0) {
            m_iInitialSel = v;
            SelectItem(v);  // pages added later pick it up when they arrive
        }
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
