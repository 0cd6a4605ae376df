// The chain of running modal loops; see ModalLoop.h.
#include "DuiLib/ModalLoop.h"

#include <cwchar>

#include "DuiLib/BoundaryGuard.h"

namespace DuiLib {

namespace {
// The innermost running loop. Modal loops nest on one stack, and the
// plug-in's windows all live on the host's window thread; a plain pointer
// (not thread_local) keeps the library free of per-thread destructors.
CModalLoopScope* g_innermost = nullptr;
DWORD g_loopThread = 0;
}  // namespace

CModalLoopScope::CModalLoopScope(HWND window) noexcept : m_window(window), m_outer(g_innermost)
{
    if (!g_innermost) g_loopThread = ::GetCurrentThreadId();
    g_innermost = this;
    if (!m_window) m_capture = ::SetWindowsHookExW(WH_CBT, &CaptureWindow, nullptr, ::GetCurrentThreadId());
}

CModalLoopScope::~CModalLoopScope()
{
    if (m_capture) ::UnhookWindowsHookEx(m_capture);
    g_innermost = m_outer;
}

LRESULT CALLBACK CModalLoopScope::CaptureWindow(int code, WPARAM wParam, LPARAM lParam)
{
    return GuardBoundary("CModalLoopScope::CaptureWindow", LRESULT(0), [&]() -> LRESULT {
        CModalLoopScope* scope = g_innermost;
        HHOOK hook = scope ? scope->m_capture : nullptr;
        if (code == HCBT_CREATEWND && scope && !scope->m_window) {
            const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
            const HWND made = reinterpret_cast<HWND>(wParam);
            wchar_t className[16] = {};
            // Message boxes and the system's dialogs are all of the dialog
            // class; a tooltip or helper window made meanwhile is not the loop's.
            if (create && create->lpcs && (create->lpcs->style & WS_CHILD) == 0 &&
                ::GetClassNameW(made, className, 16) && wcscmp(className, L"#32770") == 0)
                scope->m_window = made;
        }
        return ::CallNextHookEx(hook, code, wParam, lParam);
    });
}

int ModalLoopDepth() noexcept
{
    if (g_loopThread != ::GetCurrentThreadId()) return 0;
    int depth = 0;
    for (CModalLoopScope* scope = g_innermost; scope; scope = scope->m_outer) ++depth;
    return depth;
}

int EndModalLoops() noexcept
{
    if (g_loopThread != ::GetCurrentThreadId()) return 0;
    int ended = 0;
    for (CModalLoopScope* scope = g_innermost; scope; scope = scope->m_outer) {
        scope->m_abandoned = true;
        // Destroying a window ends the loop that waits on it; windows it
        // owns (a message box over a dialog) go with it.
        if (scope->m_window && ::IsWindow(scope->m_window)) ::DestroyWindow(scope->m_window);
        ++ended;
    }
    return ended;
}

}  // namespace DuiLib
