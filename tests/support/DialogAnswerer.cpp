// Finding and answering this thread's dialogs from a thread timer.
#include "DialogAnswerer.h"

namespace testsupport {

namespace {
DialogAnswerer* g_active = nullptr;

struct Found {
    const std::wstring* className;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* found = reinterpret_cast<Found*>(param);
    wchar_t cls[128] = {};
    GetClassNameW(window, cls, 128);
    if (IsWindowVisible(window) && *found->className == cls) found->windows.push_back(window);
    return TRUE;
}

std::wstring WindowText(HWND window)
{
    wchar_t buffer[1024] = {};
    if (window) GetWindowTextW(window, buffer, 1024);
    return buffer;
}
}  // namespace

DialogAnswerer::DialogAnswerer(std::function<void(HWND, const AnsweredDialog&)> answer, const wchar_t* className)
    : m_answer_(std::move(answer)), m_className_(className)
{
    g_active = this;
    m_timer_ = SetTimer(nullptr, 0, 40, &DialogAnswerer::OnTimer);
}

DialogAnswerer::~DialogAnswerer()
{
    if (m_timer_) KillTimer(nullptr, m_timer_);
    if (g_active == this) g_active = nullptr;
}

void DialogAnswerer::PressOk(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void CALLBACK DialogAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_active) g_active->Look();
}

void DialogAnswerer::Look()
{
    Found found{&m_className_, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&found));
    for (HWND window : found.windows) {
        if (!m_seen_.insert(window).second) continue;
        AnsweredDialog record;
        record.className = m_className_;
        record.title = WindowText(window);
        // A message box keeps its message in the static control 0xFFFF.
        record.text = WindowText(GetDlgItem(window, 0xFFFF));
        m_answered_.push_back(record);
        if (m_answer_) m_answer_(window, record);
        else PressOk(window);
    }
}

}  // namespace testsupport
