// The option: a button with a selected state. Options that share a group
// name in one window behave as radio buttons (exactly one stays selected once
// one was chosen); without a group an option toggles like a check box.
#pragma once

#include "DuiLib/UIButton.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
public:
    static constexpr const wchar_t* kInterface = L"Option";

    COptionUI();
    ~COptionUI() override;
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    const std::wstring& GetGroup() const { return m_sGroup; }
    void SetGroup(const std::wstring& group);
    bool IsSelected() const { return m_bSelected; }
    // Changes the state; with `triggerEvent` a change sends "selectchanged"
    // at once (also to the options of the group that lose the selection).
    virtual void Selected(bool selected, bool triggerEvent = true);

    // Whether the option paints itself as a selected item (a check box
    // shows its state in the box instead).
    bool PaintsSelection() const { return m_bSelected && !m_bCheckBox && IsEnabled(); }

    bool Activate() override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    DWORD GetStateTextColor() const override;
    UIColorRole GetTextRole() const override;

    bool m_bSelected = false;
    std::wstring m_sGroup;
    std::wstring m_sSelectedImage;
    std::wstring m_sSelectedHotImage;
    DWORD m_dwSelectedTextColor = 0;
    DWORD m_dwSelectedBkColor = 0;
    // A check box drawn by the toolkit (sharp at any dpi, no images needed).
    bool m_bCheckBox = false;
    DWORD m_dwCheckColor = 0xFF2B6CE0;
};

}  // namespace DuiLib
