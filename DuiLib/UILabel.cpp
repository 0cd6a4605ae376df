// Label and text controls; see UILabel.h.
#include "DuiLib/UILabel.h"

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

std::wstring CLabelUI::GetClass() const
{
    return L"LabelUI";
}

void* CLabelUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetFont(int font)
{
    m_iFont = font;
    Invalidate();
}

void CLabelUI::SetTextColor(DWORD argb)
{
    m_dwTextColor = argb;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD argb)
{
    m_dwDisabledTextColor = argb;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CLabelUI::SetShowHtml(bool showHtml)
{
    m_bShowHtml = showHtml;
    Invalidate();
}

DWORD CLabelUI::GetStateTextColor() const
{
    if (!IsEnabled()) {
        if (m_dwDisabledTextColor) return m_dwDisabledTextColor;
        return m_pManager ? m_pManager->GetDefaultDisabledColor() : 0xFFA0A0A0;
    }
    if (m_dwTextColor) return m_dwTextColor;
    return m_pManager ? m_pManager->GetDefaultTextColor() : 0xFF000000;
}

UIColorRole CLabelUI::GetTextRole() const
{
    if (!IsEnabled()) return UIColorRole::DisabledText;
    return IsOverSelectedItem() ? UIColorRole::SelectedText : UIColorRole::Text;
}

DWORD CLabelUI::GetPaintTextColor() const
{
    return CColorScheme::IsHighContrast() ? CColorScheme::SystemColor(GetTextRole()) : GetStateTextColor();
}

bool CLabelUI::IsOverSelectedItem() const
{
    auto* parent = ControlCast<CContainerUI>(m_pParent);
    if (!parent) return false;
    for (int i = 0; i < parent->GetCount(); ++i) {
        CControlUI* sibling = parent->GetItemAt(i);
        // Only what is painted before this label lies under it.
        if (sibling == this) return false;
        auto* option = ControlCast<COptionUI>(sibling);
        if (!option || !option->IsVisible() || !option->PaintsSelection()) continue;
        RECT common;
        if (::IntersectRect(&common, &option->GetPos(), &m_rcItem) && ::EqualRect(&common, &m_rcItem))
            return true;
    }
    return false;
}

RECT CLabelUI::GetTextRect() const
{
    RECT pad = ScaleRect(m_rcTextPadding);
    return {m_rcItem.left + pad.left, m_rcItem.top + pad.top, m_rcItem.right - pad.right,
            m_rcItem.bottom - pad.bottom};
}

void CLabelUI::PaintText(HDC hDC)
{
    std::wstring text = GetPaintText();
    if (text.empty()) return;
    RECT rc = GetTextRect();
    if (m_bShowHtml) {
        CRenderEngine::DrawHtmlText(hDC, m_pManager, rc, text, GetPaintTextColor(), m_iFont, m_uTextStyle);
    } else {
        CRenderEngine::DrawText(hDC, m_pManager, rc, text, GetPaintTextColor(), m_iFont, m_uTextStyle);
    }
}

void CLabelUI::SetAttribute(const std::wstring& name, const std::wstring& value)
{
    if (name == L"font") {
        int v = -1;
        if (ParseInt(value, v)) SetFont(v);
    } else if (name == L"textcolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) SetTextColor(c);
    } else if (name == L"disabledtextcolor") {
        DWORD c = 0;
        if (ParseColor(value, c)) SetDisabledTextColor(c);
    } else if (name == L"textpadding") {
        SetTextPadding(ParseRect(value));
    } else if (name == L"showhtml") {
        SetShowHtml(ParseBool(value));
    } else if (name == L"align") {
        UINT style = m_uTextStyle & ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (value.find(L"center") != std::wstring::npos)
            style |= DT_CENTER;
        else if (value.find(L"right") != std::wstring::npos)
            style |= DT_RIGHT;
        else
            style |= DT_LEFT;
        SetTextStyle(style);
    } else if (name == L"valign") {
        UINT style = m_uTextStyle & ~(DT_TOP | DT_VCENTER | DT_BOTTOM);
        if (value.find(L"top") != std::wstring::npos)
            style |= DT_TOP;
        else if (value.find(L"bottom") != std::wstring::npos)
            style |= DT_BOTTOM;
        else
            style |= DT_VCENTER;
        SetTextStyle(style);
    } else if (name == L"endellipsis") {
        SetTextStyle(ParseBool(value) ? (m_uTextStyle | DT_END_ELLIPSIS) : (m_uTextStyle & ~DT_END_ELLIPSIS));
    } else if (name == L"multiline" || name == L"wordbreak") {
        if (ParseBool(value))
            SetTextStyle((m_uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK);
        else
            SetTextStyle((m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

CTextUI::CTextUI()
{
    m_uTextStyle = DT_WORDBREAK | DT_LEFT | DT_TOP;
}

std::wstring CTextUI::GetClass() const
{
    return L"TextUI";
}

void* CTextUI::GetInterface(const std::wstring& name)
{
    if (name == kInterface) return this;
    return CLabelUI::GetInterface(name);
}

}  // namespace DuiLib
