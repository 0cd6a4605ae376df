// The main window's frame: creation under the host's window, host messages,
// the three pages, the key list and key pages rebuilt on every device event,
// the Ctrl+C copy of attribute and certificate rows and the delayed service
// thread. The certificate part of each key page is in UIMainFrameCertView.cpp.
#include "UI/UIMainFrame.h"

#include <process.h>

#include "Cert/PkiOwners.h"
#include "Cert/ZentoPKI.h"
#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/ModalLoop.h"
#include "Plugin/HostCommandMailbox.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/HostMessaging.h"
#include "Plugin/PluginEntry.h"
#include "UI/MenuWnd.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"
#include "Utils/log.h"

using namespace DuiLib;

HWND g_hMainFrameWnd = nullptr;

namespace {

constexpr DWORD kMainFrameStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr const wchar_t* kShowSelfParameters = L"/ShowWindow=none|/ChangeViewWhileOnHomeControl=true";

}  // namespace

// ---- CKeyOptionUI -------------------------------------------------------------------

std::wstring CKeyOptionUI::GetClass() const
{
    return L"KeyOption";
}

void CKeyOptionUI::DoEvent(TEventUI& event)
{
    if (event.Type == UIEVENT_KEYDOWN && event.chKey == 'C' && IsKeyboardEnabled()) {
        // Only a Ctrl that is toggled but not held stops the copy; a held
        // Ctrl is the shortcut, and so is a plain C on a focused row.
        if (::GetKeyState(VK_CONTROL) > 0) return;
        const std::wstring text = GetCopyText();
        if (text.empty() || !PutTextOnClipboard(text)) return;
    }
    COptionUI::DoEvent(event);
}

std::wstring CKeyOptionUI::GetCopyText() const
{
    return m_copySource_ ? m_copySource_() : GetUserData();
}

// ---- CUIMainFrame ---------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CUIMainFrame, CUIWnd)
ON_MESSAGE(kMsgDisplayCert, OnDisplayCertMessage)
ON_MESSAGE(kMsgChangeDevicePin, OnChangeDevicePinMessage)
ON_MESSAGE(kHostMsgRunCommand, OnHostRunCommandMessage)
ON_MESSAGE(kHostMsgDeviceChanged, OnDeviceRefreshEvent)
ON_MESSAGE(kHostMsgDetecting, OnHostDetectingMessage)
ON_MESSAGE(kMsgShowNoDeviceCertPopup, OnShowNoDeviceCertPopupMessage)
END_MESSAGE_MAP()

CUIMainFrame::CUIMainFrame() = default;

CUIMainFrame::~CUIMainFrame()
{
    // The worker may still be waiting; it reads this object, so it ends first.
    StopServiceThread();
    const HWND window = m_hWnd;
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    // The pop-ups post to the main window for as long as they live.
    for (CUINotifyPopupWnd* popup : {static_cast<CUINotifyPopupWnd*>(&m_notifyDeviceWnd_),
                                     static_cast<CUINotifyPopupWnd*>(&m_notifyCertWnd_),
                                     static_cast<CUINotifyPopupWnd*>(&m_notifyNoDeviceCertWnd_)}) {
        if (popup->m_hWnd && ::IsWindow(popup->m_hWnd)) popup->DestroyWindow();
    }
    // Its window may have gone long before the object (a release from
    // inside a modal loop closes the window first).
    if (g_hMainFrameWnd && (g_hMainFrameWnd == window || !::IsWindow(g_hMainFrameWnd)))
        g_hMainFrameWnd = nullptr;
}

BOOL CUIMainFrame::CreateWnd(CWnd* parent)
{
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = Framework::GetInstanceHandle();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainFrameClassName;
    if (!Framework::RegisterWindowClass(wc)) return FALSE;
    HWND parentWindow = parent ? parent->GetSafeHwnd() : nullptr;
    if (!CreateEx(0, kMainFrameClassName, kMainFrameClassName, kMainFrameStyle, 0, 0, 820, 620, parentWindow,
                  nullptr))
        return FALSE;
    g_hMainFrameWnd = m_hWnd;
    CreateNotifyPopups();
    return TRUE;
}

void CUIMainFrame::InitWindow()
{
    RegisterHostMessages();
    SelectMainView(0);
    struct ControlText {
        const wchar_t* name;
        const char* key;
        bool (CUIMainFrame::*click)(TNotifyUI&);
    };
    static const ControlText kControls[] = {
        {L"Button_RefreshDevice", "STRING_BUTTON_STATUS_NO_DEVICE", &CUIMainFrame::OnRefreshDeviceClick},
        {L"Button_RefreshDevice_Try", "STRING_BUTTON_STATUS_CONNECTING_DEVICE",
         &CUIMainFrame::OnRefreshTryClick},
        {L"Button_CertInfo_RefreshDevice", "STRING_BUTTON_CERT_REFRESH", &CUIMainFrame::OnRefreshDeviceClick},
        {L"Label_status_no_device", "STRING_LABEL_STATUS_NO_DEVICE", nullptr},
        {L"Label_status_connecting_device", "STRING_LABEL_STATUS_CONNECTING_DEVICE", nullptr},
    };
    for (const ControlText& entry : kControls) {
        CControlUI* control = m_pm_.FindControl(entry.name);
        if (!control) continue;
        if (entry.click) control->OnNotify += MakeDelegate(this, entry.click);
        control->SetText(GetLanguageString(entry.key));
    }
    if (CControlUI* keys = m_pm_.FindControl(L"VLayout_LeftDevices_Items"))
        keys->SetAccName(GetLanguageString("STRING_ACC_KEY_LIST"));
    if (CControlUI* root = m_pm_.GetRoot()) root->SetAccName(GetLanguageString("STRING_TITLE"));
    if (UserSettings::Instance().GetIsShowNotifyNoDeviceCertExpireWnd()) RunServiceThread();
}

CControlUI* CUIMainFrame::CreateControl(const wchar_t* pstrClass)
{
    if (pstrClass && _wcsicmp(pstrClass, L"KeyOption") == 0) return new CKeyOptionUI;
    return nullptr;
}

void CUIMainFrame::RegisterHostMessages()
{
    if (RegisterHostMessage(m_hWnd, kHostMsgDeviceChanged)) RegisterHostMessage(m_hWnd, kHostMsgDetecting);
}

void CUIMainFrame::SelectMainView(int page)
{
    if (auto* tabs = ControlCast<CTabLayoutUI>(m_pm_.FindControl(L"TabLayout_Cert_MainView")))
        tabs->SelectItem(page);
}

bool CUIMainFrame::OnRefreshDeviceClick(TNotifyUI& msg)
{
    if (msg.sType != L"click") return false;
    TryBroadcastHostMessage(kHostMsgRefreshRequest, [this] { SelectMainView(2); });
    return false;
}

bool CUIMainFrame::OnRefreshTryClick(TNotifyUI& msg)
{
    if (msg.sType == L"click") SelectMainView(0);
    return false;
}

LRESULT CUIMainFrame::OnDeviceRefreshEvent(WPARAM, LPARAM)
{
    return GuardBoundary("CUIMainFrame::OnDeviceRefreshEvent", LRESULT(1), [this]() -> LRESULT {
        LogWrite(2, "CUIMainFrame OnDeviceRefreshEvent", __LINE__);
        if (HWND dialog = ::FindWindowW(L"ZENTO_UIModifyPasswordDlg", nullptr))
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        ClearDeviceViews();

        IPluginHost* host = PluginEntry::Host();
        IPluginObject* service = nullptr;
        if (host) host->QueryPluginObject(HostGuids::DeviceService, &service);
        if (!service) return 1;
        if (IHostDeviceList* list = static_cast<IDeviceService*>(service)->GetDeviceList()) {
            const long count = list->GetDeviceCount();
            if (count <= 0) {
                LogWrite(4, "CUIMainFrame OnDeviceRefreshEvent  GetDevice Count is zero!", __LINE__);
                SelectMainView(0);
            } else {
                if (UserSettings::Instance().GetIsShowSelfWhileInsertUSBKey()) OnBeginChangeShowSelf();
                SelectMainView(1);
                for (long i = 0; i < count; ++i) {
                    if (unsigned long device = list->GetDevice(i))
                        DeviceRecordList::Instance().AddDevice(device);
                }
            }
            list->Release();
        }
        RefreshDeviceViews();
        return 1;
    });
}

void CUIMainFrame::ClearDeviceViews()
{
    DeviceRecordList::Instance().Clear();
    if (auto* list = ControlCast<CContainerUI>(m_pm_.FindControl(L"VLayout_LeftDevices_Items")))
        list->RemoveAll();
    if (auto* pages = ControlCast<CContainerUI>(m_pm_.FindControl(L"TLayout_MainCertView")))
        pages->RemoveAll();
    // The tags belong to the controls just removed; those are deleted after
    // the current message, and nothing reads a tag before then.
    m_certItemTags_.clear();
    m_exportButtonTags_.clear();
    m_unbuiltPages_.clear();
}

void CUIMainFrame::RefreshDeviceViews()
{
    const UserSettings& settings = UserSettings::Instance();
    const std::wstring preferred = settings.GetLowPriorityShowDeviceSn();
    DeviceRecord* heldBack = nullptr;
    for (const auto& record : DeviceRecordList::Instance().records) {
        if (!heldBack && !preferred.empty() &&
            _wcsicmp(record->serialNumber.c_str(), preferred.c_str()) == 0) {
            heldBack = record.get();
            continue;
        }
        AddDeviceView(record.get(), L"");
    }
    if (heldBack) AddDeviceView(heldBack, settings.GetLowPriorityShowDeviceProId());
    if (auto* pages = ControlCast<CTabLayoutUI>(m_pm_.FindControl(L"TLayout_MainCertView")))
        EnsureDevicePage(pages->GetCurSel());
    ProcessDeviceCountNotify();
}

void CUIMainFrame::AddDeviceView(DeviceRecord* record, const std::wstring& displayText)
{
    auto* pages = ControlCast<CTabLayoutUI>(m_pm_.FindControl(L"TLayout_MainCertView"));
    if (!record || !pages) return;
    const int pageIndex = pages->GetCount();

    if (auto* list = ControlCast<CContainerUI>(m_pm_.FindControl(L"VLayout_LeftDevices_Items"))) {
        CControlUI* built = BuildSubLayout(L"SubXml/OptionLeftDevice.xml", nullptr);
        auto* item = ControlCast<COptionUI>(built);
        if (!item) {
            delete built;
            return;
        }
        const std::wstring& serial = record->serialNumber;
        item->SetUserData(serial);
        item->SetTag(static_cast<UINT_PTR>(pageIndex));
        item->OnNotify += MakeDelegate(this, &CUIMainFrame::OnDeviceOptionNotify);
        item->SetText(displayText.empty() ? record->typeName : displayText);
        // Two keys of one type share a name; the serial number tells them
        // apart, to the ear as the value and to the eye in the tooltip.
        item->SetAccValue(serial);
        item->SetToolTip(
            FormatLanguageText(GetLanguageString("STRING_TOOLTIP_DEVICE_ITEM"), {record->label, serial}));
        // A tooltip would otherwise name the item; its name stays its text.
        item->SetAccName(item->GetText());
        list->AddAt(item, 0);
        if (list->GetCount() == 1) item->Selected(true);
    }

    // The page itself is built when it is first shown: a device event costs
    // the one page the user sees, not every key's.
    pages->Add(new CVerticalLayoutUI);
    m_unbuiltPages_.push_back(record);
}

void CUIMainFrame::EnsureDevicePage(int index)
{
    auto* pages = ControlCast<CTabLayoutUI>(m_pm_.FindControl(L"TLayout_MainCertView"));
    if (!pages || index < 0 || index >= static_cast<int>(m_unbuiltPages_.size())) return;
    DeviceRecord* record = m_unbuiltPages_[static_cast<size_t>(index)];
    auto* holder = ControlCast<CContainerUI>(pages->GetItemAt(index));
    if (!record || !holder) return;
    m_unbuiltPages_[static_cast<size_t>(index)] = nullptr;

    CControlUI* page = BuildSubLayout(L"SubXml/VLayoutCertContain.xml", nullptr);
    if (!page) return;
    const std::wstring& name = record->typeName;
    if (CControlUI* label = m_pm_.FindSubControlByName(page, L"Label_DeviceAndSN")) label->SetText(name);
    if (CControlUI* certificates = m_pm_.FindSubControlByName(page, L"VLayout_AllCertView"))
        certificates->SetAccName(GetLanguageString("STRING_ACC_CERT_LIST"));
    if (auto* attributeTabs = FindIn<CTabLayoutUI>(page, L"TLayout_CertArrShow")) {
        if (auto* rows = BuildSubLayoutAs<CContainerUI>(L"SubXml/HLayoutCertArrShowContain.xml")) {
            rows->SetAccName(GetLanguageString("STRING_ACC_DEVICE_DETAILS"));
            AddAttributeRow(GetLanguageString("STRING_SHOW_CERTATT_DEVICE_TYPE"), name, rows);
            AddAttributeRow(GetLanguageString("STRING_SHOW_CERTATT_DEVICE_SN"), record->serialNumber, rows);
            AddAttributeRow(GetLanguageString("STRING_SHOW_CERTATT_DEVICE_LABEL"), record->label, rows);
            attributeTabs->Add(rows);
        }
    }
    SetupKeyButtons(page, record);
    const std::vector<CertGroup> groups = GroupCertificates(*record);
    for (size_t i = 0; i < groups.size(); ++i) AddCertGroupView(page, groups[i], record, static_cast<int>(i));
    holder->Add(page);
}

void CUIMainFrame::ShowDevicePage(int index)
{
    auto* pages = ControlCast<CTabLayoutUI>(m_pm_.FindControl(L"TLayout_MainCertView"));
    if (!pages) return;
    EnsureDevicePage(index);
    pages->SelectItem(index);
    if (auto* attributeTabs = FindIn<CTabLayoutUI>(pages->GetItemAt(index), L"TLayout_CertArrShow"))
        attributeTabs->SelectItem(0);
}

bool CUIMainFrame::OnDeviceOptionNotify(TNotifyUI& msg)
{
    if (msg.sType != L"click" || !msg.pSender) return false;
    ShowDevicePage(static_cast<int>(msg.pSender->GetTag()));
    return false;
}

void CUIMainFrame::OnBeginChangeShowSelf()
{
    LogWrite(2, "CUIMainFrame  OnBeginChangeShowSelf", __LINE__);
    WriteHostCommand(PluginIds::Self, kShowSelfParameters);
    BroadcastHostMessage(kHostMsgRunCommand);
}

CControlUI* CUIMainFrame::BuildSubLayout(const wchar_t* file, IDialogBuilderCallback* callback)
{
    std::unique_ptr<CDialogBuilder>& builder = m_layoutBuilders_[file];
    if (builder) return builder->CreateAgain(callback, &m_pm_);
    builder = std::make_unique<CDialogBuilder>();
    CControlUI* built = builder->Create(file, nullptr, callback, &m_pm_);
    // A layout that did not build is tried afresh next time.
    if (!built) builder.reset();
    return built;
}

LRESULT CUIMainFrame::OnDisplayCertMessage(WPARAM wParam, LPARAM)
{
    GuardBoundaryVoid("CUIMainFrame::OnDisplayCertMessage", [&] {
        Pki::ScopedCertificate certificate(static_cast<unsigned long>(wParam));
        if (!certificate) return;
        const bool hadFocus = ::GetFocus() == m_hWnd;
        CModalLoopScope loop;
        ZentoPKIUIDisplayCert(m_hWnd, certificate.get());
        // Released meanwhile: the window is going, nothing to give the focus back to.
        if (loop.Abandoned()) return;
        // A keyboard user continues on the row that opened the dialog, not
        // in a window that nobody focuses.
        if (hadFocus && !::GetFocus() && ::IsWindow(m_hWnd)) ::SetFocus(m_hWnd);
    });
    return 1;
}

LRESULT CUIMainFrame::OnChangeDevicePinMessage(WPARAM wParam, LPARAM)
{
    GuardBoundaryVoid("CUIMainFrame::OnChangeDevicePinMessage",
                      [&] { ChangeDevicePin(m_hWnd, static_cast<unsigned long>(wParam)); });
    return 1;
}

LRESULT CUIMainFrame::OnHostRunCommandMessage(WPARAM, LPARAM)
{
    return 1;
}

LRESULT CUIMainFrame::OnHostDetectingMessage(WPARAM, LPARAM)
{
    SelectMainView(2);
    return 1;
}

// ---- Service thread ------------------------------------------------------------------

void CUIMainFrame::RunServiceThread()
{
    // The wait ends early when the frame goes, so a plug-in unloaded before
    // the delay has passed does not leave a thread behind in the host.
    m_serviceStop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_serviceStop_) {
        LogWrite(4, "[RunServiceThread][CreateEvent Fail]", __LINE__, nullptr,
                 static_cast<int>(::GetLastError()));
        return;
    }
    uintptr_t thread = _beginthreadex(nullptr, 0, &CUIMainFrame::ServiceThreadProc, this, 0, nullptr);
    if (!thread) {
        LogWrite(4, "[RunServiceThread][_beginthreadex Fail]", __LINE__);
        m_serviceStop_.reset();
        return;
    }
    m_serviceThread_.reset(reinterpret_cast<HANDLE>(thread));
}

void CUIMainFrame::StopServiceThread()
{
    if (m_serviceStop_) ::SetEvent(m_serviceStop_.get());
    if (m_serviceThread_) ::WaitForSingleObject(m_serviceThread_.get(), INFINITE);
    m_serviceThread_.reset();
    m_serviceStop_.reset();
}

bool CUIMainFrame::IsServiceThreadRunning() const
{
    return m_serviceThread_ && ::WaitForSingleObject(m_serviceThread_.get(), 0) == WAIT_TIMEOUT;
}

DWORD CUIMainFrame::ServiceDelayMilliseconds()
{
    const int minutes = UserSettings::Instance().GetNoDeviceCertNotifyTime();
    // A negative setting waits for ever: the check never runs.
    if (minutes < 0) return INFINITE;
    if (minutes == 0) return 0;
    // Beyond this the delay would reach INFINITE; such a setting means "much later".
    constexpr int kMaxMinutes = static_cast<int>((INFINITE - 1) / 60000);
    return static_cast<DWORD>(minutes > kMaxMinutes ? kMaxMinutes : minutes) * 60000u;
}

unsigned __stdcall CUIMainFrame::ServiceThreadProc(void* argument)
{
    return GuardBoundary("CUIMainFrame::ServiceThreadProc", 0u, [argument]() -> unsigned {
        auto* frame = static_cast<CUIMainFrame*>(argument);
        LogWrite(4, "[ServiceThreadProc][enter]", __LINE__);
        if (::WaitForSingleObject(frame->m_serviceStop_.get(), ServiceDelayMilliseconds()) != WAIT_TIMEOUT)
            return 1;  // the frame is going away
        frame->RunServicePass();
        return 1;
    });
}
