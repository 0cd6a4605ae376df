// Automation of modal windows from a second thread, the way a user's tools
// see them: find a window by class or owner, read message boxes, type into
// edits, press keys and buttons. The thread under test runs the modal loop;
// every wait here has a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace dialogdriver {

// Polls cond (no messages pumped: this thread has no windows) until it holds
// or the deadline passes.
bool Poll(const std::function<bool()>& cond, DWORD timeoutMs = 5000);

// A visible top-level window of this process with the class name; null when
// none appears in time.
HWND WaitForWindowOfClass(const wchar_t* className, DWORD timeoutMs = 5000);
// A visible message box (dialog class "#32770") owned by owner.
HWND WaitForMessageBox(HWND owner, DWORD timeoutMs = 5000);

std::wstring WindowText(HWND hwnd);
// The message of a message box.
std::wstring MessageBoxText(HWND box);
// The default button of a dialog (0 when none).
int DefaultButtonId(HWND box);
// Presses a button of a dialog by its id, as a click would.
void PressButton(HWND box, int id);
// Waits until the window is gone.
bool WaitGone(HWND hwnd, DWORD timeoutMs = 5000);

// The native edit children of a window, top to bottom on the screen.
std::vector<HWND> EditsTopToBottom(HWND parent);
// Types text as WM_SETTEXT (the edit reports the change like typing does).
void SetEditText(HWND edit, const wchar_t* text);
// A key pressed and released in the window (posted, so it passes through
// the modal loop's keyboard handling like a real key).
void PressKey(HWND hwnd, UINT vk);

// Lets the driving thread run code on the thread that owns the windows
// (control trees are not to be touched from elsewhere). Made on the window
// thread before its modal loop starts; Run is called from the driver and
// returns once the code has run there.
class UiThreadRunner {
public:
    UiThreadRunner();
    ~UiThreadRunner();
    UiThreadRunner(const UiThreadRunner&) = delete;
    UiThreadRunner& operator=(const UiThreadRunner&) = delete;
    // windowOfUiThread: any window that belongs to the window thread.
    void Run(HWND windowOfUiThread, const std::function<void()>& code);

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hook_ = nullptr;
};

// Runs the script on its own thread; joins at destruction.
class Driver {
public:
    explicit Driver(std::function<void()> script) : m_thread_(std::move(script)) {}
    ~Driver()
    {
        if (m_thread_.joinable()) m_thread_.join();
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    void Join()
    {
        if (m_thread_.joinable()) m_thread_.join();
    }

private:
    std::thread m_thread_;
};

}  // namespace dialogdriver
