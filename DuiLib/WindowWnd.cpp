// The toolkit's window class; see WindowWnd.h.
#include "DuiLib/WindowWnd.h"

#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/ModalLoop.h"

#include "DuiLib/UIManager.h"

namespace DuiLib {

namespace {
HINSTANCE WindowInstance()
{
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    return instance ? instance : GetModuleHandleW(nullptr);
}
using SetThreadDpiAwarenessContextFn = HANDLE(WINAPI*)(HANDLE);

SetThreadDpiAwarenessContextFn DpiAwarenessSetter()
{
    static SetThreadDpiAwarenessContextFn fn = reinterpret_cast<SetThreadDpiAwarenessContextFn>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext"));
    return fn;
}
}  // namespace

CDpiAwareCreationScope::CDpiAwareCreationScope(bool enable)
{
    if (!enable || !DpiAwarenessSetter()) return;
    // Per-monitor v2 where it exists, else per-monitor.
    m_previous = DpiAwarenessSetter()(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
    if (!m_previous) m_previous = DpiAwarenessSetter()(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
}

CDpiAwareCreationScope::~CDpiAwareCreationScope()
{
    if (m_previous) DpiAwarenessSetter()(m_previous);
}

CWindowWnd::~CWindowWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        // The object is going: the window must not call back into it.
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

bool CWindowWnd::RegisterWindowClass()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowWnd::WindowProc;
    wc.hInstance = WindowInstance();
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    wc.lpszClassName = GetWindowClassName();
    if (::RegisterClassExW(&wc)) return true;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
                        const RECT& rc, HMENU hMenu)
{
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy, HMENU hMenu)
{
    if (m_hWnd) return nullptr;
    if (!RegisterWindowClass()) return nullptr;
    // Child windows follow their parent's dpi awareness; top-level ones are
    // made aware so the toolkit's own scaling is what the user sees.
    CDpiAwareCreationScope dpiScope((dwStyle & WS_CHILD) == 0);
    HWND hwnd = ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName, dwStyle, x, y, cx, cy,
                                  hwndParent, hMenu, WindowInstance(), this);
    // WM_NCCREATE stored the handle; a failed WM_CREATE already cleared it.
    return hwnd;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus)
{
    if (!::IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal()
{
    if (!::IsWindow(m_hWnd)) return 0;
    HWND hwnd = m_hWnd;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    // What had the keyboard before: it gets it back, as after a dialog of
    // the system's, rather than the owner's frame as a whole.
    HWND before = ::GetFocus();
    UINT result = IDCANCEL;
    CModalLoopScope scope(hwnd);
    m_bModal = true;
    m_nModalResult = IDCANCEL;
    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    if (owner) ::EnableWindow(owner, FALSE);
    MSG msg = {};
    bool quit = false;
    while (::IsWindow(hwnd)) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            break;
        }
        if (got == -1) break;
        if (msg.message == WM_CLOSE && msg.hwnd == hwnd) result = static_cast<UINT>(msg.wParam);
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // A close sent rather than posted is recorded by the window procedure;
    // the object itself outlives its modal window (the caller deletes it).
    if (m_bModal) result = m_nModalResult;
    m_bModal = false;
    if (owner && ::IsWindow(owner)) {
        ::EnableWindow(owner, TRUE);
        // Ended by a release of the plug-in: the focus is the host's business.
        const HWND target = before && ::IsWindow(before) && before != hwnd ? before : owner;
        if (!scope.Abandoned() && ::GetFocus() != target) ::SetFocus(target);
    }
    if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

void CWindowWnd::Close(UINT nRet)
{
    if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::CenterWindow()
{
    if (!::IsWindow(m_hWnd)) return;
    RECT rcWnd;
    ::GetWindowRect(m_hWnd, &rcWnd);
    HWND around = ::GetWindow(m_hWnd, GW_OWNER);
    if (!around) around = ::GetParent(m_hWnd);
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    ::GetMonitorInfoW(::MonitorFromWindow(around ? around : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcArea = mi.rcWork;
    RECT rcCenter = rcArea;
    if (around && ::IsWindowVisible(around) && !::IsIconic(around)) ::GetWindowRect(around, &rcCenter);
    int w = rcWnd.right - rcWnd.left, h = rcWnd.bottom - rcWnd.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x < rcArea.left) x = rcArea.left;
    if (y < rcArea.top) y = rcArea.top;
    if (x + w > rcArea.right) x = rcArea.right - w;
    if (y + h > rcArea.bottom) y = rcArea.bottom - h;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ResizeClient(int cx, int cy)
{
    if (!::IsWindow(m_hWnd)) return;
    RECT rc;
    if (!::GetClientRect(m_hWnd, &rc)) return;
    if (cx != -1) rc.right = cx;
    if (cy != -1) rc.bottom = cy;
    if (!::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)), FALSE,
                              static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE))))
        return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DuiLib::GuardBoundary("CWindowWnd::WindowProc", LRESULT(0), [&]() -> LRESULT {
        CWindowWnd* self = nullptr;
        if (uMsg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
            self = static_cast<CWindowWnd*>(cs->lpCreateParams);
            if (self) {
                self->m_hWnd = hWnd;
                ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            }
        } else {
            self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        }
        if (!self) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        if (uMsg == WM_CLOSE && self->m_bModal) {
            // Give the owner back before this window goes, or activation would
            // jump to some other application.
            self->m_nModalResult = static_cast<UINT>(wParam);
            HWND owner = ::GetWindow(hWnd, GW_OWNER);
            if (owner) ::EnableWindow(owner, TRUE);
        }
        if (uMsg == WM_NCDESTROY) {
            // The object lets go of the window even when its last handler fails.
            LRESULT result = GuardBoundary("CWindowWnd::WindowProc", LRESULT(0),
                                           [&] { return self->HandleMessage(uMsg, wParam, lParam); });
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
            return result;
        }
        return self->HandleMessage(uMsg, wParam, lParam);
    });
}

}  // namespace DuiLib
