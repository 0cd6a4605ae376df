// The certificate expiry pop-up; see UINotifyCertEventWnd.h.
#include "UI/UINotifyCertEventWnd.h"

#include <cwchar>

#include "Plugin/HostInterfaces.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

namespace {

const NotifyPopupClassInfo kCertInfo = {
    L"ZentoLumoraNotifyCertEventWnd",
    L"NotifyCertEventWnd.xml",
    WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
    WS_POPUP | WS_SYSMENU,
    10000,  // hide delay at construction
    20000,  // every slide-in
    20000,  // after the mouse leaves
    true,  // counts down
    true,  // expiry matters enough to come to the front
    false,
    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE,  // a slide step never activates
    false,
    false,
};

}  // namespace

CUINotifyCertEventWnd::CUINotifyCertEventWnd() : CUINotifyPopupWnd(kCertInfo) {}

void CUINotifyCertEventWnd::InitPopupContent()
{
    BindClick(L"Button_ShowReviewCert", &CUINotifyCertEventWnd::OnReviewCertClick);
    BindClick(L"Button_Close", &CUINotifyCertEventWnd::HideOnClick);
    SetControlText(L"Button_ShowReviewCert", GetLanguageString("STRING_NOTICE_WINDOW_RENEW_BUTTON"));
    // Asked once: the button stays as it is for the pop-up's whole life.
    HideUnlessPluginInstalled(L"Button_ShowReviewCert", PluginIds::CertRenewal);
    if (DuiLib::CControlUI* combo = m_pm_.FindControl(L"Combo_CertRemaindaysSetting")) {
        combo->OnNotify += DuiLib::MakeDelegate(this, &CUINotifyCertEventWnd::OnRemainDaysSelect);
        // No label stands beside it here; the settings page's words name it.
        combo->SetAccName(GetLanguageString("STRING_LABEL_EXPIRE_SETTING"));
    }
}

void CUINotifyCertEventWnd::ShowCertificateList(int remainDays)
{
    m_remainDays_ = remainDays;
    if (auto* combo =
            DuiLib::ControlCast<DuiLib::CComboUI>(m_pm_.FindControl(L"Combo_CertRemaindaysSetting"))) {
        const int leadTime = UserSettings::Instance().GetNotifyCertDay();
        int match = -1;
        for (int i = 0; i < combo->GetCount() && match < 0; ++i) {
            if (_wtoi(combo->GetItemAt(i)->GetUserData().c_str()) == leadTime) match = i;
        }
        combo->SelectItem(match, false, false);
        for (int i = 0; i < combo->GetCount(); ++i) {
            DuiLib::CControlUI* item = combo->GetItemAt(i);
            const std::wstring text =
                GetLanguageString("STRING_LABEL_EXPIRE_ITEM_" + WideToUtf8(item->GetUserData()));
            if (!text.empty()) item->SetText(text);
        }
    }
    const std::wstring message =
        remainDays < 1
            ? GetLanguageString("STRING_NOTICE_WINDOW_MSG")
            : FormatLanguageText(GetLanguageString("STRING_NOTICE_WINDOW_MSG_FORMAT"), {std::to_wstring(remainDays)});
    SetControlText(L"label_Msg", message);
}

bool CUINotifyCertEventWnd::OnReviewCertClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    RequestHostCommand(PluginIds::CertRenewal, kShowWindowCommand);
    ShowWindow(SW_HIDE);
    return true;
}

bool CUINotifyCertEventWnd::OnRemainDaysSelect(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_ITEMSELECT) return false;
    auto* combo = DuiLib::ControlCast<DuiLib::CComboUI>(msg.pSender);
    if (!combo || combo->GetCurSel() < 0) return true;
    const int days = _wtoi(combo->GetItemAt(combo->GetCurSel())->GetUserData().c_str());
    // A non-positive choice would switch reminders off by accident; it is ignored.
    if (days > 0) (void)UserSettings::Instance().SetNotifyCertDay(std::to_wstring(days));
    return true;
}
