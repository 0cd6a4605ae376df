// The skinned window base of the plug-in's framework windows (main window,
// settings page, notification pop-ups): a frameless framework window whose
// whole client area is a DuiLib control tree built from a skin file. Every
// message goes to the toolkit first; the base adds frameless sizing, hit
// testing of caption and sizing band, maximising to the work area and
// rounded corners.
#pragma once

#include <windows.h>

#include <string>

#include "DuiLib/DuiLib.h"
#include "Framework/Wnd.h"

class CUIWnd : public CWnd,
               public DuiLib::INotifyUI,
               public DuiLib::IDialogBuilderCallback,
               public DuiLib::CWebBrowserEventHandler {
public:
    CUIWnd();
    ~CUIWnd() override;

    // Registers the window class and creates the window under `parent`;
    // false when either fails (a skin that does not build fails creation).
    virtual BOOL CreateWnd(CWnd* parent) = 0;
    virtual std::wstring GetSkinFile();
    // Resource type of the skin; null: the skin is a file.
    virtual const wchar_t* GetSkinType();
    virtual void InitWindow();
    // 0 restored (only after maximised), 1 minimised, 2 maximised.
    virtual void OnSizeStateChanged(int sizeType);
    virtual bool IsCaptionExcludedControl(DuiLib::CControlUI* control);
    // Hit code for a screen point; 0 means "not decided".
    virtual LRESULT HitTestFrame(HWND hwnd, int x, int y);
    // The toolkit's handling; true when handled, with its result.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void Notify(DuiLib::TNotifyUI& msg) override;
    DuiLib::CControlUI* CreateControl(const wchar_t* pstrClass) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    DuiLib::CPaintManagerUI& GetPaintManager() { return m_pm_; }
    int GetLastSizeType() const { return m_lastSizeType_; }
    bool IsSubclassed() const { return m_subclassed_; }

protected:
    DECLARE_MESSAGE_MAP()

    LRESULT OnNcCreate(WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcDestroyBase(WPARAM wParam, LPARAM lParam);

    static LRESULT CALLBACK UIWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    DuiLib::CPaintManagerUI m_pm_;
    int m_lastSizeType_ = 0;
    bool m_subclassed_ = false;
    WNDPROC m_oldWndProc_ = nullptr;
};
