// The device pop-up; see UINotifyDeviceEventWnd.h.
#include "UI/UINotifyDeviceEventWnd.h"

#include "Plugin/HostInterfaces.h"
#include "Utils/LanguageStrings.h"

namespace {

const NotifyPopupClassInfo kDeviceInfo = {
    L"ZentoLumoraNotifyDeviceEventWnd",
    L"NotifyDeviceEventWnd.xml",
    WS_EX_TOOLWINDOW,
    WS_POPUP | WS_SYSMENU,
    0,     // hide delay at construction; SetDeviceEventMode sets the real one
    0,     // a slide-in keeps the delay of the mode
    3000,  // after the mouse leaves
    true,  // counts down
    false,  // announces without taking the foreground
    false,
    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE,  // a slide step never activates
    true,
    false,
};

constexpr int kInsertedHideDelayMs = 8000;
constexpr int kRemovedHideDelayMs = 3000;

}  // namespace

CUINotifyDeviceEventWnd::CUINotifyDeviceEventWnd() : CUINotifyPopupWnd(kDeviceInfo) {}

void CUINotifyDeviceEventWnd::SetDeviceEventMode(int mode)
{
    m_deviceMode_ = mode;
    SetHideDelay(mode == kRemoved ? kRemovedHideDelayMs : kInsertedHideDelayMs);
    if (auto* tabs = DuiLib::ControlCast<DuiLib::CTabLayoutUI>(m_pm_.FindControl(L"TabLayout_DeviceMode")))
        tabs->SelectItem(mode == kInserted ? 0 : 1);
}

void CUINotifyDeviceEventWnd::InitPopupContent()
{
    BindClick(L"Button_ShowCert", &CUINotifyDeviceEventWnd::OnShowCertClick);
    BindClick(L"Button_Close", &CUINotifyDeviceEventWnd::HideOnClick);
    SetControlText(L"Label_Device_Insert_Msg", GetLanguageString("DEVICEWND_LABEL_DEVICE_INSERT_MSG"));
    SetControlText(L"Button_ShowCert", GetLanguageString("DEVICEWND_BUTTON_DEVICE_INSERT"));
    SetControlText(L"Label_Device_Remove_Msg", GetLanguageString("DEVICEWND_LABEL_DEVICE_REMOVE_MSG"));
}

bool CUINotifyDeviceEventWnd::OnShowCertClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    RequestHostCommand(PluginIds::Self, kShowWindowCommand);
    ShowWindow(SW_HIDE);
    return true;
}
