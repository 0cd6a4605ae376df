// The certificate expiry pop-up: certificates on a present key end within
// the reminder's lead time. Shows the smallest number of remaining days,
// lets the user choose the lead time, and offers the renewal plug-in when
// the host has it.
#pragma once

#include "UI/NotifyPopupWnd.h"

class CUINotifyCertEventWnd : public CUINotifyPopupWnd {
public:
    CUINotifyCertEventWnd();

    // Fills the lead-time combo and the message for `remainDays`; the caller
    // then slides the pop-up in (WM_USER + 101, wParam 0).
    void ShowCertificateList(int remainDays);
    int GetRemainDays() const { return m_remainDays_; }

protected:
    void InitPopupContent() override;

private:
    bool OnReviewCertClick(DuiLib::TNotifyUI& msg);
    bool OnRemainDaysSelect(DuiLib::TNotifyUI& msg);

    int m_remainDays_ = -1;
};
