// Option control; see UIOption.h.
#include "DuiLib/UIOption.h"

#include <algorithm>

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

COptionUI::COptionUI()
{
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT;
}

COptionUI::~COptionUI()
{
    if (m_pManager && !m_sGroup.empty()) m_pManager->RemoveOptionGroup(m_sGroup, this);
}

std::wstring COptionUI::GetClass() const
{
    return L"OptionUI";
}

void* COptionUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init)
{
    if (m_pManager != manager && !m_sGroup.empty()) {
        if (m_pManager) m_pManager->RemoveOptionGroup(m_sGroup, this);
        if (manager) manager->AddOptionGroup(m_sGroup, this);
    }
    CButtonUI::SetManager(manager, parent, init);
}

void COptionUI::SetGroup(const std::wstring& group)
{
    if (group == m_sGroup) return;
    if (m_pManager && !m_sGroup.empty()) m_pManager->RemoveOptionGroup(m_sGroup, this);
    m_sGroup = group;
    if (m_pManager && !m_sGroup.empty()) m_pManager->AddOptionGroup(m_sGroup, this);
}

void COptionUI::Selected(bool selected, bool triggerEvent)
{
    if (m_bSelected == selected) return;
    m_bSelected = selected;
    if (selected)
        m_uButtonState |= UISTATE_SELECTED;
    else
        m_uButtonState &= ~UISTATE_SELECTED;
    Invalidate();
    if (!m_pManager) return;
    if (selected && !m_sGroup.empty()) {
        // Copy: a handler of the notifications below may rebuild the group.
        const std::vector<COptionUI*>* members = m_pManager->GetOptionGroup(m_sGroup);
        std::vector<COptionUI*> others = members ? *members : std::vector<COptionUI*>();
        for (COptionUI* other : others) {
            if (other != this && other->IsSelected()) other->Selected(false, triggerEvent);
        }
    }
    if (selected && !m_sGroup.empty()) m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_SELECTION, this);
    m_pManager->NotifyAccessibleEvent(EVENT_OBJECT_STATECHANGE, this);
    if (triggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate()
{
    std::shared_ptr<bool> alive = m_pManager ? m_pManager->GetAliveToken() : nullptr;
    if (!CButtonUI::Activate()) return false;  // sends "click"
    // A "click" handler may have closed the whole window.
    if (alive && !*alive) return true;
    if (!m_sGroup.empty())
        Selected(true);
    else
        Selected(!m_bSelected);
    return true;
}

DWORD COptionUI::GetStateTextColor() const
{
    if (IsEnabled() && m_bSelected && m_dwSelectedTextColor) return m_dwSelectedTextColor;
    return CButtonUI::GetStateTextColor();
}

UIColorRole COptionUI::GetTextRole() const
{
    if (PaintsSelection()) return UIColorRole::SelectedText;
    return CButtonUI::GetTextRole();
}

void COptionUI::PaintBkColor(HDC hDC)
{
    if (CColorScheme::IsHighContrast() && PaintsSelection()) {
        CRenderEngine::DrawRoundColor(hDC, m_rcItem, Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy),
                                      CColorScheme::SystemColor(UIColorRole::SelectedBk));
        return;
    }
    if (m_bSelected && m_dwSelectedBkColor && IsEnabled()) {
        CRenderEngine::DrawRoundColor(hDC, m_rcItem, Scale(m_cxyBorderRound.cx), Scale(m_cxyBorderRound.cy),
                                      m_dwSelectedBkColor);
        return;
    }
    CButtonUI::PaintBkColor(hDC);
}

void COptionUI::PaintStatusImage(HDC hDC)
{
    if (m_bSelected) {
        if ((m_uButtonState & UISTATE_HOT) && !m_sSelectedHotImage.empty() &&
            DrawImage(hDC, m_sSelectedHotImage))
            return;
        if (!m_sSelectedImage.empty() && DrawImage(hDC, m_sSelectedImage)) return;
    }
    CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::PaintText(HDC hDC)
{
    if (!m_bCheckBox) {
        CButtonUI::PaintText(hDC);
        return;
    }
    const int box = Scale(16);
    RECT rc = {m_rcItem.left + Scale(m_rcTextPadding.left), (m_rcItem.top + m_rcItem.bottom - box) / 2, 0, 0};
    rc.right = rc.left + box;
    rc.bottom = rc.top + box;
    const bool hc = CColorScheme::IsHighContrast();
    const bool hot = IsEnabled() && (m_uButtonState & UISTATE_HOT);
    DWORD accent = IsEnabled() ? CColorScheme::Pick(UIColorRole::SelectedBk, m_dwCheckColor)
                               : CColorScheme::Pick(UIColorRole::DisabledText, 0xFFB0B0B0);
    if (m_bSelected) {
        CRenderEngine::DrawRoundColor(hDC, rc, Scale(6), Scale(6), accent);
        // The tick, in three points proportional to the box.
        POINT a = {rc.left + box * 4 / 16, rc.top + box * 8 / 16};
        POINT b = {rc.left + box * 7 / 16, rc.top + box * 11 / 16};
        POINT c = {rc.left + box * 12 / 16, rc.top + box * 5 / 16};
        int pen = std::max(1, Scale(2));
        DWORD tick = IsEnabled() ? CColorScheme::Pick(UIColorRole::SelectedText, 0xFFFFFFFF)
                                 : CColorScheme::Pick(UIColorRole::WindowBk, 0xFFFFFFFF);
        CRenderEngine::DrawLine(hDC, a, b, pen, tick);
        CRenderEngine::DrawLine(hDC, b, c, pen, tick);
        // Hot must show on a checked box too when colours are the user's.
        if (hc && hot)
            CRenderEngine::DrawBorder(hDC, rc, std::max(1, Scale(1)), Scale(6), Scale(6),
                                      CColorScheme::SystemColor(UIColorRole::Hot));
    } else {
        CRenderEngine::DrawRoundColor(hDC, rc, Scale(6), Scale(6),
                                      CColorScheme::Pick(UIColorRole::WindowBk, 0xFFFFFFFF));
        DWORD outline = hot ? CColorScheme::Pick(UIColorRole::Hot, accent)
                            : (IsEnabled() ? CColorScheme::Pick(UIColorRole::Text, 0xFF8A8A8A)
                                           : CColorScheme::Pick(UIColorRole::DisabledText, 0xFF8A8A8A));
        CRenderEngine::DrawBorder(hDC, rc, std::max(1, Scale(1)), Scale(6), Scale(6), outline);
    }
    RECT text = GetTextRect();
    text.left = rc.right + Scale(8);
    std::wstring t = GetPaintText();
    if (t.empty()) return;
    if (m_bShowHtml)
        CRenderEngine::DrawHtmlText(hDC, m_pManager, text, t, GetPaintTextColor(), m_iFont, m_uTextStyle);
    else
        CRenderEngine::DrawText(hDC, m_pManager, text, t, GetPaintTextColor(), m_iFont, m_uTextStyle);
}

void COptionUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    DWORD c = 0;
    if (name == L"group")
        SetGroup(value);
    else if (name == L"selected")
        Selected(ParseBool(value), false);
    else if (name == L"selectedimage")
        m_sSelectedImage = value;
    else if (name == L"selectedhotimage")
        m_sSelectedHotImage = value;
    else if (name == L"selectedtextcolor") {
        if (ParseColor(value, c)) m_dwSelectedTextColor = c;
    } else if (name == L"selectedbkcolor") {
        if (ParseColor(value, c)) m_dwSelectedBkColor = c;
    } else if (name == L"checkbox") {
        m_bCheckBox = ParseBool(value);
    } else if (name == L"checkcolor") {
        if (ParseColor(value, c)) m_dwCheckColor = c;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
