// The plug-in's main window inside the host: the key list on the left, one
// page per key on the right (key data, key buttons, certificate groups with
// their attribute pages), the actions on keys and certificates, the host's
// device events and the delayed worker that looks for absent keys' certificates.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Cert/CertExport.h"
#include "Cert/DeviceRecord.h"
#include "DuiLib/DuiLib.h"
#include "DuiLib/ScopedWin.h"
#include "SQlite/sqlite3Module.h"
#include "UI/UINotifyCertEventWnd.h"
#include "UI/UINotifyDeviceEventWnd.h"
#include "UI/UINotifyNoDeviceCertEventWnd.h"
#include "UI/UIWnd.h"
#include "Utils/SecureString.h"

// The main window's private messages.
constexpr UINT kMsgDisplayCert = WM_USER + 100;      // wParam: duplicated certificate, freed here
constexpr UINT kMsgChangeDevicePin = WM_USER + 101;  // wParam: device handle
constexpr UINT kMsgShowNoDeviceCertPopup = WM_USER + 102;
// Host message numbers the main window hears or sends.
constexpr UINT kHostMsgRunCommand = 1734;
constexpr UINT kHostMsgDeviceChanged = 1834;
constexpr UINT kHostMsgRefreshRequest = 1839;
constexpr UINT kHostMsgDetecting = 1844;
constexpr UINT kHostMsgRunDisconnect = 1849;

// Window class and title of the main window.
constexpr const wchar_t* kMainFrameClassName = L"ZentoLumoraPluginMainWnd";
// The main window of this process once created (the absent-key pop-up posts
// its display requests here); null before, and again once the frame and
// every pop-up of it are gone.
extern HWND g_hMainFrameWnd;

// Validity of a certificate as the page shows it: 2 expired, 1 ends within
// the RemainDay window, 0 otherwise.
int CertValidityState(unsigned long certificate);
// The PIN-change failure text for the retries the token reports.
std::wstring FormatPinFailText(int retries);
// A certificate's display name made safe as part of a file name in a chosen
// folder: path, reserved and control characters and the bidirectional
// override and isolate marks become '_'.
std::wstring SanitizeExportFileName(const std::wstring& name);
// The file name a certificate is exported under: display name plus the
// signing or encryption suffix (which carries ".cer"), else ".cer"; a
// PKCS #7 file, which holds the whole group, is the display name + ".p7b".
std::wstring CertExportFileName(unsigned long certificate, CertFileFormat format);
// Whether a device type is listed in a device-type section of the settings.
bool IsKeyFunctionShown(const char* section, unsigned long device);

// Tag of a certificate name item: which attribute page shows it.
struct CertItemTag {
    int attributePage = 0;
    DuiLib::CTabLayoutUI* attributeTabs = nullptr;
    unsigned long certificate = 0;  // borrowed from the DeviceRecord
};

// Tag of a group's export button.
struct ExportButtonTag {
    DeviceRecord* record = nullptr;  // borrowed from DeviceRecordList
    DuiLib::CContainerUI* nameColumn = nullptr;
};

// An option whose Ctrl+C copies a text to the clipboard: its user data (an
// attribute value), or what its copy source makes when it has one (a
// certificate row's PEM, made only when asked for).
class CKeyOptionUI : public DuiLib::COptionUI {
public:
    std::wstring GetClass() const override;
    void DoEvent(DuiLib::TEventUI& event) override;
    void SetCopySource(std::function<std::wstring()> source) { m_copySource_ = std::move(source); }
    std::wstring GetCopyText() const;

private:
    std::function<std::wstring()> m_copySource_;
};

class CUIMainFrame : public CUIWnd {
public:
    CUIMainFrame();
    ~CUIMainFrame() override;

    BOOL CreateWnd(CWnd* parent) override;
    void InitWindow() override;
    DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // The key list and pages (the host's device events).
    void SelectMainView(int page);
    void ClearDeviceViews();
    void RefreshDeviceViews();
    void AddDeviceView(DeviceRecord* record, const std::wstring& displayText);
    // A key's page is built the first time it is shown and kept until the
    // next device event; ShowDevicePage builds it if needed and shows it.
    void EnsureDevicePage(int index);
    void ShowDevicePage(int index);
    void OnBeginChangeShowSelf();
    LRESULT OnDeviceRefreshEvent(WPARAM wParam, LPARAM lParam);

    // Certificate view.
    void SetupKeyButtons(DuiLib::CControlUI* page, DeviceRecord* record);
    void AddCertGroupView(DuiLib::CControlUI* page, const CertGroup& group, DeviceRecord* record, int index);
    void AddCertItems(DuiLib::CTabLayoutUI* attributeTabs, const CertGroup& group,
                      DuiLib::CContainerUI* nameColumn);
    void AddCertAttributes(DuiLib::CContainerUI* page, unsigned long certificate);
    void AddAttributeRow(const std::wstring& label, const std::wstring& value,
                         DuiLib::CContainerUI* container);
    DuiLib::CControlUI* BuildValidityBlock(unsigned long certificate, int& state);
    unsigned long FindSelectedCert(DuiLib::CContainerUI* nameColumn);
    // The save dialog for the first certificate; a PKCS #7 file also holds
    // the others (its group partner).
    void SaveCertAs(HWND owner, const std::vector<unsigned long>& certificates);
    // For the key a PIN button asked for with this device handle.
    void ChangeDevicePin(HWND owner, unsigned long device);
    // The change itself once the PINs are known (UTF-8): reports the outcome
    // and wipes both PINs whatever happened; true when the PIN was changed.
    bool ChangePinOnDevice(unsigned long device, SecureUtf8String& oldPin, SecureUtf8String& newPin);

    // Expiry notification logic, defined in UIMainFrameCoreLogic.cpp together
    // with the WM_USER + 102 handler OnShowNoDeviceCertPopupMessage.
    // The device-count decision that ends every RefreshDeviceViews.
    void ProcessDeviceCountNotify();
    bool ProcessNotifyCertEvent();
    bool ProcessSQLiteCacheNotifyCertEvent();
    bool IsValidNotfiyWindowUpdateTime();
    LRESULT ShowNoDeviceCertPopup();
    // The service thread's pass once its wait is over: the usage database,
    // then WM_USER + 102 to this window when the reminder may show.
    void RunServicePass();
    // Creation step 3: the device and certificate pop-ups' windows, owned by
    // the frame (the absent-key pop-up is made when first shown).
    void CreateNotifyPopups();

    bool IsServiceThreadRunning() const;

protected:
    DECLARE_MESSAGE_MAP()

    LRESULT OnDisplayCertMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnChangeDevicePinMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowNoDeviceCertPopupMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnHostRunCommandMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnHostDetectingMessage(WPARAM wParam, LPARAM lParam);

    void RegisterHostMessages();
    void RunServiceThread();
    void StopServiceThread();
    static unsigned __stdcall ServiceThreadProc(void* frame);
    // NoDeviceCertNotifyTime in milliseconds: 0 for 0, INFINITE (never) for a
    // negative setting.
    static DWORD ServiceDelayMilliseconds();

    bool OnRefreshDeviceClick(DuiLib::TNotifyUI& msg);
    bool OnRefreshTryClick(DuiLib::TNotifyUI& msg);
    bool OnDeviceOptionNotify(DuiLib::TNotifyUI& msg);
    bool OnCertItemNotify(DuiLib::TNotifyUI& msg);
    bool OnAttributeRightClick(DuiLib::TNotifyUI& msg);
    bool ExportCertGroup(DuiLib::TNotifyUI& msg);
    bool OnModifyPinClick(DuiLib::TNotifyUI& msg);
    bool OnUnlockPinClick(DuiLib::TNotifyUI& msg);
    bool OnCertUpdateClick(DuiLib::TNotifyUI& msg);
    bool OnDisconnectClick(DuiLib::TNotifyUI& msg);
    // The folder browser for a group export; false when cancelled.
    bool ChooseExportFolder(std::wstring& folder);
    // The copy menu at the notification's point for the sender's copy text;
    // accNameKey names its one item for screen readers (null: its caption).
    void OpenCopyMenu(const DuiLib::TNotifyUI& msg, const char* accNameKey);

    // A named control of a given class inside parent; null when either is missing.
    template <class T = DuiLib::CControlUI>
    T* FindIn(DuiLib::CControlUI* parent, const wchar_t* name)
    {
        return parent ? DuiLib::ControlCast<T>(m_pm_.FindSubControlByName(parent, name)) : nullptr;
    }
    // A sub-layout of the skin folder: parsed at its first use, built from the
    // parsed markup from then on.
    DuiLib::CControlUI* BuildSubLayout(const wchar_t* file, DuiLib::IDialogBuilderCallback* callback);
    // A sub-layout whose root must be a T; a root of another class is
    // deleted (null then), never left unowned.
    template <class T>
    T* BuildSubLayoutAs(const wchar_t* file)
    {
        std::unique_ptr<DuiLib::CControlUI> built(BuildSubLayout(file, nullptr));
        T* typed = DuiLib::ControlCast<T>(built.get());
        if (typed) (void)built.release();
        return typed;
    }
    int MessageBoxNotice(const std::wstring& text, UINT icon);

public:
    std::wstring lastExportFolder;
    int32_t lastDeviceCount = 0;
    // The three notification pop-ups are held here by value. The frame's
    // window is a child, so their windows are owned by the host's top-level
    // window and outlive the frame's: they are destroyed with these objects
    // (and their countdown workers end), in the frame's destructor.
    CUINotifyDeviceEventWnd m_notifyDeviceWnd_;
    CUINotifyCertEventWnd m_notifyCertWnd_;
    CUINotifyNoDeviceCertEventWnd m_notifyNoDeviceCertWnd_;
    std::vector<std::unique_ptr<CachedDeviceRecord>> NoDeviceNotifyList;

protected:
    // Tags of the controls of the current views; they go with the views.
    std::vector<std::unique_ptr<CertItemTag>> m_certItemTags_;
    std::vector<std::unique_ptr<ExportButtonTag>> m_exportButtonTags_;
    // The key each PIN button asked for, by the handle its message carries:
    // kept across device events, which is what the message may outlive.
    std::map<unsigned long, std::wstring> m_pinRequestSerials_;
    // Per page of TLayout_MainCertView, the key whose page is still to be
    // built (null once built); the records belong to DeviceRecordList.
    std::vector<DeviceRecord*> m_unbuiltPages_;
    // Sub-layouts parsed once, built again from their markup for every key.
    std::map<std::wstring, std::unique_ptr<DuiLib::CDialogBuilder>> m_layoutBuilders_;
    // The service thread, and the event that ends its wait at teardown.
    DuiLib::ScopedHandle m_serviceThread_;
    DuiLib::ScopedHandle m_serviceStop_;
};
