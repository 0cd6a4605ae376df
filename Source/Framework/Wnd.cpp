// The framework's window class; see Wnd.h.
//
// Binding happens in a CBT hook at HCBT_CREATEWND, before the window sees
// WM_NCCREATE: the window procedure is replaced by FrameworkWndProc and the
// class's own procedure is kept as the "super" procedure for default
// processing. Queued messages reach PreTranslateMessage through a
// WH_GETMESSAGE hook on each thread that owns framework windows, so this also
// works inside a host application's message loop that knows nothing of us.
#include "Framework/Wnd.h"

#include "DuiLib/BoundaryGuard.h"

#include "DuiLib/WindowWnd.h"

#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex& MapLock()
{
    static std::mutex lock;
    return lock;
}
std::map<HWND, CWnd*>& PermanentMap()
{
    static std::map<HWND, CWnd*> map;
    return map;
}
std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap()
{
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

struct ThreadHook {
    HHOOK hook = nullptr;
    int windows = 0;
};
std::map<DWORD, ThreadHook>& ThreadHooks()
{
    static std::map<DWORD, ThreadHook> hooks;
    return hooks;
}

struct CurrentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
thread_local CurrentMessage* t_current = nullptr;
thread_local CWnd* t_creating = nullptr;
thread_local HHOOK t_cbtHook = nullptr;

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    return DuiLib::GuardBoundary("GetMessageHook", LRESULT(0), [&]() -> LRESULT {
        if (code == HC_ACTION && wParam == PM_REMOVE) {
            MSG* msg = reinterpret_cast<MSG*>(lParam);
            // A consumed message is turned into WM_NULL for the loop that got it.
            if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && CWnd::WalkPreTranslateTree(msg)) {
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    });
}

void AddThreadWindow(DWORD thread)
{
    std::lock_guard<std::mutex> guard(MapLock());
    ThreadHook& h = ThreadHooks()[thread];
    if (h.windows++ == 0) h.hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, thread);
}

// `thread` is the thread that owned the window, not the caller: an object
// may be destroyed from another thread than the one its window lives on.
void RemoveThreadWindow(DWORD thread)
{
    std::lock_guard<std::mutex> guard(MapLock());
    auto it = ThreadHooks().find(thread);
    if (it == ThreadHooks().end()) return;
    if (--it->second.windows <= 0) {
        if (it->second.hook) UnhookWindowsHookEx(it->second.hook);
        ThreadHooks().erase(it);
    }
}

HINSTANCE& ModuleInstance()
{
    static HINSTANCE instance = nullptr;
    return instance;
}

}  // namespace

void Framework::ReleaseHooks()
{
    std::lock_guard<std::mutex> guard(MapLock());
    for (auto& entry : ThreadHooks()) {
        if (entry.second.hook) UnhookWindowsHookEx(entry.second.hook);
    }
    ThreadHooks().clear();
}

size_t Framework::InstalledHookCount()
{
    std::lock_guard<std::mutex> guard(MapLock());
    size_t count = 0;
    for (const auto& entry : ThreadHooks()) {
        if (entry.second.hook) ++count;
    }
    return count;
}

HINSTANCE Framework::GetInstanceHandle()
{
    HINSTANCE instance = ModuleInstance();
    return instance ? instance : GetModuleHandleW(nullptr);
}

void Framework::SetInstanceHandle(HINSTANCE instance)
{
    ModuleInstance() = instance;
}

Framework::ScopedModuleState::ScopedModuleState(HINSTANCE instance) : m_previous_(ModuleInstance())
{
    ModuleInstance() = instance;
}

Framework::ScopedModuleState::~ScopedModuleState()
{
    ModuleInstance() = m_previous_;
}

bool Framework::RegisterWindowClass(const WNDCLASSW& wc)
{
    WNDCLASSW existing;
    if (GetClassInfoW(wc.hInstance, wc.lpszClassName, &existing)) return true;
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK FrameworkCbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    return DuiLib::GuardBoundary("FrameworkCbtHook", LRESULT(0), [&]() -> LRESULT {
        if (code == HCBT_CREATEWND && t_creating) {
            CWnd* wnd = t_creating;
            t_creating = nullptr;  // only the window we asked for, not its children
            HWND hwnd = reinterpret_cast<HWND>(wParam);
            {
                std::lock_guard<std::mutex> guard(MapLock());
                PermanentMap()[hwnd] = wnd;
            }
            wnd->m_hWnd = hwnd;
            wnd->m_pfnSuper = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWndProc)));
            wnd->m_hookThread = GetWindowThreadProcessId(hwnd, nullptr);
            AddThreadWindow(wnd->m_hookThread);
        }
        return CallNextHookEx(t_cbtHook, code, wParam, lParam);
    });
}

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // One frame of ours from the first instruction to the return, the
    // unbinding after the window's last message included.
    return DuiLib::GuardBoundary("FrameworkWndProc", LRESULT(0), [&]() -> LRESULT {
        CWnd* wnd = nullptr;
        const LRESULT result = DuiLib::GuardBoundary("FrameworkWndProc", LRESULT(0), [&]() -> LRESULT {
            wnd = CWnd::FromHandlePermanent(hwnd);
            if (!wnd) return DefWindowProcW(hwnd, message, wParam, lParam);
            // Put back on every way out, a throw included: nested messages must
            // never see this frame's record once it is gone.
            struct RestoreCurrent {
                CurrentMessage* previous;
                ~RestoreCurrent() { t_current = previous; }
            } restore{t_current};
            CurrentMessage current = {hwnd, message, wParam, lParam};
            t_current = &current;
            return wnd->WindowProc(message, wParam, lParam);
        });
        // A derived map that forgot the framework's handling, or one that
        // failed, still unbinds.
        if (message == WM_NCDESTROY && wnd && CWnd::FromHandlePermanent(hwnd) == wnd) {
            wnd->Unbind();
            wnd->PostNcDestroy();
        }
        return result;
    });
}

CWnd::~CWnd()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this && !m_bTemporary) {
        // The object goes first: the window must not call back into it.
        HWND hwnd = m_hWnd;
        Unbind();
        ::DestroyWindow(hwnd);
    }
}

const MessageMap* CWnd::GetThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        {WM_NCDESTROY, &CWnd::OnNcDestroy},
        {0, nullptr},
    };
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    if (!hwnd) return nullptr;
    std::lock_guard<std::mutex> guard(MapLock());
    auto it = PermanentMap().find(hwnd);
    return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd) return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hwnd)) return wnd;
    std::lock_guard<std::mutex> guard(MapLock());
    auto& temps = TemporaryMap();
    auto it = temps.find(hwnd);
    if (it != temps.end()) return it->second.get();
    // Forget wrappers of windows that are gone before the map grows.
    for (auto t = temps.begin(); t != temps.end();) {
        if (!IsWindow(t->first)) {
            t->second->m_hWnd = nullptr;
            t = temps.erase(t);
        } else {
            ++t;
        }
    }
    auto wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = hwnd;
    wrapper->m_bTemporary = true;
    CWnd* raw = wrapper.get();
    temps[hwnd] = std::move(wrapper);
    return raw;
}

BOOL CWnd::Attach(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd)) return FALSE;
    std::lock_guard<std::mutex> guard(MapLock());
    PermanentMap()[hwnd] = this;
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hwnd = m_hWnd;
    if (hwnd) {
        std::lock_guard<std::mutex> guard(MapLock());
        auto it = PermanentMap().find(hwnd);
        if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
    }
    m_hWnd = nullptr;
    return hwnd;
}

void CWnd::Unbind()
{
    if (!m_hWnd) return;
    bool hooked = m_pfnSuper != nullptr;
    DWORD thread = m_hookThread;
    Detach();
    m_hookThread = 0;
    if (hooked && thread) RemoveThreadWindow(thread);
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style, int x,
                    int y, int cx, int cy, HWND parent, HMENU idOrMenu, void* param)
{
    if (m_hWnd) return FALSE;
    CWnd* outerCreating = t_creating;
    HHOOK outerHook = t_cbtHook;
    t_creating = this;
    t_cbtHook = SetWindowsHookExW(WH_CBT, FrameworkCbtHook, nullptr, GetCurrentThreadId());
    if (!t_cbtHook) {
        t_creating = outerCreating;
        t_cbtHook = outerHook;
        return FALSE;
    }
    HINSTANCE instance = Framework::GetInstanceHandle();
    // Top-level windows are drawn by the toolkit at their own dpi.
    DuiLib::CDpiAwareCreationScope dpiScope((style & WS_CHILD) == 0);
    HWND hwnd = CreateWindowExW(exStyle, className, windowName, style, x, y, cx, cy, parent, idOrMenu,
                                instance, param);
    UnhookWindowsHookEx(t_cbtHook);
    t_creating = outerCreating;
    t_cbtHook = outerHook;
    // A window whose WM_CREATE failed is already gone and unbound.
    return hwnd != nullptr && m_hWnd == hwnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rc, CWnd* parent, UINT id, void* param)
{
    return CreateEx(exStyle, className, windowName, style, rc.left, rc.top, rc.right - rc.left,
                    rc.bottom - rc.top, parent ? parent->m_hWnd : nullptr,
                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), param);
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

bool CWnd::FindHandler(UINT message, WndMsgHandler& handler) const
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->getBaseMap ? map->getBaseMap() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->handler; ++e) {
            if (e->message == message) {
                handler = e->handler;
                return true;
            }
        }
    }
    return false;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    WndMsgHandler handler = nullptr;
    if (FindHandler(message, handler)) return (this->*handler)(wParam, lParam);
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper) return CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    if (!t_current) return 0;
    if (m_pfnSuper)
        return CallWindowProcW(m_pfnSuper, t_current->hwnd, t_current->message, t_current->wParam,
                               t_current->lParam);
    return ::DefWindowProcW(t_current->hwnd, t_current->message, t_current->wParam, t_current->lParam);
}

LRESULT CWnd::OnNcDestroy(WPARAM, LPARAM)
{
    LRESULT result = Default();
    Unbind();
    PostNcDestroy();  // may delete this
    return result;
}

BOOL CWnd::WalkPreTranslateTree(MSG* msg)
{
    if (!msg) return FALSE;
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
        if (!(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) break;  // stop at the top-level window
    }
    return FALSE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    if (!m_hWnd) return FALSE;
    DWORD style = GetStyle();
    DWORD next = (style & ~remove) | add;
    if (next == style) return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(next));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags)
{
    if (!m_hWnd) return FALSE;
    DWORD style = GetExStyle();
    DWORD next = (style & ~remove) | add;
    if (next == style) return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(next));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::ShowWindow(int cmdShow)
{
    return ::ShowWindow(m_hWnd, cmdShow);
}

BOOL CWnd::IsWindowVisible() const
{
    return ::IsWindowVisible(m_hWnd);
}

void CWnd::GetWindowRect(RECT* rc) const
{
    ::GetWindowRect(m_hWnd, rc);
}

void CWnd::GetClientRect(RECT* rc) const
{
    ::GetClientRect(m_hWnd, rc);
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
}
