// The main frame's side of the notification pop-ups: making their windows
// and opening the absent-key reminder on the list the service pass found.
#include <cstring>

#include "Cert/Cert_Util.h"
#include "UI/UIMainFrame.h"
#include "Utils/StringConvert.h"

void CUIMainFrame::CreateNotifyPopups()
{
    // A pop-up whose window cannot be made only means no such notification;
    // the frame itself works on.
    (void)m_notifyDeviceWnd_.CreateWnd(this);
    (void)m_notifyCertWnd_.CreateWnd(this);
}

LRESULT CUIMainFrame::ShowNoDeviceCertPopup()
{
    if (NoDeviceNotifyList.size() == 1 && NoDeviceNotifyList.front()) {
        // One remembered key that is present after all needs no reminder.
        std::string serial;
        if (UsageDatabase::Instance().QueryDeviceById(NoDeviceNotifyList.front()->m_deviceId_, serial) == 0) {
            const std::wstring wanted = Utf8ToWide(serial);
            for (const auto& record : DeviceRecordList::Instance().records) {
                if (record &&
                    _wcsicmp(wanted.c_str(), Cert_Util::GetDeviceSerialNumber(record->device).c_str()) == 0)
                    return 1;
            }
        }
    }
    m_notifyNoDeviceCertWnd_.SetNoDeviceNotifyList(&NoDeviceNotifyList);
    if (!m_notifyNoDeviceCertWnd_.GetSafeHwnd()) (void)m_notifyNoDeviceCertWnd_.CreateWnd(this);
    return 1;
}
