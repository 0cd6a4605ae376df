// The device pop-up: announces that a key was inserted (with a button that
// brings the plug-in's view forward) or removed, then hides by itself.
#pragma once

#include "UI/NotifyPopupWnd.h"

class CUINotifyDeviceEventWnd : public CUINotifyPopupWnd {
public:
    enum DeviceMode : int { kInserted = 0, kRemoved = 1, kNoModeYet = 2 };

    CUINotifyDeviceEventWnd();

    // 0 inserted (stays 8 s), 1 removed (stays 3 s); selects the page.
    void SetDeviceEventMode(int mode);
    int GetDeviceEventMode() const { return m_deviceMode_; }

protected:
    void InitPopupContent() override;

private:
    bool OnShowCertClick(DuiLib::TNotifyUI& msg);

    int m_deviceMode_ = kNoModeYet;
};
