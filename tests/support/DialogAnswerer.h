// Answers the modal dialogs a test provokes on its own thread (message boxes,
// the folder browser, the save dialog, the certificate dialog): while the
// object lives, a thread timer (which modal loops dispatch too) looks for new
// top-level windows of this thread, records each dialog's class and text and
// lets the test's answer act on it (by default: press OK).
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

struct AnsweredDialog {
    std::wstring className;
    std::wstring title;
    std::wstring text;  // a message box's message; empty for other dialogs
};

class DialogAnswerer {
public:
    // answer(window, record) acts on a new dialog; null presses OK.
    explicit DialogAnswerer(std::function<void(HWND, const AnsweredDialog&)> answer = {},
                            const wchar_t* className = L"#32770");
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    const std::vector<AnsweredDialog>& Answered() const { return m_answered_; }

    // Presses a dialog's OK button the way a user does.
    static void PressOk(HWND dialog);

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Look();

    std::function<void(HWND, const AnsweredDialog&)> m_answer_;
    std::wstring m_className_;
    std::set<HWND> m_seen_;
    std::vector<AnsweredDialog> m_answered_;
    UINT_PTR m_timer_ = 0;
};

}  // namespace testsupport
