// The edit control: a real native EDIT child window placed over the
// control's rectangle, so typing, selection, the caret, input methods and
// password masking are the system's own. It shows and hides with the control
// and reports every change of its text made by the user as "textchanged".
#pragma once

#include "DuiLib/ScopedWin.h"
#include "DuiLib/UILabel.h"

namespace DuiLib {

class CEditUI : public CLabelUI {
public:
    static constexpr const wchar_t* kInterface = L"Edit";

    CEditUI();
    ~CEditUI() override;
    std::wstring GetClass() const override;
    void* GetInterface(const std::wstring& name) override;

    std::wstring GetText() const override;
    // Programmatic changes do not send "textchanged".
    void SetText(const std::wstring& text) override;
    bool IsPasswordMode() const { return m_bPasswordMode; }
    void SetPasswordMode(bool password);
    wchar_t GetPasswordChar() const { return m_cPasswordChar; }
    void SetPasswordChar(wchar_t c);
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(bool readOnly);
    int GetMaxChar() const { return m_iMaxChar; }
    void SetMaxChar(int maxChar);
    bool IsTabStop() const override { return m_bKeyboardEnabled && IsEnabled(); }

    // The native window (null until the control was first laid out in a
    // window).
    HWND GetNativeWindow() const { return m_hWndEdit; }
    static CEditUI* FromNativeWindow(HWND hwnd);
    // Called by the paint manager for EN_CHANGE of the native window.
    void OnNativeTextChanged();
    // Colours for WM_CTLCOLOREDIT; the brush is owned by the control.
    HBRUSH GetNativeBrush();
    DWORD GetNativeTextColor() const { return GetPaintTextColor(); }

    void SetPos(RECT rc) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetEnabled(bool enabled = true) override;
    void SetFocusState(bool focused) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
    void DoEvent(TEventUI& event) override;
    void PaintText(HDC hDC) override;
    void SetAttribute(const std::wstring& name, const std::wstring& value) override;

protected:
    std::wstring GetPaintText() const override;

private:
    bool EnsureNativeWindow();
    void UpdateNativeWindow();
    void DestroyNativeWindow();
    // Mirrors the native text into m_sText, except for password edits.
    void KeepTextCopy();
    static LRESULT CALLBACK NativeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWndEdit = nullptr;
    WNDPROC m_pOldProc = nullptr;
    ScopedBrush m_hBrush;
    DWORD m_dwBrushColor = 0;
    bool m_bPasswordMode = false;
    bool m_bReadOnly = false;
    bool m_bSettingText = false;
    wchar_t m_cPasswordChar = 0x25CF;  // black circle
    int m_iMaxChar = 255;
    DWORD m_dwNativeBkColor = 0xFFFFFFFF;
};

}  // namespace DuiLib
