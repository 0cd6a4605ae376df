// The absent-key pop-up: certificates of keys that are remembered but not
// inserted end soon. One line per certificate (double-click shows it, its
// menu stops reminders for it); for the whole list: renew with the key,
// remind me later, close. It has no countdown, and closing destroys its
// window; the main frame makes a new one for the next reminder.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Cert/PkiOwners.h"
#include "SQlite/sqlite3Module.h"
#include "UI/NotifyPopupWnd.h"

class CUINotifyNoDeviceCertEventWnd : public CUINotifyPopupWnd {
public:
    CUINotifyNoDeviceCertEventWnd();

    // The main frame's list to show; read when the window initialises and
    // when the user asks to be reminded later.
    void SetNoDeviceNotifyList(CachedDeviceRecordList* records) { m_records_ = records; }

    // Adds the line of one record; false when the list cannot take lines
    // (missing container or line skin), which ends the filling.
    bool AddNoDeviceCertItem(const CachedDeviceRecord& record);
    // Asks whether to stop reminders for the selected certificate; on Yes
    // writes its marker and removes its line (closing when none is left).
    LRESULT ForbidNoDeviceCertNotify(WPARAM wParam, LPARAM lParam);
    // Stores the next reminder time from the smallest remaining days.
    void PostponeNoDeviceNotify();
    // Opens the line menu (reporting to `owner`) with its top-left corner at
    // the screen point.
    static void ShowPopupMenuAt(HWND owner, int x, int y);

    unsigned long GetSelectedCertificate() const { return m_selectedCert_.get(); }
    DuiLib::CControlUI* GetSelectedLine() const { return m_selectedLine_; }

protected:
    DECLARE_MESSAGE_MAP()
    void InitPopupContent() override;
    void OnSlideFinished(int direction) override;
    LRESULT OnDestroyPopup(WPARAM wParam, LPARAM lParam);

private:
    bool OnRenewClick(DuiLib::TNotifyUI& msg);
    bool OnCloseClick(DuiLib::TNotifyUI& msg);
    bool OnNotifyLaterClick(DuiLib::TNotifyUI& msg);
    bool OnCertLineDoubleClick(DuiLib::TNotifyUI& msg);
    bool OnLineMenuClick(DuiLib::TNotifyUI& msg);
    // Takes a handled certificate's record off the main frame's list, so a
    // later "remind me later" counts only what is left.
    void ForgetRecordOf(const std::string& source);

    CachedDeviceRecordList* m_records_ = nullptr;
    Pki::ScopedCertificate m_selectedCert_;
    DuiLib::CControlUI* m_selectedLine_ = nullptr;
    unsigned long m_selectedLineCert_ = 0;  // the line's own handle (a key of m_lineSources_)
    // The certificate of every line; the lines' tags borrow them until the
    // window is destroyed.
    std::vector<Pki::ScopedCertificate> m_lineCerts_;
    // What each line's certificate was made from, to find its record.
    std::map<unsigned long, std::string> m_lineSources_;
};
