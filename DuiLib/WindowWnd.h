// The toolkit's own window class: registers its window class on first use,
// routes messages to a virtual HandleMessage, and offers show, centre, a
// modal loop with a result, and close. Dialogs, menus and the combo's
// drop-down list are built on it.
#pragma once

#include <windows.h>

namespace DuiLib {

// Class styles the dialogs and frames of the product use.
constexpr UINT UI_CLASSSTYLE_FRAME = CS_VREDRAW | CS_HREDRAW;
constexpr UINT UI_CLASSSTYLE_DIALOG = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
constexpr DWORD UI_WNDSTYLE_DIALOG =
    WS_POPUPWINDOW | WS_CAPTION | WS_DLGFRAME | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD UI_WNDSTYLE_CHILD = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// While alive, windows this thread creates are per-monitor dpi aware (where
// the system knows the idea), so a host that is not dpi aware still gets
// sharp pop-ups and dialogs at 150 %: the toolkit scales them itself.
class CDpiAwareCreationScope {
public:
    explicit CDpiAwareCreationScope(bool enable = true);
    ~CDpiAwareCreationScope();
    CDpiAwareCreationScope(const CDpiAwareCreationScope&) = delete;
    CDpiAwareCreationScope& operator=(const CDpiAwareCreationScope&) = delete;

private:
    HANDLE m_previous = nullptr;
};

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window; null on failure.
    HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT,
                HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                HMENU hMenu = nullptr);
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Runs a modal loop with the owner disabled until the window is gone; the
    // result is the wParam of the WM_CLOSE that ended it.
    UINT ShowModal();
    // Asks the window to close with a result (posted WM_CLOSE).
    void Close(UINT nRet = IDOK);
    void CenterWindow();
    void ResizeClient(int cx = -1, int cy = -1);
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool IsModalRunning() const { return m_bModal; }

protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return CS_DBLCLKS; }
    // Default handling; a derived window calls this for what it leaves alone.
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY; self-owned windows delete themselves here.
    virtual void OnFinalMessage(HWND hWnd);

    bool RegisterWindowClass();
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    UINT m_nModalResult = 0;
    bool m_bModal = false;
};

}  // namespace DuiLib
