// The main frame's side of the notification pop-ups: making their windows
// and opening the absent-key reminder on the list the service pass found.
#include "UI/UIMainFrame.h"
#include "UI/UIMainFrameCoreLogic.h"

void CUIMainFrame::CreateNotifyPopups()
{
    // A pop-up whose window cannot be made only means no such notification;
    // the frame itself works on.
    (void)m_notifyDeviceWnd_.CreateWnd(this);
    (void)m_notifyCertWnd_.CreateWnd(this);
}

LRESULT CUIMainFrame::ShowNoDeviceCertPopup()
{
    // One remembered key that is present after all needs no reminder.
    if (ExpiryLogic::IsOnlyRememberedKeyPresent(NoDeviceNotifyList, DeviceRecordList::Instance())) return 1;
    m_notifyNoDeviceCertWnd_.SetNoDeviceNotifyList(&NoDeviceNotifyList);
    if (!m_notifyNoDeviceCertWnd_.GetSafeHwnd()) (void)m_notifyNoDeviceCertWnd_.CreateWnd(this);
    return 1;
}
