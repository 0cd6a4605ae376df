// The change-PIN dialog; see UIModifyPasswordDlg.h.
#include "UI/UIModifyPasswordDlg.h"

#include <windowsx.h>

#include "DuiLib/ModalLoop.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;

CUIModifyPasswordDlg::~CUIModifyPasswordDlg()
{
    WipePins();
}

void CUIModifyPasswordDlg::WipePins() noexcept
{
    m_oldPin_.Clear();
    m_newPin_.Clear();
}

UINT CUIModifyPasswordDlg::RunModal(HWND parent)
{
    if (!Create(parent, kWindowName, UI_WNDSTYLE_DIALOG, 0, 0, 0, kInitialWidth, kInitialHeight))
        return IDCANCEL;
    CenterWindow();
    // As a dialog does: it opens with the keyboard in its first field, once
    // its modal loop has shown and activated it.
    PostMessage(kMsgFocusFirstField, 0, 0);
    return ShowModal();
}

void CUIModifyPasswordDlg::OnSkinBuilt()
{
    if (CControlUI* ok = m_pm_.FindControl(L"Button_Modify"))
        ok->OnNotify += MakeDelegate(this, &CUIModifyPasswordDlg::OnModifyClick);
    if (CControlUI* edit = m_pm_.FindControl(L"Edit_NewPassWord"))
        edit->OnNotify += MakeDelegate(this, &CUIModifyPasswordDlg::OnNewPinChanged);

    SetControlText(L"Label_ChangePassword_Title", "STRING_LABEL_CHANGEPIN_TITLE");
    SetControlText(L"Label_OldPassWord", "STRING_LABEL_CHANGEPIN_OLDPIN");
    SetControlText(L"Label_NewPassWord", "STRING_LABEL_CHANGEPIN_NEWPIN");
    SetControlText(L"Label_NewPassWord2", "STRING_LABEL_CHANGEPIN_NEWPIN2");
    SetControlText(L"Button_Modify", "STRING_WINDOW_BUTTON_OK");
    SetControlText(L"closebtn", "STRING_WINDOW_BUTTON_CLOSE");

    std::wstring notice = GetLanguageString("STRING_LABEL_PASSWORD_NOTICE_MSG_1");
    std::wstring second = GetLanguageString("STRING_LABEL_PASSWORD_NOTICE_MSG_2");
    if (!second.empty()) notice += L"\n" + second;
    if (CControlUI* msg = m_pm_.FindControl(L"Label_Msg")) msg->SetText(notice);

    if (CControlUI* row = m_pm_.FindControl(L"Hor_NewWordSafeText")) row->SetVisible(false);
}

void CUIModifyPasswordDlg::Notify(TNotifyUI& msg)
{
    if (msg.sType == L"click" && msg.pSender && _wcsicmp(msg.pSender->GetName().c_str(), L"closebtn") == 0) {
        SendMessage(WM_CLOSE, 0, 0);
    }
}

bool CUIModifyPasswordDlg::OnModifyClick(TNotifyUI& msg)
{
    if (msg.sType != L"click") return false;
    ValidatePinInput();
    return true;
}

bool CUIModifyPasswordDlg::OnNewPinChanged(TNotifyUI& msg)
{
    if (msg.sType != L"textchanged") return false;
    ShowStrength(ReadEdit(L"Edit_NewPassWord"));
    return true;
}

SecureWString CUIModifyPasswordDlg::ReadEdit(const wchar_t* name)
{
    CEditUI* edit = FindControlAs<CEditUI>(name);
    if (!edit) return {};
    // Straight from the native edit into a wiped buffer: the control's own
    // text getter would leave an ordinary string behind.
    if (edit->GetNativeWindow()) return ReadWindowTextSecure(edit->GetNativeWindow());
    return SecureWString(edit->GetText());
}

void CUIModifyPasswordDlg::ShowStrength(const SecureWString& newPin)
{
    CControlUI* picture = m_pm_.FindControl(L"Label_NewPassWordSafePic");
    CControlUI* word = m_pm_.FindControl(L"Label_NewPassWordSafeText");
    if (picture && word) {
        StrengthLook look = GetStrengthLook(GetPasswordStrength(newPin.view()));
        picture->SetBkImage(look.picture);
        word->SetText(GetLanguageString(look.wordKey));
    }
    if (CControlUI* row = m_pm_.FindControl(L"Hor_NewWordSafeText")) row->SetVisible(!newPin.empty());
}

int CUIModifyPasswordDlg::Ask(const char* messageKey, UINT flags)
{
    CModalLoopScope loop;
    return ::MessageBoxW(m_hWnd, GetLanguageString(messageKey).c_str(),
                         GetLanguageString("STRING_TITLE_NOTICE").c_str(), flags);
}

bool CUIModifyPasswordDlg::ValidatePinInput()
{
    SecureWString oldPin = ReadEdit(L"Edit_OldPassWord");
    SecureWString newPin = ReadEdit(L"Edit_NewPassWord");
    SecureWString newPin2 = ReadEdit(L"Edit_NewPassWord2");
    if (const char* fault = FindPinInputFault(oldPin.view(), newPin.view(), newPin2.view())) {
        Ask(fault, MB_ICONINFORMATION);
        return false;
    }
    m_oldPin_ = std::move(oldPin);
    m_newPin_ = std::move(newPin);

    if (GetPasswordStrength(m_newPin_.view()) == PasswordStrengthWeak) {
        if (!UserSettings::Instance().GetIsCouldModifyPasswordWhileSecurityWeak()) {
            Ask("STRING_LABEL_SECURITY_WEAK_INHIBIT_MSG", MB_ICONINFORMATION);
            return false;
        }
        if (Ask("STRING_LABEL_SECURITY_WEAK_NOTICE_MSG",
                MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES) {
            return false;
        }
    }
    if (::IsWindow(m_hWnd)) Close(IDOK);
    return true;
}

void CUIModifyPasswordDlg::ClearEdits()
{
    for (const wchar_t* name : {L"Edit_OldPassWord", L"Edit_NewPassWord", L"Edit_NewPassWord2"}) {
        CEditUI* edit = FindControlAs<CEditUI>(name);
        if (!edit) continue;
        WipeWindowText(edit->GetNativeWindow());
        edit->SetText(std::wstring());
    }
}

LRESULT CUIModifyPasswordDlg::HitTestCaption(LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(m_hWnd, &pt);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    RECT caption = m_pm_.GetCaptionRect();
    if (pt.x < client.left + caption.left || pt.x >= client.right - caption.right || pt.y < caption.top ||
        pt.y >= caption.bottom)
        return HTCLIENT;
    CControlUI* control = m_pm_.FindControl(pt);
    if (!control) return HTCAPTION;
    static const wchar_t* const kInteractive[] = {L"ButtonUI",     L"FadeButtonUI",    L"OptionUI",
                                                  L"BrowserTabUI", L"BrowserTabBarUI", L"EditUI",
                                                  L"TextUI",       L"SliderUI"};
    std::wstring cls = control->GetClass();
    for (const wchar_t* name : kInteractive) {
        if (_wcsicmp(cls.c_str(), name) == 0) return HTCLIENT;
    }
    return HTCAPTION;
}

bool CUIModifyPasswordDlg::OnWindowMessage(UINT uMsg, WPARAM, LPARAM lParam, LRESULT& result)
{
    switch (uMsg) {
        case WM_NCHITTEST:
            result = HitTestCaption(lParam);
            return true;
        case WM_NCACTIVATE:
            if (!::IsIconic(m_hWnd)) return false;
            result = TRUE;
            return true;
        case kMsgFocusFirstField:
            if (CControlUI* first = m_pm_.FindControl(L"Edit_OldPassWord")) m_pm_.SetFocus(first);
            result = 0;
            return true;
        case WM_CLOSE:
        case WM_DESTROY:
            // Whatever ends the dialog, the typed PINs leave the screen and
            // the edits' memory with it; accepted PINs are already ours. A
            // dialog destroyed without a close (its owner went) is wiped too.
            ClearEdits();
            return false;
        default:
            return false;
    }
}
