// The absent-key pop-up; see UINotifyNoDeviceCertEventWnd.h.
#include "UI/UINotifyNoDeviceCertEventWnd.h"

#include <algorithm>

#include "Cert/Cert_Util.h"
#include "DuiLib/ModalLoop.h"
#include "Plugin/HostInterfaces.h"
#include "UI/ForbidNotifyMarkers.h"
#include "UI/MenuWnd.h"
#include "UI/UIMainFrame.h"
#include "UI/NoDeviceNotifySchedule.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

namespace {

const NotifyPopupClassInfo kNoDeviceInfo = {
    L"ZentoLumoraNoDeviceNotifyCertEventWnd",
    L"NotifyNoDeviceCertEventWnd.xml",
    WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
    WS_POPUP | WS_VISIBLE | WS_SYSMENU,
    0,  // no countdown: the user closes it
    0,
    0,  // no mouse tracking
    false,  // no countdown
    true,
    true,  // placed off-screen before it shows, so it never flashes in place
    SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE,  // a slide step never activates
    false,
    true,  // created visible at the slide-in start
};

constexpr int kSubjectDisplayName = 16;

std::wstring DisplayName(unsigned long certificate)
{
    std::wstring name;
    (void)Cert_Util::GetCertStringAttribute(certificate, kSubjectDisplayName, name);
    return name;
}

unsigned long NewCertificate(const std::string& stored)
{
    if (stored.empty()) return 0;
    return ZentoPKICertNewCert(reinterpret_cast<const unsigned char*>(stored.data()),
                               static_cast<unsigned long>(stored.size()));
}

}  // namespace

BEGIN_MESSAGE_MAP(CUINotifyNoDeviceCertEventWnd, CUINotifyPopupWnd)
ON_MESSAGE(CNoDeviceNotifiyCertMenuWnd::kForbidNotifyMessage, ForbidNoDeviceCertNotify)
ON_MESSAGE(WM_DESTROY, OnDestroyPopup)
END_MESSAGE_MAP()

CUINotifyNoDeviceCertEventWnd::CUINotifyNoDeviceCertEventWnd() : CUINotifyPopupWnd(kNoDeviceInfo) {}

void CUINotifyNoDeviceCertEventWnd::InitPopupContent()
{
    BindClick(L"Button_UseKeyReviewCert", &CUINotifyNoDeviceCertEventWnd::OnRenewClick);
    BindClick(L"Button_Close", &CUINotifyNoDeviceCertEventWnd::OnCloseClick);
    BindClick(L"Button_NotifySomeTime", &CUINotifyNoDeviceCertEventWnd::OnNotifyLaterClick);
    SetControlText(L"Label_Title", GetLanguageString("STRING_NOTICE_NODEVICE_WINDOW_TITLE"));
    if (DuiLib::CControlUI* list = m_pm_.FindControl(L"VLayout_CertNotifyContain"))
        list->SetAccName(GetLanguageString("STRING_ACC_NOTIFY_LIST"));
    SetControlText(L"Button_NotifySomeTime", GetLanguageString("STRING_NOTICE_NODEVICE_WINDOW_LATER_BUTTON"));
    SetControlText(L"Button_UseKeyReviewCert",
                   GetLanguageString("STRING_NOTICE_NODEVICE_WINDOW_RENEW_BUTTON"));
    HideUnlessPluginInstalled(L"Button_UseKeyReviewCert", PluginIds::CertRenewal);
    if (m_records_) {
        for (const auto& record : *m_records_) {
            if (record && !AddNoDeviceCertItem(*record)) break;
        }
    }
    PostMessage(WM_NOTIFY_SLIDE, kSlideIn, 0);
}

bool CUINotifyNoDeviceCertEventWnd::AddNoDeviceCertItem(const CachedDeviceRecord& record)
{
    auto* list = DuiLib::ControlCast<DuiLib::CContainerUI>(m_pm_.FindControl(L"VLayout_CertNotifyContain"));
    if (!list) return false;
    DuiLib::CDialogBuilder builder;
    DuiLib::CControlUI* line =
        builder.Create(L"SubXml/HLayoutNoDeviceCertNotifyItem.xml", nullptr, this, &m_pm_, nullptr);
    if (!line) return false;

    const std::string* source = &record.m_signCert_;
    Pki::ScopedCertificate certificate(NewCertificate(*source));
    if (!certificate) certificate.reset(NewCertificate(*(source = &record.m_encCert_)));
    if (!certificate) {
        delete line;
        return true;
    }
    const unsigned long handle = certificate.get();
    m_lineCerts_.push_back(std::move(certificate));
    m_lineSources_[handle] = *source;
    const std::wstring name = DisplayName(handle);

    if (DuiLib::CControlUI* label = m_pm_.FindSubControlByName(line, L"Lable_CertDisplayNameItem"))
        label->SetText(name);
    if (DuiLib::CControlUI* option = m_pm_.FindSubControlByName(line, L"Option_CertShow")) {
        option->SetToolTip(name);
        option->SetTag(handle);
        option->OnNotify += DuiLib::MakeDelegate(this, &CUINotifyNoDeviceCertEventWnd::OnCertLineDoubleClick);
    }
    if (DuiLib::CControlUI* menu = m_pm_.FindSubControlByName(line, L"Button_Menu")) {
        menu->SetAccName(GetLanguageString("STRING_ACC_MORE_ACTIONS"));
        menu->SetToolTip(menu->GetAccName());
        menu->SetTag(handle);
        menu->OnNotify += DuiLib::MakeDelegate(this, &CUINotifyNoDeviceCertEventWnd::OnLineMenuClick);
    }
    if (DuiLib::CControlUI* days = m_pm_.FindSubControlByName(line, L"Lable_CertRemainDayItem")) {
        days->SetText(record.m_remainDays_ == 0
                          ? GetLanguageString("STRING_SHOW_CERTATT_EXPIRE_ONEDAY")
                          : FormatLanguageText(GetLanguageString("STRING_SHOW_CERTATT_EXPIRE_FORMAT_DAY"), {std::to_wstring(record.m_remainDays_)}));
    }
    list->Add(line);
    return true;
}

LRESULT CUINotifyNoDeviceCertEventWnd::ForbidNoDeviceCertNotify(WPARAM, LPARAM)
{
    if (!m_selectedCert_) return 1;
    // The question works on its own copy of the chosen line: whatever
    // happens to the selection while it is open, the answer marks the
    // certificate it named.
    Pki::ScopedCertificate certificate = std::move(m_selectedCert_);
    DuiLib::CControlUI* line = m_selectedLine_;
    m_selectedLine_ = nullptr;
    const auto sourceEntry = m_lineSources_.find(m_selectedLineCert_);
    const std::string source = sourceEntry == m_lineSources_.end() ? std::string() : sourceEntry->second;
    const std::wstring question = FormatLanguageText(
        GetLanguageString("STRING_NOTICE_NODEVICE_WARNING_FORBIT_CERT"), {DisplayName(certificate.get())});
    const std::wstring caption = GetLanguageString("STRING_TITLE_NOTICE");
    int answer = 0;
    {
        // Owned by the pop-up, which stays disabled meanwhile: no other
        // line's menu opens under the question.
        DuiLib::CModalLoopScope loop;
        answer = ::MessageBoxW(m_hWnd, question.c_str(), caption.c_str(),
                               MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2 | MB_SETFOREGROUND);
        if (loop.Abandoned()) return 1;
    }
    if (answer != IDYES) return 1;
    // A marker that cannot be written is not reported: the line goes anyway,
    // and the worst case is one more reminder later.
    (void)WriteForbidNotifyMarker(certificate.get());
    ForgetRecordOf(source);
    if (!m_hWnd) return 1;  // closed while the question was open: its lines went with it
    auto* list = DuiLib::ControlCast<DuiLib::CContainerUI>(m_pm_.FindControl(L"VLayout_CertNotifyContain"));
    if (list && line && list->GetItemIndex(line) >= 0) {
        list->Remove(line);
        if (list->GetCount() == 0) PostMessage(WM_CLOSE);
    }
    return 1;
}

void CUINotifyNoDeviceCertEventWnd::ForgetRecordOf(const std::string& source)
{
    if (!m_records_ || source.empty()) return;
    auto handled = [&](const std::unique_ptr<CachedDeviceRecord>& record) {
        return record && (record->m_signCert_ == source || record->m_encCert_ == source);
    };
    m_records_->erase(std::remove_if(m_records_->begin(), m_records_->end(), handled), m_records_->end());
}

void CUINotifyNoDeviceCertEventWnd::PostponeNoDeviceNotify()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    if (!m_records_) return;
    bool any = false;
    int smallest = 0;
    for (const auto& record : *m_records_) {
        if (!record) continue;
        smallest = any ? std::min(smallest, record->m_remainDays_) : record->m_remainDays_;
        any = true;
    }
    if (!any) return;
    const int days = NoDeviceNotifyPostponeDays(smallest);
    if (days == 0) return;
    (void)UserSettings::Instance().SetNextNotifyDate(FormatPostponedNotifyDate(now, days));
}

void CUINotifyNoDeviceCertEventWnd::OnSlideFinished(int)
{
    // Taken only while the pop-up is the active window: a pop-up that came
    // forward after this one keeps the foreground, and this one's button
    // has the focus when the user comes back to it.
    if (DuiLib::CControlUI* renew = m_pm_.FindControl(L"Button_UseKeyReviewCert")) m_pm_.FocusIfActive(renew);
}

LRESULT CUINotifyNoDeviceCertEventWnd::OnDestroyPopup(WPARAM, LPARAM)
{
    // The lines go with the window; what they pointed at goes now.
    m_selectedCert_.reset();
    m_selectedLine_ = nullptr;
    m_lineCerts_.clear();
    m_lineSources_.clear();
    return Default();
}

bool CUINotifyNoDeviceCertEventWnd::OnRenewClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    RequestHostCommand(PluginIds::CertRenewal, kShowWindowCommand);
    // Every certificate of the list is handed to the renewal.
    if (m_records_) m_records_->clear();
    PostMessage(WM_CLOSE);
    return true;
}

bool CUINotifyNoDeviceCertEventWnd::OnCloseClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    PostMessage(WM_CLOSE);
    return true;
}

bool CUINotifyNoDeviceCertEventWnd::OnNotifyLaterClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    PostponeNoDeviceNotify();
    PostMessage(WM_CLOSE);
    return true;
}

bool CUINotifyNoDeviceCertEventWnd::OnCertLineDoubleClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_DBCLICK) return false;
    const unsigned long handle = static_cast<unsigned long>(msg.pSender->GetTag());
    if (!handle) return true;
    Pki::ScopedCertificate copy(ZentoPKICertDupCert(handle));
    if (!copy) return true;
    // The main window frees the copy once it has shown it; without a live
    // main window the request (and the copy) goes nowhere.
    const HWND mainFrame = g_hMainFrameWnd;
    if (mainFrame && ::IsWindow(mainFrame) && ::PostMessageW(mainFrame, kMsgDisplayCert, copy.get(), 0))
        (void)copy.release();
    return true;
}

bool CUINotifyNoDeviceCertEventWnd::OnLineMenuClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    const unsigned long handle = static_cast<unsigned long>(msg.pSender->GetTag());
    if (!handle) return true;
    m_selectedCert_.reset(ZentoPKICertDupCert(handle));
    m_selectedLine_ = msg.pSender->GetParent();
    m_selectedLineCert_ = handle;
    POINT at = {msg.ptMouse.x - 70, msg.ptMouse.y + 8};
    ::ClientToScreen(m_hWnd, &at);
    ShowPopupMenuAt(m_hWnd, at.x, at.y);
    return true;
}

void CUINotifyNoDeviceCertEventWnd::ShowPopupMenuAt(HWND owner, int x, int y)
{
    (void)CNoDeviceNotifiyCertMenuWnd::Open(owner, x, y);
}
