// A screen reader in miniature, in a process of its own as a real one is: it
// hears the WinEvents of one process through an out-of-context hook, asks
// for the object of each event across the process boundary
// (AccessibleObjectFromEvent) and writes one line of what it would speak:
//   <event>  <role>  "<name>"  = <value>  [<states>]  @<window class>
//   LumoraScreenReader.exe PID OUTPUT_FILE READY_EVENT_NAME
// It runs until its thread gets WM_QUIT. Events a reader does not speak
// (locations, creation, whole windows shown or hidden) are left out.
#include <windows.h>
#include <oleacc.h>

#include <deque>
#include <string>

#include "AccessibleWalker.h"
#include "TestSupport.h"

namespace {

HANDLE g_out = INVALID_HANDLE_VALUE;
DWORD g_pid = 0;

const wchar_t* EventWord(DWORD event)
{
    switch (event) {
        case EVENT_OBJECT_FOCUS: return L"focus";
        case EVENT_SYSTEM_ALERT: return L"alert";
        case EVENT_OBJECT_SELECTION: return L"selection";
        case EVENT_OBJECT_STATECHANGE: return L"state";
        case EVENT_OBJECT_NAMECHANGE: return L"name";
        case EVENT_OBJECT_VALUECHANGE: return L"value";
        case EVENT_OBJECT_SHOW: return L"show";
        case EVENT_OBJECT_HIDE: return L"hide";
        case EVENT_OBJECT_REORDER: return L"reorder";
        case EVENT_SYSTEM_MENUPOPUPSTART: return L"menu start";
        case EVENT_SYSTEM_MENUPOPUPEND: return L"menu end";
        default: return nullptr;
    }
}

void WriteLine(const std::wstring& line)
{
    const std::string bytes = testsupport::ToUtf8(line + L"\n");
    DWORD written = 0;
    ::WriteFile(g_out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Speak(DWORD event, HWND hwnd, LONG object, LONG child)
{
    const wchar_t* word = EventWord(event);
    // A window shown or hidden as a whole is the system's own news; a
    // reader speaks the objects inside.
    if (!word || !hwnd || object != OBJID_CLIENT) return;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner != g_pid) return;
    if ((event == EVENT_OBJECT_SHOW || event == EVENT_OBJECT_HIDE) && child == CHILDID_SELF) return;
    IAccessible* accessible = nullptr;
    VARIANT target;
    ::VariantInit(&target);
    std::wstring line = word;
    if (SUCCEEDED(::AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object), static_cast<DWORD>(child),
                                              &accessible, &target)) &&
        accessible) {
        // Our objects are full objects all the way down; a simple child
        // would be one the system made, read through its parent.
        IAccessible* self = accessible;
        self->AddRef();
        IDispatch* full = nullptr;
        if (target.vt == VT_I4 && target.lVal != CHILDID_SELF && SUCCEEDED(accessible->get_accChild(target, &full)) &&
            full) {
            self->Release();
            self = nullptr;
            full->QueryInterface(accwalk::kIidAccessible, reinterpret_cast<void**>(&self));
            full->Release();
        }
        if (self) {
            accwalk::Node node = accwalk::Read(self);
            // Whether it is still focused when asked depends on how fast
            // this process got round to it; the event itself says it was.
            node.state &= ~static_cast<DWORD>(STATE_SYSTEM_FOCUSED);
            line += L"  " + accwalk::TranscriptLine(node);
        } else {
            line += L"  (simple child)";
        }
        if (self) self->Release();
        accessible->Release();
    } else {
        line += L"  (no object)";
    }
    ::VariantClear(&target);
    // Which window spoke: the transcript must show who has the focus.
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    WriteLine(line + L"  @" + className);
}

struct Heard {
    DWORD event;
    HWND hwnd;
    LONG object;
    LONG child;
};
std::deque<Heard> g_queue;
bool g_speaking = false;

// Asking for an object waits on the other process, and while it waits the
// next event arrives here: it is queued, so every line is written in the
// order the events happened, as a reader speaks them.
void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD)
{
    g_queue.push_back({event, hwnd, object, child});
    if (g_speaking) return;
    g_speaking = true;
    while (!g_queue.empty()) {
        const Heard next = g_queue.front();
        g_queue.pop_front();
        Speak(next.event, next.hwnd, next.object, next.child);
    }
    g_speaking = false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) return 2;
    g_pid = static_cast<DWORD>(_wtoi(argv[1]));
    g_out = ::CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (g_out == INVALID_HANDLE_VALUE) return 3;
    accwalk::ComScope com;
    // Every process, sorted out by the window's owner: Wine delivers nothing
    // to an out-of-context hook that names its process.
    HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, &Hear, 0, 0,
                                           WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) return 4;
    // The message queue exists before the test is told to go on: it posts
    // WM_QUIT to this thread to end the reader.
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3])) {
        ::SetEvent(ready);
        ::CloseHandle(ready);
    }
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::UnhookWinEvent(hook);
    ::CloseHandle(g_out);
    return 0;
}
