// The small menus; see MenuWnd.h.
#include "UI/MenuWnd.h"

#include <cstring>

#include "DuiLib/ScopedWin.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"

using namespace DuiLib;

HWND CMenuWndBase::OpenAt(int x, int y)
{
    m_returnTo_ = ::GetActiveWindow();
    if (!Create(nullptr, kWindowTitle, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, 0, 0, kWidth, kHeight)) {
        // Creation failed: the final message (if any) left the object to us.
        delete this;
        return nullptr;
    }
    HWND hwnd = m_hWnd;
    ::ShowWindow(hwnd, SW_SHOW);
    // Showing can already have closed it (focus lost at once); the handle
    // then names no window and the move does nothing.
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return hwnd;
}

void CMenuWndBase::CloseMenu()
{
    if (::IsWindow(m_hWnd)) ::PostMessageW(m_hWnd, WM_CLOSE, 1, 0);
}

bool CMenuWndBase::OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM, LRESULT&)
{
    // A click anywhere else takes the focus away: the menu goes.
    if (uMsg == WM_KILLFOCUS) CloseMenu();
    // Closed from inside (its button, Escape) while it is active: the window
    // it was opened from is active again, with its focus where it was, not
    // whatever window the system picks next.
    if (uMsg == WM_CLOSE && ::GetActiveWindow() == m_hWnd && m_returnTo_ && ::IsWindow(m_returnTo_))
        ::SetActiveWindow(m_returnTo_);
    // Escape leaves a menu without choosing, as in every Windows menu.
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        CloseMenu();
        return true;
    }
    return false;
}

void CMenuWndBase::OnFinalMessage(HWND)
{
    // After a failed creation OpenAt still holds the object and frees it.
    if (m_created_) delete this;
}

void CMenuWndBase::BindButton(const wchar_t* name, const char* captionKey)
{
    CControlUI* button = m_pm_.FindControl(name);
    if (!button) return;
    button->OnNotify += [this](TNotifyUI& msg) {
        if (msg.sType != L"click") return false;
        OnMenuButton();
        return true;
    };
    // The skin's caption stays when the language has none.
    std::wstring caption = GetLanguageString(captionKey);
    if (!caption.empty()) button->SetText(caption);
}

namespace {

// A movable block holding the bytes (a terminator included), ready for the clipboard.
ScopedGlobal GlobalCopy(const void* bytes, size_t size)
{
    ScopedGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block) return block;
    void* target = ::GlobalLock(block.get());
    if (!target) return ScopedGlobal();
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(block.get());
    return block;
}

}  // namespace

bool PutTextOnClipboard(const std::wstring& text)
{
    const std::string narrow = WideToAnsi(text);
    ScopedGlobal ansi = GlobalCopy(narrow.c_str(), narrow.size() + 1);
    // The narrow text alone loses whatever the code page of the paste cannot
    // hold (a Chinese subject on a Western Windows): the UTF-16 text goes beside it.
    ScopedGlobal unicode = GlobalCopy(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    if (!ansi || !unicode) return false;
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    // Once set, the clipboard owns a block.
    bool placed = ::SetClipboardData(CF_TEXT, ansi.get()) != nullptr;
    if (placed) (void)ansi.release();
    if (placed && ::SetClipboardData(CF_UNICODETEXT, unicode.get())) (void)unicode.release();
    ::CloseClipboard();
    return placed;
}

HWND CPluginMenuWnd::Open(const std::wstring& text, int x, int y, const char* accNameKey)
{
    return (new CPluginMenuWnd(text, accNameKey))->OpenAt(x, y);
}

void CPluginMenuWnd::OnSkinBuilt()
{
    BindButton(L"Button_Copy", "STRING_MENU_COPY");
    if (!m_accNameKey_) return;
    if (CControlUI* button = m_pm_.FindControl(L"Button_Copy"))
        button->SetAccName(GetLanguageString(m_accNameKey_));
}

bool CPluginMenuWnd::CopyTextToClipboard()
{
    // Nothing to copy: the menu stays until it loses the focus.
    if (m_text_.empty()) return false;
    if (!PutTextOnClipboard(m_text_)) return false;
    CloseMenu();
    return true;
}

HWND CNoDeviceNotifiyCertMenuWnd::Open(HWND owner, int x, int y)
{
    return (new CNoDeviceNotifiyCertMenuWnd(owner))->OpenAt(x, y);
}

void CNoDeviceNotifiyCertMenuWnd::OnSkinBuilt()
{
    BindButton(L"Button_NoNotify", "STRING_MENU_NO_NOTIFY");
}

bool CNoDeviceNotifiyCertMenuWnd::ForbidNotify()
{
    if (m_owner_) ::PostMessageW(m_owner_, kForbidNotifyMessage, 0, 0);
    CloseMenu();
    return true;
}
