// The push button: a label with per-state images and colours that sends
// "click" when the mouse is released over it (or Space/Enter while focused).
#pragma once

#include "DuiLib/UILabel.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
public:
    static constexpr const wchar_t* kInterface = L"Button";

    CButtonUI();
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    bool IsTabStop() const override { return m_bKeyboardEnabled; }
    void SetEnabled(bool enabled = true) override;
    void PaintBkColor(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintBorder(HDC hDC) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

    // Enter clicks the default button, Escape the cancel button.
    bool IsDefaultButton() const { return m_bDefault; }
    bool IsCancelButton() const { return m_bCancel; }
    bool IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }
    bool IsPushed() const { return (m_uButtonState & UISTATE_PUSHED) != 0; }

    const std::wstring& GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(const std::wstring& image);
    void SetHotImage(const std::wstring& image);
    void SetPushedImage(const std::wstring& image);
    void SetDisabledImage(const std::wstring& image);

protected:
    DWORD GetStateTextColor() const override;
    UIColorRole GetTextRole() const override;
    // A button whose skin fills it in its normal state, as opposed to a
    // text or icon that reacts to the mouse.
    bool HasFace() const { return ArgbAlpha(m_dwBkColor) != 0; }
    // The outline that keeps a state visible in high contrast.
    void PaintHighContrastOutline(HDC hDC, UIColorRole role, int size);

    std::wstring m_sNormalImage;
    std::wstring m_sHotImage;
    std::wstring m_sPushedImage;
    std::wstring m_sFocusedImage;
    std::wstring m_sDisabledImage;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwFocusedTextColor = 0;
    DWORD m_dwHotBkColor = 0;
    DWORD m_dwPushedBkColor = 0;
    DWORD m_dwDisabledBkColor = 0;
    bool m_bDefault = false;
    bool m_bCancel = false;
    bool m_bHandCursor = true;
};

}  // namespace DuiLib
