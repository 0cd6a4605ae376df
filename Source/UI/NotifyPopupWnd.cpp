// The pop-ups' shared mechanics; see NotifyPopupWnd.h.
//
// Idle cost matters here: the pop-ups live as long as the main window, so
// between notifications nothing of theirs may tick. The move timer exists
// only while a slide runs, and the countdown worker sleeps in a wait on its
// events until a slide-in ends.
#include "UI/NotifyPopupWnd.h"

#include <windowsx.h>

#include "DuiLib/BoundaryGuard.h"
#include "Plugin/HostCommandMailbox.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/HostMessaging.h"
#include "Utils/LanguageStrings.h"
#include "Utils/log.h"

BEGIN_MESSAGE_MAP(CUINotifyPopupWnd, CUIWnd)
ON_MESSAGE(WM_NCHITTEST, OnNcHitTestPopup)
ON_MESSAGE(WM_NOTIFY_AUTOHIDE, OnAutoHideDue)
ON_MESSAGE(WM_NOTIFY_SLIDE, OnSlideRequest)
ON_MESSAGE(WM_TIMER, OnTimerMessage)
END_MESSAGE_MAP()

CUINotifyPopupWnd::CUINotifyPopupWnd(const NotifyPopupClassInfo& info)
    : m_info_(info), m_hideDelay_(info.hideDelayAtConstruction)
{
}

CUINotifyPopupWnd::~CUINotifyPopupWnd()
{
    StopAutoHideWorker();
    StopMoveTimer();
    // Destroyed here rather than by the base, so the window's last messages
    // still reach this class's handlers.
    if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CUINotifyPopupWnd::CreateWnd(CWnd* parent)
{
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hInstance = Framework::GetInstanceHandle();
    wc.lpszClassName = m_info_.windowClassName;
    if (!Framework::RegisterWindowClass(wc)) return FALSE;
    const RECT initial = {0, 0, 820, 620};
    // A window created visible is activated by its creation: a pop-up
    // created while another one comes forward would take the focus back
    // from it. It is made hidden and shown without activation instead,
    // visible all the same; only its slide-in may take the foreground.
    if (!CreateEx(m_info_.exStyle, m_info_.windowClassName, m_info_.windowClassName, m_info_.style & ~WS_VISIBLE,
                  initial, parent, 0))
        return FALSE;
    if (m_info_.style & WS_VISIBLE) ShowWindow(SW_SHOWNOACTIVATE);

    // The skin decides the real size (already scaled to the window's dpi).
    const SIZE size = m_pm_.GetInitSize();
    if (size.cx > 0 && size.cy > 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_info_.placeAtSlideStartOnCreate) {
        RECT rc;
        GetWindowRect(&rc);
        m_slide_ = PlanSlide(GetPopupWorkArea(), rc.right - rc.left, rc.bottom - rc.top, kSlideIn);
        m_moveStep_ = 0;
        MoveWindowTo(m_slide_.startRight, m_slide_.startTop);
    }

    if (m_info_.countsDown && !m_worker_) {
        m_cancel_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_start_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!m_cancel_ || !m_start_) {
            LogWrite(4, "CUINotifyPopupWnd::CreateWnd CreateEvent failed", __LINE__);
            m_cancel_.reset();
            m_start_.reset();
            return TRUE;  // the window works; it just never hides by itself
        }
        m_quit_.store(0);
        m_workerTarget_.store(m_hWnd);
        m_worker_.reset(::CreateThread(nullptr, 0, &CUINotifyPopupWnd::AutoHideThreadProc, this, 0, nullptr));
        if (!m_worker_) LogWrite(4, "CUINotifyPopupWnd::CreateWnd CreateThread failed", __LINE__);
    }
    return TRUE;
}

std::wstring CUINotifyPopupWnd::GetSkinFile()
{
    return m_info_.skinFile;
}

bool CUINotifyPopupWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The paint manager reports hover as handled, so the pop-up looks first.
    if (m_info_.hideDelayOnMouseLeave > 0 && m_worker_) {
        if (message == WM_MOUSEHOVER) {
            if (!m_mouseOver_) CancelCountdown();
            m_mouseOver_ = 1;
        } else if (message == WM_MOUSELEAVE) {
            if (m_mouseOver_) {
                SetHideDelay(m_info_.hideDelayOnMouseLeave);
                StartCountdown();
            }
            m_mouseOver_ = 0;
        }
    }
    return CUIWnd::HandleMessage(message, wParam, lParam, result);
}

void CUINotifyPopupWnd::Notify(DuiLib::TNotifyUI& msg)
{
    if (msg.sType == DuiLib::DUI_MSGTYPE_WINDOWINIT) {
        SetControlText(L"Label_Title", GetLanguageString("STRING_TITLE"));
        if (DuiLib::CControlUI* root = m_pm_.GetRoot()) root->SetAccName(GetLanguageString("STRING_TITLE"));
        if (DuiLib::CControlUI* close = m_pm_.FindControl(L"Button_Close"))
            close->SetToolTip(GetLanguageString("STRING_WINDOW_BUTTON_CLOSE"));
        InitPopupContent();
    }
    CUIWnd::Notify(msg);
}

void CUINotifyPopupWnd::SetControlText(const wchar_t* name, const std::wstring& text)
{
    if (DuiLib::CControlUI* control = m_pm_.FindControl(name)) control->SetText(text);
}

void CUINotifyPopupWnd::HideUnlessPluginInstalled(const wchar_t* name, const wchar_t* pluginId)
{
    if (IsHostPluginInstalled(pluginId)) return;
    if (DuiLib::CControlUI* control = m_pm_.FindControl(name)) control->SetVisible(false);
}

bool CUINotifyPopupWnd::HideOnClick(DuiLib::TNotifyUI& msg)
{
    if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK) return false;
    ShowWindow(SW_HIDE);
    return true;
}

RECT CUINotifyPopupWnd::GetPopupWorkArea()
{
    RECT work = {0, 0, 0, 0};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void CUINotifyPopupWnd::StartSlide(int direction)
{
    direction = direction == kSlideOut ? kSlideOut : kSlideIn;
    if (m_worker_) CancelCountdown();
    RECT rc;
    GetWindowRect(&rc);
    m_slide_ = PlanSlide(GetPopupWorkArea(), rc.right - rc.left, rc.bottom - rc.top, direction);
    if (direction == kSlideIn && m_info_.hideDelayOnSlideIn > 0) SetHideDelay(m_info_.hideDelayOnSlideIn);
    m_moveStep_ = 0;

    // Who comes to the front is the class's decision, taken once as it
    // starts to slide in; nothing else of a slide activates a window. Every
    // activation makes the window's focus move, and two pop-ups sliding in
    // together with activating steps handed the focus back and forth fifty
    // times in half a second, each time announced by a screen reader.
    const bool takeForeground = m_info_.foregroundAndTopmost && direction == kSlideIn;
    if (m_info_.placeBeforeShow) MoveWindowTo(m_slide_.startRight, m_slide_.startTop);
    ShowWindow(takeForeground ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (takeForeground) ::SetForegroundWindow(m_hWnd);
    if (m_info_.foregroundAndTopmost) SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    if (!m_info_.placeBeforeShow) MoveWindowTo(m_slide_.startRight, m_slide_.startTop);
    // A screen reader announces the news without the pop-up taking a focus
    // it would not take otherwise.
    if (direction == kSlideIn) m_pm_.NotifyAlert();

    StopMoveTimer();
    if (::SetTimer(m_hWnd, kMoveTimerId, kMoveTimerPeriodMs, nullptr)) m_timerRunning_ = true;
}

void CUINotifyPopupWnd::OnMoveWindowTimer()
{
    const int step = ++m_moveStep_;
    if (step >= kSlideSteps) {
        MoveWindowTo(m_slide_.targetRight, m_slide_.targetTop);
        StopMoveTimer();
        OnSlideFinished(m_slide_.direction);
        return;
    }
    if (step < 0)
        LogWrite(4, "CUINotifyDeviceEventWnd::OnMoveWindowTimer if(m_moveStep_>24||)m_moveStep_<0) ",
                 __LINE__);
    const POINT at = SlidePositionAt(m_slide_, step);
    MoveWindowTo(at.x, at.y);
}

void CUINotifyPopupWnd::OnSlideFinished(int direction)
{
    if (!m_info_.countsDown) return;
    if (direction == kSlideIn) {
        if (!m_mouseOver_) StartCountdown();
    } else {
        ShowWindow(SW_HIDE);
    }
}

void CUINotifyPopupWnd::MoveWindowTo(int right, int top)
{
    if (!m_hWnd) return;
    if (m_info_.moveOnlyWhenVisible && !IsWindowVisible()) return;
    RECT rc;
    GetWindowRect(&rc);
    SetWindowPos(nullptr, right - (rc.right - rc.left), top, 0, 0, m_info_.moveFlags);
}

void CUINotifyPopupWnd::RequestHostCommand(const std::wstring& pluginId, const std::wstring& command)
{
    SendHostCommand(pluginId, command, HostMessages::RunMailboxCommand);
}

LRESULT CUINotifyPopupWnd::OnNcHitTestPopup(WPARAM, LPARAM lParam)
{
    const LRESULT hit = HitTestFrame(m_hWnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    return hit ? hit : Default();
}

LRESULT CUINotifyPopupWnd::OnAutoHideDue(WPARAM, LPARAM)
{
    if (IsWindowVisible()) PostMessage(WM_NOTIFY_SLIDE, kSlideOut, 0);
    return 0;
}

LRESULT CUINotifyPopupWnd::OnSlideRequest(WPARAM wParam, LPARAM)
{
    StartSlide(static_cast<int>(wParam));
    return 1;
}

LRESULT CUINotifyPopupWnd::OnTimerMessage(WPARAM wParam, LPARAM)
{
    if (wParam == kMoveTimerId) OnMoveWindowTimer();
    return 0;
}

void CUINotifyPopupWnd::StartCountdown()
{
    // Cancel is cleared before start is raised: the other order lets the
    // worker wake, find cancel still set and lose the countdown.
    ::ResetEvent(m_cancel_.get());
    ::SetEvent(m_start_.get());
}

void CUINotifyPopupWnd::CancelCountdown()
{
    ::SetEvent(m_cancel_.get());
    ::ResetEvent(m_start_.get());
}

void CUINotifyPopupWnd::StopMoveTimer()
{
    if (m_timerRunning_ && m_hWnd) ::KillTimer(m_hWnd, kMoveTimerId);
    m_timerRunning_ = false;
}

void CUINotifyPopupWnd::StopAutoHideWorker()
{
    if (!m_worker_) return;
    m_quit_.store(1);
    // Whichever event it waits on wakes it; it sees the quit and returns.
    // The object is never freed under its running worker.
    ::SetEvent(m_cancel_.get());
    ::SetEvent(m_start_.get());
    ::WaitForSingleObject(m_worker_.get(), INFINITE);
    m_worker_.reset();
    m_workerTarget_.store(nullptr);
    m_cancel_.reset();
    m_start_.reset();
}

DWORD WINAPI CUINotifyPopupWnd::AutoHideThreadProc(void* param)
{
    return DuiLib::GuardBoundary("CUINotifyPopupWnd::AutoHideThreadProc", DWORD(0), [param]() -> DWORD {
        auto* self = static_cast<CUINotifyPopupWnd*>(param);
        HANDLE start = self->m_start_.get();
        HANDLE cancel = self->m_cancel_.get();
        // A wait that fails (its events gone) ends the worker: retrying it
        // would only spin.
        while (!self->m_quit_.load()) {
            if (::WaitForMultipleObjects(1, &start, FALSE, INFINITE) == WAIT_FAILED) break;
            if (self->m_quit_.load()) break;
            const DWORD delay = static_cast<DWORD>(self->m_hideDelay_.load());
            const DWORD waited = ::WaitForSingleObject(cancel, delay);
            if (waited == WAIT_FAILED) break;
            if (waited == WAIT_TIMEOUT)
                ::PostMessageW(self->m_workerTarget_.load(), WM_NOTIFY_AUTOHIDE, 0, 0);
        }
        return 1;
    });
}
