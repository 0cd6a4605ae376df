// Frames, modal loops and holds of ours, and the library's hold on itself;
// see ModalLoop.h.
#include "DuiLib/ModalLoop.h"

#include <atomic>
#include <cwchar>
#include <new>

#include "DuiLib/BoundaryGuard.h"

namespace DuiLib {

namespace {

// Per-thread frame counters without thread-local storage, which would give
// the library per-thread destructors to run after it is gone. A thread takes
// a free slot when it enters our code and gives it back when it leaves; only
// that thread touches the slot's depth meanwhile. More threads inside our
// code at once than slots are still counted in g_entries, which is what the
// library's own reference waits for.
struct ThreadFrames {
    std::atomic<DWORD> thread{0};
    int depth = 0;
};
constexpr int kThreadSlots = 32;
ThreadFrames g_threads[kThreadSlots];
std::atomic<long> g_entries{0};

std::atomic<long> g_holds{0};
std::atomic<HMODULE> g_keptLoaded{nullptr};

// The deferred finish and its timer; touched on the thread that deferred.
void (*g_finish)() = nullptr;
UINT_PTR g_finishTimer = 0;
DWORD g_finishThread = 0;
std::atomic<bool> g_finishPending{false};

// The innermost running loop. Modal loops nest on one stack, and the
// plug-in's windows all live on the host's window thread; a plain pointer
// (not thread_local) keeps the library free of per-thread destructors.
CModalLoopScope* g_innermost = nullptr;
DWORD g_loopThread = 0;

ThreadFrames* FramesOf(DWORD thread)
{
    for (ThreadFrames& slot : g_threads)
        if (slot.thread.load(std::memory_order_relaxed) == thread) return &slot;
    return nullptr;
}

struct Unloading {
    HWND door;  // a window of the system's on the last thread out
    HMODULE library;
};

// Runs on a thread of its own, so that nothing of ours is left to return
// into once the library is freed: FreeLibraryAndExitThread does not return.
DWORD WINAPI FreeLibraryOnceLeft(void* parameter)
{
    const Unloading unloading = *static_cast<Unloading*>(parameter);
    delete static_cast<Unloading*>(parameter);
    // The door's procedure is the system's. A message sent to it is answered
    // only when its thread waits for messages again, and that thread had
    // nothing of ours left on its stack but the return when it made the door.
    ::SendMessageW(unloading.door, WM_CLOSE, 0, 0);
    ::FreeLibraryAndExitThread(unloading.library, 0);
    return 0;
}

void LetGoIfIdle() noexcept
{
    if (!g_keptLoaded.load()) return;
    if (g_entries.load() != 0 || g_holds.load() != 0 || g_finishPending.load()) return;
    HMODULE library = g_keptLoaded.exchange(nullptr);
    if (!library) return;
    // A thread that cannot make a window would never let us know it has
    // left; the library then stays, which is safe, only not tidy.
    const HWND door =
        ::CreateWindowExW(0, L"Static", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    auto* unloading = door ? new (std::nothrow) Unloading{door, library} : nullptr;
    HANDLE thread = unloading ? ::CreateThread(nullptr, 0, &FreeLibraryOnceLeft, unloading, 0, nullptr) : nullptr;
    if (thread) {
        ::CloseHandle(thread);
        return;
    }
    delete unloading;
    if (door) ::DestroyWindow(door);
}

void CALLBACK FinishDeferredTimer(HWND, UINT, UINT_PTR, DWORD)
{
    GuardBoundaryVoid("FinishDeferredTimer", [] {
        // A frame still unwinding uses what the finish frees: next tick.
        FinishDeferredIfUnwound();
    });
}

// Windows of the module `ours`: what the plug-in registered, not the host's.
bool IsWindowOf(HWND hwnd, HINSTANCE ours)
{
    return hwnd && ours &&
           reinterpret_cast<HINSTANCE>(::GetClassLongPtrW(hwnd, GCLP_HMODULE)) == ours;
}

}  // namespace

// ---- Frames ---------------------------------------------------------------------

CEntryScope::CEntryScope() noexcept
{
    g_entries.fetch_add(1);
    const DWORD self = ::GetCurrentThreadId();
    ThreadFrames* frames = FramesOf(self);
    for (int i = 0; !frames && i < kThreadSlots; ++i) {
        DWORD free = 0;
        if (g_threads[i].thread.compare_exchange_strong(free, self)) frames = &g_threads[i];
    }
    if (frames) ++frames->depth;
    m_thread = frames;
}

CEntryScope::~CEntryScope()
{
    if (auto* frames = static_cast<ThreadFrames*>(m_thread)) {
        if (--frames->depth == 0) frames->thread.store(0);
    }
    if (g_entries.fetch_sub(1) == 1) LetGoIfIdle();
}

int EntryDepth() noexcept
{
    ThreadFrames* frames = FramesOf(::GetCurrentThreadId());
    return frames ? frames->depth : 0;
}

// ---- Modal loops ----------------------------------------------------------------

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

int EndModalLoops(HINSTANCE ours) noexcept
{
    // The loops Windows runs for a window of ours end with the window on
    // Windows; ended here, they end the same way everywhere, before the
    // windows go. A menu the host opened stays the host's business.
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    if (::GetGUIThreadInfo(::GetCurrentThreadId(), &gui)) {
        if ((gui.flags & GUI_INMOVESIZE) && IsWindowOf(gui.hwndMoveSize, ours)) {
            ::SendMessageW(gui.hwndMoveSize, WM_CANCELMODE, 0, 0);
            // Wine's move loop does not end with the capture, as Windows'
            // does, only on a key: Escape, queued for the thread, since
            // the window's own messages go with it.
            ::PostThreadMessageW(::GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
        if ((gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) &&
            IsWindowOf(gui.hwndMenuOwner, ours))
            ::EndMenu();
    }
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

bool OursBelowCaller() noexcept
{
    return EntryDepth() > 1 || ModalLoopDepth() > 0;
}

// ---- Holds and the library's own reference -----------------------------------------

void HoldLibrary() noexcept { g_holds.fetch_add(1); }

void ReleaseLibraryHold() noexcept
{
    if (g_holds.fetch_sub(1) == 1) LetGoIfIdle();
}

long LibraryHolds() noexcept { return g_holds.load(); }

void DeferUntilEntriesReturn(void (*finish)()) noexcept
{
    g_finish = finish;
    g_finishThread = ::GetCurrentThreadId();
    g_finishPending.store(finish != nullptr);
    if (finish && !g_finishTimer) g_finishTimer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &FinishDeferredTimer);
}

bool FinishDeferredIfUnwound() noexcept
{
    if (!g_finishPending.load()) return true;
    if (g_finishThread != ::GetCurrentThreadId() || OursBelowCaller()) return false;
    if (g_finishTimer) ::KillTimer(nullptr, g_finishTimer);
    g_finishTimer = 0;
    void (*finish)() = g_finish;
    g_finish = nullptr;
    if (finish) GuardBoundaryVoid("FinishDeferred", finish);
    // Cleared last: the finish itself runs with the library still kept.
    g_finishPending.store(g_finish != nullptr);
    return !g_finishPending.load();
}

void KeepLoadedWhileInUse() noexcept
{
    if (g_keptLoaded.load()) return;
    HMODULE library = nullptr;
    // Linked into a program rather than loaded as a library, the code goes
    // only with the process: there is nothing to keep, and a reference of
    // ours on the program must never be given back.
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&FreeLibraryOnceLeft), &library) ||
        library == ::GetModuleHandleW(nullptr))
        return;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&FreeLibraryOnceLeft), &library))
        return;
    HMODULE none = nullptr;
    if (!g_keptLoaded.compare_exchange_strong(none, library)) ::FreeLibrary(library);
}

bool IsKeptLoaded() noexcept { return g_keptLoaded.load() != nullptr; }

}  // namespace DuiLib
