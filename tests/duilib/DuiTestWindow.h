// Shared pieces of the toolkit's tests: a skin folder in a temporary place
// (the test skins plus images drawn by GDI+ with real alpha), a small real
// window that hosts a paint manager and records every notification, and
// helpers that drive it through genuine window messages.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/DuiLib.h"
#include "PixelProbe.h"
#include "TestSupport.h"

namespace duitest {

// Copies tests/duilib/skins/*.xml into a temporary folder, draws the test
// images there and points the toolkit's resource path at it.
class SkinFolder {
public:
    SkinFolder();
    ~SkinFolder();
    const std::wstring& Path() const { return m_dir_.Path(); }
    void WriteText(const std::wstring& name, const std::string& utf8);

private:
    testsupport::TempDir m_dir_;
    std::wstring m_oldPath_;
};

// A PNG of one colour (ARGB), width × height, written with GDI+.
bool WritePng(const std::wstring& path, int cx, int cy, DWORD argb);

struct Recorded {
    std::wstring type;
    std::wstring sender;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    explicit TestWindow(std::wstring skin) : m_skin(std::move(skin)) {}
    ~TestWindow() override = default;

    // Creates the window (hidden unless `show`); false when the skin failed.
    bool Open(bool show = true, DWORD style = WS_POPUP | WS_CLIPCHILDREN, HWND owner = nullptr);
    void Notify(DuiLib::TNotifyUI& msg) override;

    template <class T>
    T* Find(const wchar_t* name)
    {
        return DuiLib::ControlCast<T>(m_pm.FindControl(name));
    }
    int CountOf(const std::wstring& type, const std::wstring& sender = std::wstring()) const;
    void ClearRecord() { m_record.clear(); }

    // Real mouse messages at the centre of a control (client coordinates).
    void Click(DuiLib::CControlUI* control);
    void SendMouse(UINT msg, POINT pt, WPARAM keys = 0);
    static POINT CenterOf(DuiLib::CControlUI* control);

    DuiLib::CPaintManagerUI m_pm;
    std::vector<Recorded> m_record;
    std::wstring m_skin;
    std::wstring m_buildError;
    bool m_windowInitSeen = false;
    int m_windowInitCount = 0;
    // Whether the paint manager reported each message handled (last time seen).
    std::map<UINT, bool> m_handled;

protected:
    const wchar_t* GetWindowClassName() const override { return L"DuiLibTestWindow"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
};

// Owns a TestWindow and destroys its window at the end of a test.
struct ScopedTestWindow {
    explicit ScopedTestWindow(const std::wstring& skin) : wnd(std::make_unique<TestWindow>(skin)) {}
    ~ScopedTestWindow()
    {
        if (wnd->GetHWND()) ::DestroyWindow(wnd->GetHWND());
        testsupport::PumpMessages();
    }
    TestWindow* operator->() { return wnd.get(); }
    std::unique_ptr<TestWindow> wnd;
};

// Pixels of a rendered control tree.
using Pixels = testsupport::Pixels;
bool Render(DuiLib::CPaintManagerUI& pm, Pixels& out, int cx = 0, int cy = 0);

}  // namespace duitest
