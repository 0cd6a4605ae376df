// The plug-in's small one-button menus: the copy menu of the certificate
// view and the "stop reminding" menu of the absent-key pop-up. Both are
// self-owning toolkit windows with the same window properties; they open
// at a screen point, close when they lose the focus, and delete themselves
// with their window.
#pragma once

#include <windows.h>

#include <string>

#include "UI/ToolkitWnd.h"

// What the two menus share: window class, title, styles, size, opening at a
// point, closing on focus loss and self-deletion.
class CMenuWndBase : public CToolkitWnd {
public:
    static constexpr const wchar_t* kClassName = L"ZENTO_PluginMenuWnd";
    static constexpr const wchar_t* kWindowTitle = L"ZENTO Menu  wnd";
    static constexpr int kWidth = 80;
    static constexpr int kHeight = 25;

protected:
    CMenuWndBase() = default;
    // Creates the window (no parent), shows it and moves its top-left corner
    // to the screen point; the window, or null when it could not be made (the
    // object then deletes itself at once).
    HWND OpenAt(int x, int y);
    // Closes the menu (posted WM_CLOSE with 1) while its window exists.
    void CloseMenu();

    const wchar_t* GetWindowClassName() const override { return kClassName; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    bool OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnFinalMessage(HWND hWnd) override;
    // Subscribes the one button's "click" to OnMenuButton and gives the
    // button its caption.
    void BindButton(const wchar_t* name, const char* captionKey);
    virtual bool OnMenuButton() = 0;

private:
    HWND m_returnTo_ = nullptr;  // active when the menu opened
};

// Puts text on the clipboard as CF_TEXT in the process's code page and as
// CF_UNICODETEXT; false (clipboard untouched) when memory or the clipboard
// is not available.
bool PutTextOnClipboard(const std::wstring& text);

// The copy menu: its button copies the text given at opening.
class CPluginMenuWnd : public CMenuWndBase {
public:
    // Opens a menu for text with its top-left corner at the screen point;
    // accNameKey, when given, names its item for screen readers by what it
    // copies ("复制证书"), where the caption has no room to say it.
    static HWND Open(const std::wstring& text, int x, int y, const char* accNameKey = nullptr);

protected:
    CPluginMenuWnd(std::wstring text, const char* accNameKey)
        : m_text_(std::move(text)), m_accNameKey_(accNameKey)
    {
    }
    std::wstring GetSkinFile() const override { return L"MenuWnd.xml"; }
    void OnSkinBuilt() override;

    bool OnMenuButton() override { return CopyTextToClipboard(); }

private:
    bool CopyTextToClipboard();

    std::wstring m_text_;
    const char* m_accNameKey_;
};

// The absent-key pop-up's menu: its button asks the pop-up (posted
// WM_USER + 102) to stop reminding of the selected certificate.
class CNoDeviceNotifiyCertMenuWnd : public CMenuWndBase {
public:
    static constexpr UINT kForbidNotifyMessage = WM_USER + 102;
    // Opens a menu reporting to the pop-up window `owner` at the screen point.
    static HWND Open(HWND owner, int x, int y);

protected:
    explicit CNoDeviceNotifiyCertMenuWnd(HWND owner) : m_owner_(owner) {}
    std::wstring GetSkinFile() const override { return L"NoDeviceNotifyMenuWnd.xml"; }
    void OnSkinBuilt() override;

    bool OnMenuButton() override { return ForbidNotify(); }

private:
    bool ForbidNotify();

    HWND m_owner_;
};
