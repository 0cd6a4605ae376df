// The window class of our small application framework: a C++ object bound to
// an HWND from the very first message (WM_NCCREATE included), message maps
// that a class declares with BEGIN_MESSAGE_MAP / ON_MESSAGE / END_MESSAGE_MAP
// and that are searched from the most derived class to CWnd, "default
// processing" for the message being handled, and pre-translation of queued
// messages along the window's parent chain.
#pragma once

#include <windows.h>

#include <cstddef>

class CWnd;

using WndMsgHandler = LRESULT (CWnd::*)(WPARAM, LPARAM);

struct MessageMapEntry {
    UINT message;
    WndMsgHandler handler;
};

struct MessageMap {
    const MessageMap* (*getBaseMap)();
    const MessageMapEntry* entries;  // ends with a null handler
};

// In the class declaration.
#define DECLARE_MESSAGE_MAP()                     \
public:                                           \
    static const MessageMap* GetThisMessageMap(); \
                                                  \
protected:                                        \
    const MessageMap* GetMessageMap() const override;

// In the source file: handlers take (WPARAM, LPARAM) and return the result.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                  \
    const MessageMap* theClass::GetMessageMap() const           \
    {                                                           \
        return GetThisMessageMap();                             \
    }                                                           \
    const MessageMap* theClass::GetThisMessageMap()             \
    {                                                           \
        using ThisClass = theClass;                             \
        using TheBaseClass = baseClass;                         \
        static_assert(sizeof(ThisClass) > 0, "complete class"); \
        static const MessageMapEntry entries[] = {
#define ON_MESSAGE(message, memberFxn) {message, static_cast<WndMsgHandler>(&ThisClass::memberFxn)},
#define END_MESSAGE_MAP()                                                      \
    {                                                                          \
        0, nullptr                                                             \
    }                                                                          \
    }                                                                          \
    ;                                                                          \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                               \
    }

namespace Framework {
// The module whose window classes and resources the framework uses (the
// plug-in's own module inside a host; the executable otherwise).
HINSTANCE GetInstanceHandle();
void SetInstanceHandle(HINSTANCE instance);
// Makes `instance` the framework's module for the life of the object, as
// every entry from a foreign host must; restores the previous one after.
class ScopedModuleState {
public:
    explicit ScopedModuleState(HINSTANCE instance);
    ~ScopedModuleState();
    ScopedModuleState(const ScopedModuleState&) = delete;
    ScopedModuleState& operator=(const ScopedModuleState&) = delete;

private:
    HINSTANCE m_previous_;
};
// Removes every message hook the framework put on a thread, as the module
// must before it leaves a host process; windows still bound to objects stop
// having their queued messages pre-translated.
void ReleaseHooks();
// Threads on which a message hook of the framework is installed.
size_t InstalledHookCount();

// Registers a window class unless one of that name already exists for the
// same instance; false on failure.
bool RegisterWindowClass(const WNDCLASSW& wc);
}  // namespace Framework

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window bound to this object before its first message.
    virtual BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                          int x, int y, int cx, int cy, HWND parent, HMENU idOrMenu, void* param = nullptr);
    BOOL CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                  const RECT& rc, CWnd* parent, UINT id, void* param = nullptr);
    virtual BOOL DestroyWindow();

    // The object bound to a window, or null.
    static CWnd* FromHandlePermanent(HWND hwnd);
    // The bound object, or a lasting non-owning wrapper for a foreign window.
    static CWnd* FromHandle(HWND hwnd);
    // Binds or unbinds a window that this object does not subclass.
    BOOL Attach(HWND hwnd);
    HWND Detach();

    // Offers a queued message to the windows from its target up the parent
    // chain; true when one of them consumed it.
    static BOOL WalkPreTranslateTree(MSG* msg);
    virtual BOOL PreTranslateMessage(MSG* msg);

    // Helpers over the Win32 calls of the same names.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0);
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const;
    void GetWindowRect(RECT* rc) const;
    void GetClientRect(RECT* rc) const;
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const MessageMap* GetMessageMap() const;

public:
    static const MessageMap* GetThisMessageMap();

protected:
    // Runs the message maps; unhandled messages get default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window class's own procedure (or the system default).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message currently being handled.
    LRESULT Default();
    // After the window's last message; self-owned windows delete themselves.
    virtual void PostNcDestroy() {}
    // The framework's handling of WM_NCDESTROY (default processing, unbind,
    // PostNcDestroy); handlers of WM_NCDESTROY in derived maps end with it.
    LRESULT OnNcDestroy(WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK FrameworkCbtHook(int, WPARAM, LPARAM);
    bool FindHandler(UINT message, WndMsgHandler& handler) const;
    void Unbind();
    bool m_bTemporary = false;
    DWORD m_hookThread = 0;  // the thread whose message hook counts this window
};

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
