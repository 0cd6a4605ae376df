// Automation of modal windows from a second thread; see DialogDriver.h.
#include "DialogDriver.h"

#include <algorithm>

namespace dialogdriver {

bool Poll(const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(5);
    }
}

namespace {
struct FindArgs {
    const wchar_t* className;
    HWND owner;
    bool anyOwner;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lParam)
{
    auto* args = reinterpret_cast<FindArgs*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[128] = {};
    ::GetClassNameW(hwnd, cls, 128);
    if (wcscmp(cls, args->className) != 0) return TRUE;
    if (!args->anyOwner && ::GetWindow(hwnd, GW_OWNER) != args->owner) return TRUE;
    args->found = hwnd;
    return FALSE;
}

HWND FindVisible(const wchar_t* className, HWND owner, bool anyOwner, DWORD timeoutMs)
{
    FindArgs args = {className, owner, anyOwner, nullptr};
    Poll(
        [&] {
            ::EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&args));
            return args.found != nullptr;
        },
        timeoutMs);
    return args.found;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lParam)
{
    auto* args = reinterpret_cast<std::pair<const wchar_t*, std::vector<HWND>*>*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[128] = {};
    ::GetClassNameW(hwnd, cls, 128);
    if (pid == ::GetCurrentProcessId() && wcscmp(cls, args->first) == 0) args->second->push_back(hwnd);
    return TRUE;
}

bool LaidOutAndShown(HWND hwnd)
{
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return ::IsWindowVisible(hwnd) && rc.right > rc.left && rc.bottom > rc.top;
}

BOOL CALLBACK CollectEdits(HWND hwnd, LPARAM lParam)
{
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    if (_wcsicmp(cls, L"Edit") == 0) reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelOfClass(const wchar_t* className)
{
    std::vector<HWND> found;
    std::pair<const wchar_t*, std::vector<HWND>*> args(className, &found);
    ::EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&args));
    return found;
}

HWND WaitForWindowOfClass(const wchar_t* className, DWORD timeoutMs)
{
    return FindVisible(className, nullptr, true, timeoutMs);
}

HWND WaitForMessageBox(HWND owner, DWORD timeoutMs)
{
    return FindVisible(L"#32770", owner, false, timeoutMs);
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[1024] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    // The message box's text is the static control with id 0xFFFF.
    HWND text = ::GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::wstring();
}

int DefaultButtonId(HWND box)
{
    // The button drawn as the default one: Wine's message box marks its
    // default button only by that style and leaves DM_GETDEFID at IDOK.
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        ::GetClassNameW(child, cls, 16);
        if (_wcsicmp(cls, L"Button") == 0 &&
            (::GetWindowLongPtrW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
            return ::GetDlgCtrlID(child);
    }
    LRESULT def = ::SendMessageW(box, DM_GETDEFID, 0, 0);
    return HIWORD(def) == DC_HASDEFID ? LOWORD(def) : 0;
}

void PressButton(HWND box, int id)
{
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
}

bool WaitGone(HWND hwnd, DWORD timeoutMs)
{
    return Poll([&] { return !::IsWindow(hwnd); }, timeoutMs);
}

BoxSeen ReadBox(HWND box)
{
    BoxSeen seen;
    seen.text = MessageBoxText(box);
    seen.caption = WindowText(box);
    seen.defaultButton = DefaultButtonId(box);
    seen.hasNo = ::GetDlgItem(box, IDNO) != nullptr;
    return seen;
}

BoxSeen AnswerBox(HWND owner, int button)
{
    HWND box = WaitForMessageBox(owner);
    if (!box) return BoxSeen();
    BoxSeen seen = ReadBox(box);
    PressButton(box, button);
    WaitGone(box);
    return seen;
}

static std::vector<HWND> EditsTopToBottom(HWND parent)
{
    std::vector<HWND> edits;
    ::EnumChildWindows(parent, &CollectEdits, reinterpret_cast<LPARAM>(&edits));
    std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
        RECT ra, rb;
        ::GetWindowRect(a, &ra);
        ::GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    return edits;
}

std::vector<HWND> WaitForEdits(HWND parent, size_t count, DWORD timeoutMs)
{
    std::vector<HWND> edits;
    Poll(
        [&] {
            edits = EditsTopToBottom(parent);
            return edits.size() == count && std::all_of(edits.begin(), edits.end(), &LaidOutAndShown);
        },
        timeoutMs);
    return edits;
}

void SetEditText(HWND edit, const wchar_t* text)
{
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void PressKey(HWND hwnd, UINT vk)
{
    ::PostMessageW(hwnd, WM_KEYDOWN, vk, 1);
    ::PostMessageW(hwnd, WM_KEYUP, vk, 0xC0000001);
}

namespace {
UINT RunMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"LumoraTestRunOnUiThread");
    return message;
}
constexpr WPARAM kRunMagic = 0x4C756D6F;
}  // namespace

UiThreadRunner::UiThreadRunner()
    : m_hook_(::SetWindowsHookExW(WH_CALLWNDPROC, &UiThreadRunner::Hook, nullptr, ::GetCurrentThreadId()))
{
}

UiThreadRunner::~UiThreadRunner()
{
    if (m_hook_) ::UnhookWindowsHookEx(m_hook_);
}

LRESULT CALLBACK UiThreadRunner::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call && call->message == RunMessage() && call->wParam == kRunMagic) {
        (*reinterpret_cast<const std::function<void()>*>(call->lParam))();
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void UiThreadRunner::Run(HWND windowOfUiThread, const std::function<void()>& code)
{
    ::SendMessageW(windowOfUiThread, RunMessage(), kRunMagic, reinterpret_cast<LPARAM>(&code));
}

void Driver::Watch(const wchar_t* watchedClass, DWORD graceMs)
{
    DWORD start = ::GetTickCount();
    while (!m_done_) {
        if (::GetTickCount() - start > graceMs) {
            // Message boxes first: the dialog's own close would wait behind them.
            for (HWND window : TopLevelOfClass(watchedClass)) {
                m_forced_ = true;
                bool boxOpen = false;
                for (HWND box : TopLevelOfClass(L"#32770")) {
                    if (::GetWindow(box, GW_OWNER) != window) continue;
                    boxOpen = true;
                    PressButton(box, IDCANCEL);
                }
                if (!boxOpen) ::PostMessageW(window, WM_CLOSE, IDCANCEL, 0);
            }
        }
        ::Sleep(20);
    }
}

std::vector<BoxSeen> DialogAnswers::Stop()
{
    m_stop_ = true;
    m_driver_.Join();
    std::lock_guard<std::mutex> lock(m_lock_);
    return m_seen_;
}

size_t DialogAnswers::Count()
{
    std::lock_guard<std::mutex> lock(m_lock_);
    return m_seen_.size();
}

void DialogAnswers::Run()
{
    while (!m_stop_) {
        HWND dialog = WaitForWindowOfClass(L"#32770", 100);
        if (!dialog) continue;
        const BoxSeen seen = ReadBox(dialog);
        {
            std::lock_guard<std::mutex> lock(m_lock_);
            m_seen_.push_back(seen);
        }
        m_act_(dialog, seen);
        WaitGone(dialog);
    }
}

}  // namespace dialogdriver
