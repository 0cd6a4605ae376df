// The settings page; see UIConfigModuleWnd.h.
#include "UI/UIConfigModuleWnd.h"

#include <shellapi.h>

#include <cwchar>
#include <functional>

#include "Cert/CertExport.h"
#include "DuiLib/BoundaryGuard.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;

namespace {

struct PageText {
    const wchar_t* control;
    const char* key;
};
const PageText kTexts[] = {
    {L"Label_IsShowNotifyDeviceWnd", "STRING_LABEL_SHOWNOTIFYDEVICEWND"},
    {L"Label_ShowNotifyDeviceWndDetail", "STRING_LABEL_SHOWNOTIFYDEVICEWND_DETAIL"},
    {L"Label_IsShowNotifyCertWnd", "STRING_LABEL_SHOWNOTIFYCERTWND"},
    {L"Label_ShowNotifyCertWndDetail", "STRING_LABEL_SHOWNOTIFYCERTWND_DETAIL"},
    {L"Label_Expire_Notifiy", "STRING_LABEL_EXPIRE_SETTING"},
    {L"Label_IsShowSelfWhileUSBKeyInsert", "STRING_LABEL_SWITCH_CURRENT_PANEL"},
    {L"Label_ShowSelfWhileUSBKeyInsertDetail", "STRING_LABEL_SWITCH_CURRENT_PANEL_DETAIL"},
    {L"Label_OpenLog", "STRING_LABEL_OPENLOG"},
    {L"Button_OpenLogPath", "STRING_BUTTON_OPENPATH"},
    {L"Label_Notice_Msg", "STRING_CONFIG_NOTIFYMSG"},
    // The two options that have no caption of their own in the list above.
    {L"Label_IsShowNotifyCertWnd_NoDevice", "STRING_LABEL_SHOWNOTIFYNODEVICECERTWND"},
    {L"Label_IsCouldModifyPasswordWhileSecurityWeak", "STRING_LABEL_ALLOW_WEAK_PASSWORD"},
    {L"Label_ExportFormat", "STRING_LABEL_EXPORT_FORMAT"},
};

struct OptionSetting {
    const wchar_t* control;
    bool (UserSettings::*get)() const;
    bool (UserSettings::*set)(const std::wstring&);
};
const OptionSetting kOptions[] = {
    {L"Option_IsShowSelfWhileUSBKeyInsert", &UserSettings::GetIsShowSelfWhileInsertUSBKey,
     &UserSettings::SetIsShowSelfWhileInsertUSBKey},
    {L"Option_IsCouldModifyPasswordWhileSecurityWeak",
     &UserSettings::GetIsCouldModifyPasswordWhileSecurityWeak,
     &UserSettings::SetIsCouldModifyPasswordWhileSecurityWeak},
    {L"Option_IsShowNotifyDeviceWnd", &UserSettings::GetIsShowNotifyDeviceWnd,
     &UserSettings::SetIsShowNotifyDeviceWnd},
    {L"Option_IsShowNotifyCertWnd", &UserSettings::GetIsShowNotifyCertWnd,
     &UserSettings::SetIsShowNotifyCertWnd},
    {L"Option_IsShowNotifyCertWnd_NoDevice", &UserSettings::GetIsShowNotifyNoDeviceCertExpireWnd,
     &UserSettings::SetIsShowNotifyNoDeviceCertExpireWnd},
    {L"Option_OpenLog", &UserSettings::GetIsWriteLog, &UserSettings::SetIsWriteLog},
};

// A combo item's user data as a decimal number; 0 when it is none.
int ItemNumber(CControlUI* item)
{
    return item ? static_cast<int>(std::wcstol(item->GetUserData().c_str(), nullptr, 10)) : 0;
}

// Selects the first item whose user data matches, none when no item does.
// The selection does not take the focus; a change notifies at once, and the
// handler attached before writes the same value back.
void SelectItemWhere(CComboUI* combo, const std::function<bool(CControlUI*)>& matches)
{
    int match = -1;
    for (int i = 0; i < combo->GetCount() && match < 0; ++i) {
        if (matches(combo->GetItemAt(i))) match = i;
    }
    combo->SelectItem(match, false, true);
}

}  // namespace

BOOL CUIConfigModuleWnd::CreateWnd(CWnd* parent)
{
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.hInstance = Framework::GetInstanceHandle();
    wc.lpszClassName = kClassName;
    if (!Framework::RegisterWindowClass(wc)) return FALSE;
    RECT rc = {0, 0, 820, 620};
    return CreateEx(0, kClassName, kClassName, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, rc, parent, 0);
}

void CUIConfigModuleWnd::Notify(TNotifyUI& msg)
{
    if (msg.sType == L"windowinit") SetUp();
}

void CUIConfigModuleWnd::SetUp()
{
    if (CControlUI* root = m_pm_.GetRoot()) root->SetAccName(GetLanguageString("STRING_TITLE"));
    for (const PageText& t : kTexts) {
        if (CControlUI* control = m_pm_.FindControl(t.control)) control->SetText(GetLanguageString(t.key));
    }

    for (const OptionSetting& o : kOptions) {
        CControlUI* control = m_pm_.FindControl(o.control);
        if (!control) continue;
        const OptionSetting* entry = &o;
        control->OnNotify += [entry](TNotifyUI& msg) {
            if (msg.sType != L"selectchanged") return false;
            if (auto* option = ControlCast<COptionUI>(msg.pSender)) {
                (void)(UserSettings::Instance().*entry->set)(option->IsSelected() ? L"true" : L"false");
            }
            return true;
        };
        // Changing the skin's state notifies at once, and the handler above
        // writes the same value back.
        if (auto* option = ControlCast<COptionUI>(control))
            option->Selected((UserSettings::Instance().*o.get)());
    }

    if (CControlUI* control = m_pm_.FindControl(L"Combo_CertRemaindaysSetting")) {
        control->OnNotify += MakeDelegate(this, &CUIConfigModuleWnd::OnLeadTimeChanged);
        if (auto* combo = ControlCast<CComboUI>(control)) {
            const int days = UserSettings::Instance().GetNotifyCertDay();
            SelectItemWhere(combo, [days](CControlUI* item) { return ItemNumber(item) == days; });
            for (int i = 0; i < combo->GetCount(); ++i) {
                CControlUI* item = combo->GetItemAt(i);
                std::wstring text =
                    GetLanguageString("STRING_LABEL_EXPIRE_ITEM_" +
                                      std::string(item->GetUserData().begin(), item->GetUserData().end()));
                if (!text.empty()) item->SetText(text);
            }
        }
    }

    if (CControlUI* control = m_pm_.FindControl(L"Combo_ExportFormat")) {
        control->OnNotify += MakeDelegate(this, &CUIConfigModuleWnd::OnExportFormatChanged);
        if (auto* combo = ControlCast<CComboUI>(control)) {
            // The setting's spelling, so an unknown stored text shows as DER, the format it reads as.
            const std::wstring stored =
                CertFileFormatText(CertFileFormatFromText(UserSettings::Instance().GetExportFormat()));
            SelectItemWhere(combo, [&](CControlUI* item) { return item->GetUserData() == stored; });
            for (int i = 0; i < combo->GetCount(); ++i) {
                CControlUI* item = combo->GetItemAt(i);
                item->SetText(CertFileTypeName(CertFileFormatFromText(item->GetUserData())));
            }
        }
    }

    if (CControlUI* button = m_pm_.FindControl(L"Button_OpenLogPath"))
        button->OnNotify += MakeDelegate(this, &CUIConfigModuleWnd::OnOpenLogClick);
}

bool CUIConfigModuleWnd::OnLeadTimeChanged(TNotifyUI& msg)
{
    if (msg.sType != L"itemselect") return false;
    if (auto* combo = ControlCast<CComboUI>(msg.pSender)) {
        int days = ItemNumber(combo->GetItemAt(combo->GetCurSel()));
        if (days > 0) (void)UserSettings::Instance().SetNotifyCertDay(std::to_wstring(days));
    }
    return true;
}

bool CUIConfigModuleWnd::OnExportFormatChanged(TNotifyUI& msg)
{
    if (msg.sType != L"itemselect") return false;
    if (auto* combo = ControlCast<CComboUI>(msg.pSender)) {
        if (CControlUI* item = combo->GetItemAt(combo->GetCurSel()))
            (void)UserSettings::Instance().SetExportFormat(
                CertFileFormatText(CertFileFormatFromText(item->GetUserData())));
    }
    return true;
}

std::wstring GetLogFolderToOpen()
{
    std::wstring base = UserSettings::GetUserDataFolder(L"ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\");
    if (base.empty()) return std::wstring();
    std::wstring folder = base + L"\\log";
    UserSettings::EnsureFolder(folder);
    return folder;
}

bool CUIConfigModuleWnd::OnOpenLogClick(TNotifyUI& msg)
{
    if (msg.sType != L"click") return false;
    std::wstring folder = GetLogFolderToOpen();
    // The shell's answer is not reported: the user sees whether a window opened.
    if (!folder.empty()) ::ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}

void CUIConfigModuleWnd::PostNcDestroy()
{
    if (!m_created_) return;
    // The settings object may still hold us: it must not reach a deleted page.
    if (m_ownerLink_) *m_ownerLink_ = nullptr;
    delete this;
}
