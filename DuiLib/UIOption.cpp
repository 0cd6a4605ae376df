// Option control; see UIOption.h.
#include "DuiLib/UIOption.h"

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

COptionUI::COptionUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_LEFT; }

COptionUI::~COptionUI()
{
    if (m_pManager && !m_sGroup.empty()) m_pManager->RemoveOptionGroup(m_sGroup, this);
}

std::wstring COptionUI::GetClass() const { return L"OptionUI"; }

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
    if (selected) m_uButtonState |= UISTATE_SELECTED;
    else m_uButtonState &= ~UISTATE_SELECTED;
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
    if (triggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate()
{
    std::shared_ptr<bool> alive = m_pManager ? m_pManager->GetAliveToken() : nullptr;
    if (!CButtonUI::Activate()) return false;  // sends "click"
    // A "click" handler may have closed the whole window.
    if (alive && !*alive) return true;
    if (!m_sGroup.empty()) Selected(true);
    else Selected(!m_bSelected);
    return true;
}

DWORD COptionUI::GetStateTextColor() const
{
    if (IsEnabled() && m_bSelected && m_dwSelectedTextColor) return m_dwSelectedTextColor;
    return CButtonUI::GetStateTextColor();
}

void COptionUI::PaintBkColor(HDC hDC)
{
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
        if ((m_uButtonState & UISTATE_HOT) && !m_sSelectedHotImage.empty() && DrawImage(hDC, m_sSelectedHotImage))
            return;
        if (!m_sSelectedImage.empty() && DrawImage(hDC, m_sSelectedImage)) return;
    }
    CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    DWORD c = 0;
    if (name == L"group") SetGroup(value);
    else if (name == L"selected") Selected(ParseBool(value), false);
    else if (name == L"selectedimage") m_sSelectedImage = value;
    else if (name == L"selectedhotimage") m_sSelectedHotImage = value;
    else if (name == L"selectedtextcolor") {
        if (ParseColor(value, c)) m_dwSelectedTextColor = c;
    } else if (name == L"selectedbkcolor") {
        if (ParseColor(value, c)) m_dwSelectedBkColor = c;
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

}  // namespace DuiLib
