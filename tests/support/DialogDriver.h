// Automation of modal windows from a second thread, the way a user's tools
// see them: find a window by class or owner, read and answer message boxes
// and the system's file and folder dialogs, type into edits, press keys and
// buttons. The thread under test runs the modal loop; every wait here has a
// deadline.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dialogdriver {

// Polls cond (no messages pumped: this thread has no windows) until it holds
// or the deadline passes.
bool Poll(const std::function<bool()>& cond, DWORD timeoutMs = 5000);

// Every top-level window of this process with the class, shown or not.
std::vector<HWND> TopLevelOfClass(const wchar_t* className);
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

// What a dialog showed when it was answered; the text is empty for a dialog
// that is no message box (a file or folder dialog).
struct BoxSeen {
    std::wstring text;
    std::wstring caption;
    int defaultButton = 0;
    bool hasNo = false;
};
BoxSeen ReadBox(HWND box);
// Answers the next message box owned by owner with button and waits until it
// is gone; an empty BoxSeen when none came.
BoxSeen AnswerBox(HWND owner, int button);

// The window's `count` native edits once they are laid out and shown, top
// to bottom on the screen; the toolkit makes them at the first layout, which comes with the
// first paint, after the window is already visible. Whatever was there at
// the deadline otherwise (so the caller sees a wrong count).
std::vector<HWND> WaitForEdits(HWND parent, size_t count, DWORD timeoutMs = 5000);
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
//
// With a window class, the driver also keeps the test from hanging: when the
// script has returned and the modal windows of that class are still open
// after a grace time, it answers their message boxes and closes them, so the
// test thread's modal loop returns and ForcedClose() reports the failure.
// Join() (called once the modal loop has returned) ends that watch.
class Driver {
public:
    explicit Driver(std::function<void()> script) : m_thread_(std::move(script)) {}
    Driver(const wchar_t* watchedClass, std::function<void()> script, DWORD graceMs = 5000)
        : m_thread_([this, watchedClass, script = std::move(script), graceMs] {
              script();
              Watch(watchedClass, graceMs);
          })
    {
    }
    ~Driver() { Join(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    void Join()
    {
        m_done_ = true;
        if (m_thread_.joinable()) m_thread_.join();
    }
    // True when the script left a watched window open and the driver closed it.
    bool ForcedClose() const { return m_forced_; }

private:
    void Watch(const wchar_t* watchedClass, DWORD graceMs);

    std::atomic<bool> m_done_{false};
    std::atomic<bool> m_forced_{false};
    std::thread m_thread_;  // last: starts once the flags exist
};

// Answers, from a second thread, every dialog window (class "#32770") of this
// process that appears until Stop() or destruction: records what it showed
// and lets act answer it; by default `button` is pressed.
class DialogAnswers {
public:
    using Act = std::function<void(HWND dialog, const BoxSeen& seen)>;
    explicit DialogAnswers(int button = IDOK)
        : DialogAnswers([button](HWND dialog, const BoxSeen&) { PressButton(dialog, button); })
    {
    }
    explicit DialogAnswers(Act act) : m_act_(std::move(act)), m_driver_([this] { Run(); }) {}
    ~DialogAnswers() { Stop(); }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;
    // Ends the answering; what every answered dialog showed, in order.
    std::vector<BoxSeen> Stop();
    size_t Count();

private:
    void Run();

    Act m_act_;
    std::atomic<bool> m_stop_{false};
    std::mutex m_lock_;
    std::vector<BoxSeen> m_seen_;
    Driver m_driver_;  // last: starts once the rest exists
};

}  // namespace dialogdriver
