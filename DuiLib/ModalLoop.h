// Modal loops of ours that a host can end from underneath. A modal loop
// dispatches the host's messages too, so the host may release the plug-in
// (and unload its library) while one of our frames still waits in that
// loop. Every modal call of the plug-in runs inside a CModalLoopScope, so the
// release can see that it is nested, close the windows of every running
// loop and leave the objects those frames still use alone until they return.
#pragma once

#include <windows.h>

namespace DuiLib {

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
    friend int EndModalLoops() noexcept;
    static LRESULT CALLBACK CaptureWindow(int code, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    HHOOK m_capture = nullptr;
    bool m_abandoned = false;
    CModalLoopScope* m_outer = nullptr;
};

// How many modal loops of ours are running on this thread.
int ModalLoopDepth() noexcept;
// Destroys the windows of every running modal loop of this thread, the
// innermost first, and marks each abandoned; returns how many were running.
int EndModalLoops() noexcept;

}  // namespace DuiLib
