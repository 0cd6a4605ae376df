// Frames of ours that a host can end from underneath. The host may release
// the plug-in and unload its library from inside any message it dispatches
// (its timer, its close button, a log-off), and a message is dispatched
// inside our frames more often than one would think: in our modal calls, in
// the loops Windows runs for our windows (the system menu, a keyboard move,
// the host's menu mode entered from our window procedure), in a client's
// call into one of our accessible objects. Returning into a library that is
// gone is a crash at an address inside the unloaded image.
//
// So every entry into our code (window, hook, timer and thread procedures,
// COM methods) runs inside a CEntryScope (GuardBoundary opens one), and
// every object handed to a client holds the library. A release asked for
// while frames of ours are below it on its thread is finished once they have
// returned; meanwhile, and for as long as a client holds one of our objects,
// the library keeps itself loaded with a reference of its own, which it
// drops only when no frame of ours is left on any thread's stack.
#pragma once

#include <windows.h>

namespace DuiLib {

// One frame of ours on the calling thread's stack.
class CEntryScope {
public:
    CEntryScope() noexcept;
    ~CEntryScope();
    CEntryScope(const CEntryScope&) = delete;
    CEntryScope& operator=(const CEntryScope&) = delete;

private:
    void* m_thread = nullptr;  // the calling thread's counter, when one was free
};

// Frames of ours on the calling thread's stack, the caller's own included.
int EntryDepth() noexcept;

class CModalLoopScope {
public:
    // window: the modal window, when the caller made it. Without one the
    // scope takes the first top-level dialog made on this thread while it is
    // the innermost loop: the message box or system dialog the call shows.
    explicit CModalLoopScope(HWND window = nullptr) noexcept;
    ~CModalLoopScope();
    CModalLoopScope(const CModalLoopScope&) = delete;
    CModalLoopScope& operator=(const CModalLoopScope&) = delete;

    HWND Window() const { return m_window; }
    // True once the loop was ended by EndModalLoops: what the caller was
    // about to use may be gone, so it returns without touching it.
    bool Abandoned() const { return m_abandoned; }

private:
    friend int ModalLoopDepth() noexcept;
    friend int EndModalLoops(HINSTANCE ours) noexcept;
    static LRESULT CALLBACK CaptureWindow(int code, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    HHOOK m_capture = nullptr;
    bool m_abandoned = false;
    CModalLoopScope* m_outer = nullptr;
};

// How many modal loops of ours are running on this thread.
int ModalLoopDepth() noexcept;
// Destroys the windows of every running modal loop of this thread, the
// innermost first, and marks each abandoned; ends the menu or move loop
// Windows runs for a window of the module `ours`. Returns how many modal
// loops of ours were running.
int EndModalLoops(HINSTANCE ours) noexcept;

// Whether anything of ours waits below the caller's own frame on this
// thread: another entry, or a modal loop (a direct caller in the same
// module may run one without any entry).
bool OursBelowCaller() noexcept;

// An object of ours in a client's hands (an accessible object, an
// enumerator): the library may not go while one is alive.
void HoldLibrary() noexcept;
void ReleaseLibraryHold() noexcept;
long LibraryHolds() noexcept;

// Runs `finish` on this thread from a timer, once the frames of ours below
// the caller have returned. One finish at a time; a second call replaces it.
void DeferUntilEntriesReturn(void (*finish)()) noexcept;
// Runs the deferred finish now, when nothing of ours is below the caller;
// true when no finish is left pending.
bool FinishDeferredIfUnwound() noexcept;

// Takes the library's own reference on itself, dropped once no frame of
// ours is on any thread's stack, no object is held and no finish is pending.
// The last thread out does not free it itself (it would return into the
// unmapped image): a thread of its own waits until that thread is back in
// a message loop outside our code, then frees the library and ends.
void KeepLoadedWhileInUse() noexcept;
bool IsKeptLoaded() noexcept;

}  // namespace DuiLib
