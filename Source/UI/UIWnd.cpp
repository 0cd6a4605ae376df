// The skinned window base; see UIWnd.h.
//
// Message order: the framework binds the window at creation (its procedure
// runs the message maps); at WM_NCCREATE this base puts its own procedure in
// front, so the paint manager sees every message first and only what it
// leaves alone reaches the maps of the base and the concrete window.
#include "UI/UIWnd.h"

#include "DuiLib/BoundaryGuard.h"

BEGIN_MESSAGE_MAP(CUIWnd, CWnd)
ON_MESSAGE(WM_NCCREATE, OnNcCreate)
ON_MESSAGE(WM_CREATE, OnCreate)
ON_MESSAGE(WM_NCCALCSIZE, OnNcCalcSize)
ON_MESSAGE(WM_NCPAINT, OnNcPaint)
ON_MESSAGE(WM_NCACTIVATE, OnNcActivate)
ON_MESSAGE(WM_NCHITTEST, OnNcHitTest)
ON_MESSAGE(WM_SIZE, OnSize)
ON_MESSAGE(WM_GETMINMAXINFO, OnGetMinMaxInfo)
ON_MESSAGE(WM_NCDESTROY, OnNcDestroyBase)
END_MESSAGE_MAP()

CUIWnd::CUIWnd() = default;

CUIWnd::~CUIWnd()
{
    // Destroy the window while this object still answers its messages; the
    // paint manager (and with it the control tree) goes after.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

std::wstring CUIWnd::GetSkinFile()
{
    return L"skin.xml";
}

const wchar_t* CUIWnd::GetSkinType()
{
    return nullptr;
}

void CUIWnd::InitWindow() {}

void CUIWnd::OnSizeStateChanged(int) {}

void CUIWnd::Notify(DuiLib::TNotifyUI&) {}

DuiLib::CControlUI* CUIWnd::CreateControl(const wchar_t*)
{
    return nullptr;
}

bool CUIWnd::IsCaptionExcludedControl(DuiLib::CControlUI* control)
{
    if (!control) return false;
    static const wchar_t* const kExcluded[] = {L"ButtonUI",     L"ProgressUI", L"TextUI",
                                               L"FadeButtonUI", L"EditUI",     L"ComboUI"};
    std::wstring cls = control->GetClass();
    for (const wchar_t* name : kExcluded) {
        if (_wcsicmp(cls.c_str(), name) == 0) return true;
    }
    return false;
}

LRESULT CUIWnd::HitTestFrame(HWND hwnd, int x, int y)
{
    RECT rcWnd;
    ::GetWindowRect(hwnd, &rcWnd);
    RECT sizeBox = m_pm_.GetSizeBox();
    RECT caption = m_pm_.GetCaptionRect();

    bool inCaption = false;
    if (x >= rcWnd.left + caption.left && x < rcWnd.right - caption.right && y >= rcWnd.top + caption.top &&
        y < rcWnd.top + caption.bottom) {
        POINT pt = {x, y};
        ::ScreenToClient(hwnd, &pt);
        inCaption = !IsCaptionExcludedControl(m_pm_.FindControl(pt));
    }

    int row = 1;
    int column = 1;
    bool decided = false;
    if (!::IsZoomed(hwnd)) {
        if (y >= rcWnd.top - 4 && y < rcWnd.top + sizeBox.top) {
            row = 0;
            inCaption = false;
        } else if (y < rcWnd.bottom + 4 && y >= rcWnd.bottom - sizeBox.bottom) {
            row = 2;
            inCaption = false;
        }
        if (x >= rcWnd.left - 4 && x < rcWnd.left + sizeBox.left) {
            column = 0;
            inCaption = false;
            decided = true;
        } else if (x < rcWnd.right + 4 && x >= rcWnd.right - sizeBox.right) {
            column = 2;
            inCaption = false;
            decided = true;
        }
    }
    if (!decided && inCaption) row = 0;

    static const LRESULT kCodes[3][3] = {
        {HTTOPLEFT, HTTOP, HTTOPRIGHT},
        {HTLEFT, 0, HTRIGHT},
        {HTBOTTOMLEFT, HTBOTTOM, HTBOTTOMRIGHT},
    };
    if (row == 0 && column == 1) return inCaption ? HTCAPTION : HTTOP;
    return kCodes[row][column];
}

bool CUIWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return m_pm_.MessageHandler(message, wParam, lParam, result);
}

BOOL CUIWnd::PreTranslateMessage(MSG* msg)
{
    LRESULT result = 0;
    if (m_pm_.PreMessageHandler(msg->message, msg->wParam, msg->lParam, result)) return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

LRESULT CALLBACK CUIWnd::UIWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DuiLib::GuardBoundary("CUIWnd::UIWndProc", LRESULT(0), [&]() -> LRESULT {
        auto* self = reinterpret_cast<CUIWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
        LRESULT result = 0;
        // A toolkit handler that fails leaves the message to the maps and
        // default processing: WM_NCDESTROY above all must still unbind.
        const bool handled = DuiLib::GuardBoundary("CUIWnd::UIWndProc", false, [&] {
            return self->HandleMessage(message, wParam, lParam, result);
        });
        if (handled) return result;
        // A handler may have destroyed the window and, with it, a self-owned
        // object; the pointer is cleared at WM_NCDESTROY, so read it afresh
        // instead of touching what may be freed memory.
        if (reinterpret_cast<CUIWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)) != self || !::IsWindow(hwnd))
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        WNDPROC previous = self->m_oldWndProc_ ? self->m_oldWndProc_ : &::DefWindowProcW;
        return ::CallWindowProcW(previous, hwnd, message, wParam, lParam);
    });
}

LRESULT CUIWnd::OnNcCreate(WPARAM, LPARAM)
{
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CUIWnd::UIWndProc)));
    if (previous) {
        m_oldWndProc_ = previous;
        m_subclassed_ = true;
    }
    return Default();
}

LRESULT CUIWnd::OnCreate(WPARAM, LPARAM)
{
    if (Default() == -1) return -1;
    ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED);
    ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED);
    ModifyStyle(WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    m_pm_.Init(m_hWnd);
    DuiLib::CDialogBuilder builder;
    DuiLib::CControlUI* root = builder.Create(GetSkinFile(), GetSkinType(), this, &m_pm_, nullptr);
    if (!root) return -1;
    m_pm_.AttachDialog(root);
    m_pm_.AddNotifier(this);
    InitWindow();
    return 0;
}

LRESULT CUIWnd::OnNcCalcSize(WPARAM, LPARAM)
{
    return 0;
}

LRESULT CUIWnd::OnNcPaint(WPARAM, LPARAM)
{
    return Default();
}

LRESULT CUIWnd::OnNcActivate(WPARAM wParam, LPARAM)
{
    return wParam ? FALSE : TRUE;
}

LRESULT CUIWnd::OnNcHitTest(WPARAM, LPARAM)
{
    return Default();
}

LRESULT CUIWnd::OnSize(WPARAM wParam, LPARAM)
{
    int sizeType = static_cast<int>(wParam);
    if (sizeType == SIZE_MINIMIZED || sizeType == SIZE_MAXIMIZED ||
        (sizeType == SIZE_RESTORED && m_lastSizeType_ == SIZE_MAXIMIZED)) {
        OnSizeStateChanged(sizeType);
    }
    m_lastSizeType_ = sizeType;

    SIZE corner = m_pm_.GetRoundCorner();
    if (sizeType != SIZE_MINIMIZED && (corner.cx != 0 || corner.cy != 0)) {
        RECT rc;
        ::GetWindowRect(m_hWnd, &rc);
        ::OffsetRect(&rc, -rc.left, -rc.top);
        rc.right++;
        rc.bottom++;
        DuiLib::ScopedRegion region(
            ::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, corner.cx, corner.cy));
        // Once set, the region belongs to the system; only a refused one is ours to delete.
        if (region && ::SetWindowRgn(m_hWnd, region.get(), TRUE)) (void)region.release();
    } else {
        ::SetWindowRgn(m_hWnd, nullptr, TRUE);
    }
    return Default();
}

LRESULT CUIWnd::OnGetMinMaxInfo(WPARAM, LPARAM lParam)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& work = mi.rcWork;
    info->ptMaxPosition.x = 0;
    info->ptMaxPosition.y = 0;
    info->ptMaxSize.x = work.right - work.left;
    info->ptMaxSize.y = work.bottom - work.top;
    SIZE minInfo = m_pm_.GetMinInfo();
    if (minInfo.cx >= 1 && minInfo.cy >= 1) {
        info->ptMinTrackSize.x = minInfo.cx;
        info->ptMinTrackSize.y = minInfo.cy;
    }
    info->ptMaxTrackSize.x = ::GetSystemMetrics(SM_CXMAXTRACK);
    info->ptMaxTrackSize.y = ::GetSystemMetrics(SM_CYMAXTRACK);
    return 0;
}

LRESULT CUIWnd::OnNcDestroyBase(WPARAM wParam, LPARAM lParam)
{
    if (::IsWindow(m_hWnd) && m_subclassed_) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldWndProc_));
        m_subclassed_ = false;
        m_oldWndProc_ = &::DefWindowProcW;
    }
    return CWnd::OnNcDestroy(wParam, lParam);
}
