// What the three sliding notification pop-ups share: placement at the
// bottom-right corner of the work area, the 24-step slide on a 20 ms timer
// (eased in, linear out), and for the device and certificate pop-ups the
// auto-hide countdown, run by a worker thread that only waits on the pop-up's
// own two events and is paused while the mouse rests on the window. The classes
// differ by one row of NotifyPopupClassInfo and by their own content.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "DuiLib/ScopedWin.h"
#include "UI/SlideCurve.h"
#include "UI/UIWnd.h"

// Messages of the pop-ups.
constexpr UINT WM_NOTIFY_AUTOHIDE = WM_USER + 100;  // worker → pop-up: countdown ran out
constexpr UINT WM_NOTIFY_SLIDE = WM_USER + 101;     // wParam 0 slide in, 1 slide out

// Command that asks a plug-in of the host to show its window.
constexpr const wchar_t* kShowWindowCommand = L"/ShowWindow=show";

// One row of the per-class table.
struct NotifyPopupClassInfo {
    const wchar_t* windowClassName;
    const wchar_t* skinFile;
    DWORD exStyle;
    DWORD style;
    int hideDelayAtConstruction;  // ms
    int hideDelayOnSlideIn;       // ms; 0 keeps the current delay
    int hideDelayOnMouseLeave;    // ms; 0: the class does not track the mouse
    bool countsDown;              // a countdown worker hides the pop-up
    bool foregroundAndTopmost;    // taken when a slide-in starts (topmost at every slide)
    bool placeBeforeShow;         // move to the start first, then show
    UINT moveFlags;               // SetWindowPos flags of MoveWindowTo
    bool moveOnlyWhenVisible;
    bool placeAtSlideStartOnCreate;
};

class CUINotifyPopupWnd : public CUIWnd {
public:
    static constexpr UINT_PTR kMoveTimerId = 0x1000;
    static constexpr UINT kMoveTimerPeriodMs = 20;

    explicit CUINotifyPopupWnd(const NotifyPopupClassInfo& info);
    ~CUINotifyPopupWnd() override;

    // Registers the class, creates the window (size from the skin) under
    // `parent` and, for classes with a countdown, starts the worker.
    BOOL CreateWnd(CWnd* parent) override;
    std::wstring GetSkinFile() override;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Starts a slide from the position the direction implies (a running
    // slide is replaced).
    void StartSlide(int direction);
    void OnMoveWindowTimer();
    // Puts the window's right edge at `right` and its top at `top`.
    void MoveWindowTo(int right, int top);
    // Asks the host to pass a command to a plug-in: mailbox text, then 1734.
    static void RequestHostCommand(const std::wstring& pluginId, const std::wstring& command);
    // The work area the pop-ups slide into.
    static RECT GetPopupWorkArea();

    int GetMoveStep() const { return m_moveStep_; }
    int GetSlideDirection() const { return m_slide_.direction; }
    bool IsSliding() const { return m_timerRunning_; }
    int GetHideDelay() const { return m_hideDelay_.load(); }
    bool IsMouseOver() const { return m_mouseOver_ != 0; }
    bool HasAutoHideWorker() const { return static_cast<bool>(m_worker_); }

protected:
    DECLARE_MESSAGE_MAP()

    // The class's own set-up at "windowinit": subscriptions and texts.
    virtual void InitPopupContent() = 0;
    // Called when a slide has reached its target and the timer is gone.
    virtual void OnSlideFinished(int direction);
    void SetHideDelay(int milliseconds) { m_hideDelay_.store(milliseconds); }
    // Finds a control by name and adds a "click" handler; false when missing.
    template <class T>
    bool BindClick(const wchar_t* name, bool (T::*handler)(DuiLib::TNotifyUI&))
    {
        DuiLib::CControlUI* control = m_pm_.FindControl(name);
        if (!control) return false;
        control->OnNotify += DuiLib::MakeDelegate(static_cast<T*>(this), handler);
        return true;
    }
    void SetControlText(const wchar_t* name, const std::wstring& text);
    // Hides a button that opens another plug-in unless the host has it.
    void HideUnlessPluginInstalled(const wchar_t* name, const wchar_t* pluginId);
    // "click" handler of buttons that just hide the pop-up.
    bool HideOnClick(DuiLib::TNotifyUI& msg);

    LRESULT OnNcHitTestPopup(WPARAM wParam, LPARAM lParam);
    LRESULT OnAutoHideDue(WPARAM wParam, LPARAM lParam);
    LRESULT OnSlideRequest(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimerMessage(WPARAM wParam, LPARAM lParam);

private:
    static DWORD WINAPI AutoHideThreadProc(void* param);
    void StartCountdown();
    void CancelCountdown();
    void StopMoveTimer();
    void StopAutoHideWorker();

    const NotifyPopupClassInfo& m_info_;
    SlidePlan m_slide_;
    int m_moveStep_ = 0;
    bool m_timerRunning_ = false;
    std::atomic<int> m_hideDelay_;
    int m_mouseOver_ = 0;
    std::atomic<int> m_quit_{0};
    std::atomic<HWND> m_workerTarget_{nullptr};
    // Each pop-up's own: a host that starts the plug-in twice has two pop-ups
    // of each class, and one's countdown must not wake or cancel the other's.
    DuiLib::ScopedHandle m_cancel_;  // manual reset; signalled: do not hide
    DuiLib::ScopedHandle m_start_;   // auto reset; signalled: start the countdown
    DuiLib::ScopedHandle m_worker_;
};
