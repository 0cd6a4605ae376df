// The combo box: shows the selected item's text and opens a drop-down list
// window under itself. Items are controls (normally CComboItemUI) with a text
// and a user data text. Selecting from code can be silent; a choice of the
// user always sends "itemselect".
#pragma once

#include "DuiLib/UIContainer.h"
#include "DuiLib/UILabel.h"

namespace DuiLib {

class CComboWnd;

class CComboItemUI : public CLabelUI {
public:
    static constexpr const wchar_t* kInterface = L"ComboItem";
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;
};

class CComboUI : public CContainerUI {
public:
    static constexpr const wchar_t* kInterface = L"Combo";

    CComboUI();
    ~CComboUI() override;
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    // Items (the container's children).
    int GetCurSel() const { return m_iCurSel; }
    // Selects item `index`, or none with -1 (silently). With `triggerEvent`
    // selecting an item that was not selected sends "itemselect" at once
    // (wParam new index, lParam old index); the focus moves to the combo only
    // with `takeFocus`. False for an index out of range.
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = false);
    std::wstring GetText() const override;

    bool Activate() override;  // opens the drop-down list
    bool IsDropDownOpen() const { return m_pWindow != nullptr; }
    HWND GetDropDownWindow() const;
    void CloseDropDown();
    bool IsTabStop() const override { return m_bKeyboardEnabled; }

    int GetItemHeight() const { return m_iItemHeight; }
    SIZE GetDropBoxSize() const { return m_szDropBox; }

    // Where item `index` is drawn in the open drop-down list (its client
    // coordinates); false when the list is closed or the item scrolled away.
    bool GetDropDownItemRect(int index, RECT& rc) const;
    // The item the open list's cursor is on (what Enter would choose); -1
    // when the list is closed.
    int GetDropDownHotIndex() const;

    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    void SetPos(RECT rc) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void DoEvent(TEventUI& event) override;
    CControlUI* FindControlAt(POINT pt) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

private:
    friend class CComboWnd;
    void OnDropDownClosed() { m_pWindow = nullptr; }

    int m_iCurSel = -1;
    int m_iInitialSel = -1;
    CComboWnd* m_pWindow = nullptr;
    int m_iFont = -1;
    DWORD m_dwTextColor = 0;
    RECT m_rcTextPadding = {8, 0, 24, 0};
    std::wstring m_sNormalImage;
    std::wstring m_sHotImage;
    std::wstring m_sPushedImage;
    std::wstring m_sDisabledImage;
    DWORD m_dwHotBorderColor = 0;
    DWORD m_dwArrowColor = 0xFF606060;
    int m_iItemHeight = 30;
    SIZE m_szDropBox = {0, 0};
    DWORD m_dwItemHotBkColor = 0xFFE8F0FE;
    DWORD m_dwItemSelectedBkColor = 0xFFD2E3FC;
    DWORD m_dwDropBkColor = 0xFFFFFFFF;
    DWORD m_dwDropBorderColor = 0xFFC8C8C8;
};

}  // namespace DuiLib
