// The change-PIN dialog: asks for the current PIN and the new PIN twice,
// shows the new PIN's strength while it is typed, checks the input in a
// fixed order and hands both PINs to its caller. It never talks to the key.
//
// Use (the main window's PIN change):
//     CUIModifyPasswordDlg dlg(device);
//     if (dlg.RunModal(mainWindow) == IDOK) {
//         SecureUtf8String oldPin = ToSecureUtf8(dlg.GetOldPin());
//         SecureUtf8String newPin = ToSecureUtf8(dlg.GetNewPin());
//         dlg.WipePins();
//         ... ZentoPKICryptoChangePwd(device, 1, oldPin.c_str(), newPin.c_str(), &retries) ...
//     }   // every copy is wiped by its owner at the end of the scope
#pragma once

#include "UI/PinRules.h"
#include "UI/ToolkitWnd.h"
#include "Utils/SecureString.h"

class CUIModifyPasswordDlg : public CToolkitWnd {
    static constexpr UINT kMsgFocusFirstField = WM_APP + 1;

public:
    static constexpr const wchar_t* kWindowName = L"CUIModifyPasswordDlg";
    static constexpr const wchar_t* kClassName = L"ZENTO_UIModifyPasswordDlg";
    static constexpr int kInitialWidth = 314;
    static constexpr int kInitialHeight = 182;

    explicit CUIModifyPasswordDlg(unsigned long device) : m_device_(device) {}
    ~CUIModifyPasswordDlg() override;

    // Creates the dialog owned by `parent`, centres it on the parent and runs
    // it modally. IDOK (1) when the input was accepted; anything else means
    // cancelled (also when the window could not be created).
    UINT RunModal(HWND parent);

    unsigned long GetDevice() const { return m_device_; }
    // Empty until the input is accepted.
    const SecureWString& GetOldPin() const { return m_oldPin_; }
    const SecureWString& GetNewPin() const { return m_newPin_; }
    // Zeroes both PINs; the caller does this as soon as it has them.
    void WipePins() noexcept;

protected:
    const wchar_t* GetWindowClassName() const override { return kClassName; }
    std::wstring GetSkinFile() const override { return L"ModifyPassWordDlg.xml"; }
    void OnSkinBuilt() override;
    bool OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    bool OnModifyClick(DuiLib::TNotifyUI& msg);
    bool OnNewPinChanged(DuiLib::TNotifyUI& msg);
    // The acceptance check of the OK button: true when the dialog closes.
    bool ValidatePinInput();
    SecureWString ReadEdit(const wchar_t* name);
    void ShowStrength(const SecureWString& newPin);
    void ClearEdits();
    LRESULT HitTestCaption(LPARAM lParam);
    int Ask(const char* messageKey, UINT flags);

    unsigned long m_device_;
    SecureWString m_oldPin_;
    SecureWString m_newPin_;
};
