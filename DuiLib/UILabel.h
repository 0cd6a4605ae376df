// Text controls: the label (one font, alignment, optional inline markup) and
// the text control (a label whose lines wrap).
#pragma once

#include "DuiLib/UIColorScheme.h"
#include "DuiLib/UIControl.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
public:
    static constexpr const wchar_t* kInterface = L"Label";

    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    int GetFont() const { return m_iFont; }
    void SetFont(int font);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD argb);
    DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
    void SetDisabledTextColor(DWORD argb);
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    const RECT& GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(RECT rc);
    bool IsShowHtml() const { return m_bShowHtml; }
    void SetShowHtml(bool showHtml);

    void PaintText(HDC hDC) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    // The skin's colour for the text in the current state.
    virtual DWORD GetStateTextColor() const;
    // What the text is in high contrast, for the current state.
    virtual UIColorRole GetTextRole() const;
    // The colour text is drawn in: the skin's, or the role's in high contrast.
    DWORD GetPaintTextColor() const;
    // Whether a selected item painted before this label lies under all of it
    // (a row's text over the option that takes the row's clicks).
    bool IsOverSelectedItem() const;
    // The text as painted (edits in password mode paint dots instead).
    virtual std::wstring GetPaintText() const { return m_sText; }
    RECT GetTextRect() const;

    int m_iFont = -1;
    DWORD m_dwTextColor = 0;
    DWORD m_dwDisabledTextColor = 0;
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_LEFT;
    RECT m_rcTextPadding = {0, 0, 0, 0};
    bool m_bShowHtml = false;
};

class CTextUI : public CLabelUI {
public:
    static constexpr const wchar_t* kInterface = L"Text";

    CTextUI();
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;
};

}  // namespace DuiLib
