// The skinned window base and the framework under it, on real windows.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <thread>

#include <stdexcept>

#include "DuiLib/BoundaryGuard.h"
#include "Framework/WinApp.h"
#include "Plugin/LumoraPluginView.h"
#include "TestSupport.h"
#include "UI/UIWnd.h"

using namespace DuiLib;
using testsupport::WaitFor;

namespace {

const char kRoundSkin[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"300,200\" sizebox=\"6,6,6,6\" caption=\"0,0,0,40\" roundcorner=\"8,8\" "
    "mininfo=\"200,150\">\n"
    "  <VerticalLayout bkcolor=\"#FFFFFFFF\">\n"
    "    <HorizontalLayout height=\"40\" inset=\"10,8,10,0\">\n"
    "      <Label name=\"Label_Caption\" width=\"200\" text=\"标题\"/>\n"
    "      <Button name=\"Button_Close\" width=\"40\" text=\"X\"/>\n"
    "    </HorizontalLayout>\n"
    "    <HorizontalLayout>\n"
    "      <Edit name=\"Edit_Name\" width=\"120\" height=\"28\"/>\n"
    "      <Control/>\n"
    "      <Button name=\"Button_OK\" width=\"80\" height=\"28\" text=\"OK\" default=\"true\"/>\n"
    "    </HorizontalLayout>\n"
    "  </VerticalLayout>\n"
    "</Window>\n";

const char kSquareSkin[] =
    "<Window size=\"240,160\" sizebox=\"4,4,4,4\" caption=\"0,0,0,30\" roundcorner=\"0,0\" mininfo=\"0,150\">"
    "<VerticalLayout><Label name=\"Label_Caption\" height=\"30\"/><Control/></VerticalLayout></Window>";

class SkinDir {
public:
    SkinDir() : m_old(CPaintManagerUI::GetResourcePath())
    {
        testsupport::WriteFileBytes(m_dir.File(L"round.xml"), kRoundSkin);
        testsupport::WriteFileBytes(m_dir.File(L"square.xml"), kSquareSkin);
        testsupport::WriteFileBytes(m_dir.File(L"broken.xml"), "<Window>\n<Label>\n</Window>");
        CPaintManagerUI::SetResourcePath(m_dir.Path());
    }
    ~SkinDir() { CPaintManagerUI::SetResourcePath(m_old); }

private:
    testsupport::TempDir m_dir{L"uiwnd皮肤"};
    std::wstring m_old;
};

class CTestUIWnd : public CUIWnd {
public:
    explicit CTestUIWnd(std::wstring skin,
                        DWORD style = WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN)
        : m_skin(std::move(skin)), m_style(style)
    {
    }

    BOOL CreateWnd(CWnd* parent) override
    {
        WNDCLASSW wc = {};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hInstance = Framework::GetInstanceHandle();
        wc.lpszClassName = L"LumoraTestUIWnd";
        if (!Framework::RegisterWindowClass(wc)) return FALSE;
        RECT rc = {100, 100, 920, 720};
        return CreateEx(0, L"LumoraTestUIWnd", L"LumoraTestUIWnd", m_style, rc, parent, 0);
    }
    std::wstring GetSkinFile() override { return m_skin; }
    void InitWindow() override { ++initCount; }
    void Notify(TNotifyUI& msg) override { notified.push_back(msg.sType + L":" + msg.pSender->GetName()); }

    // Handlers that fail: one in the message map, one in the toolkit's turn.
    static const UINT kThrowInMap = WM_APP + 1;
    static const UINT kThrowInToolkit = WM_APP + 2;
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == kThrowInToolkit) throw std::runtime_error("toolkit handler failed");
        return CUIWnd::HandleMessage(message, wParam, lParam, result);
    }
    ~CTestUIWnd() override
    {
        if (destroyed) *destroyed = true;
    }

    WNDPROC OldProc() const { return m_oldWndProc_; }
    static WNDPROC UIProc() { return &CUIWnd::UIWndProc; }

    int initCount = 0;
    int mapHover = 0;
    int mapLeave = 0;
    int mapKeyDown = 0;
    int postNcDestroy = 0;
    bool* destroyed = nullptr;
    std::vector<std::wstring> notified;

protected:
    DECLARE_MESSAGE_MAP()
    LRESULT OnMouseHover(WPARAM, LPARAM)
    {
        ++mapHover;
        return 0;
    }
    LRESULT OnMouseLeave(WPARAM, LPARAM)
    {
        ++mapLeave;
        return 0;
    }
    LRESULT OnKeyDown(WPARAM, LPARAM)
    {
        ++mapKeyDown;
        return Default();
    }
    LRESULT OnThrowInMap(WPARAM, LPARAM) { throw std::runtime_error("map handler failed"); }
    void PostNcDestroy() override { ++postNcDestroy; }

private:
    std::wstring m_skin;
    DWORD m_style;
};

BEGIN_MESSAGE_MAP(CTestUIWnd, CUIWnd)
ON_MESSAGE(WM_MOUSEHOVER, OnMouseHover)
ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
ON_MESSAGE(WM_KEYDOWN, OnKeyDown)
ON_MESSAGE(CTestUIWnd::kThrowInMap, OnThrowInMap)
END_MESSAGE_MAP()

std::vector<std::string> g_boundaryReports;
void CaptureBoundaryReport(const char* where, const char* what)
{
    g_boundaryReports.push_back(std::string(where) + ": " + what);
}

POINT ScreenCenterOf(CUIWnd& w, const wchar_t* name)
{
    w.GetPaintManager().UpdateLayout();
    CControlUI* c = w.GetPaintManager().FindControl(name);
    RECT rc = c->GetPos();
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::ClientToScreen(w.m_hWnd, &pt);
    return pt;
}

class UIWndTest : public testing::Test {
protected:
    SkinDir skins;
};

}  // namespace

TEST_F(UIWndTest, CreationStripsTheFrameAndBuildsTheSkinAndDestructionRestoresTheProcedure)
{
    CTestUIWnd w(L"round.xml");
    ASSERT_TRUE(w.CreateWnd(nullptr));
    HWND hwnd = w.m_hWnd;
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), &w);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME), 0u);
    EXPECT_TRUE(w.IsSubclassed());
    EXPECT_EQ(reinterpret_cast<CUIWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), static_cast<CUIWnd*>(&w));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)), CTestUIWnd::UIProc());
    EXPECT_EQ(w.OldProc(), &FrameworkWndProc);  // the framework's maps run behind the toolkit
    EXPECT_EQ(w.initCount, 1);
    EXPECT_NE(w.GetPaintManager().FindControl(L"Button_Close"), nullptr);
    // The whole window is client area, sized by the skin.
    RECT wr, cr;
    GetWindowRect(hwnd, &wr);
    GetClientRect(hwnd, &cr);
    EXPECT_EQ(cr.right, wr.right - wr.left);
    EXPECT_EQ(cr.bottom, wr.bottom - wr.top);
    EXPECT_EQ(cr.right, 300);
    EXPECT_EQ(cr.bottom, 200);
    // "windowinit" comes with the first paint, once.
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
    EXPECT_TRUE(WaitFor([&] { return !w.notified.empty(); }));
    EXPECT_EQ(w.notified[0], L"windowinit:");

    // Destruction restores the procedure and unbinds.
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(w.IsSubclassed());
    EXPECT_EQ(w.OldProc(), &DefWindowProcW);
    EXPECT_EQ(w.postNcDestroy, 1);
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST_F(UIWndTest, MissingOrBrokenSkinFailsCreation)
{
    for (const wchar_t* skin : {L"no_such_skin.xml", L"broken.xml"}) {
        SCOPED_TRACE(testsupport::ToUtf8(skin));
        CTestUIWnd w(skin);
        EXPECT_FALSE(w.CreateWnd(nullptr));
        EXPECT_EQ(w.m_hWnd, nullptr);
        EXPECT_EQ(w.initCount, 0);
        EXPECT_EQ(w.GetPaintManager().GetRoot(), nullptr);
    }
}

namespace {

// Owns itself like the plug-in's pop-ups: the close button destroys the
// window and the object deletes itself after the last message. Its memory is
// poisoned on release so that any later read of it shows up as a crash.
class CSelfDeletingWnd : public CTestUIWnd {
public:
    explicit CSelfDeletingWnd(bool* deleted) : CTestUIWnd(L"round.xml"), m_deleted(deleted) {}
    ~CSelfDeletingWnd() override { *m_deleted = true; }
    void Notify(TNotifyUI& msg) override
    {
        if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == L"Button_Close") ::DestroyWindow(m_hWnd);
    }
    static void operator delete(void* p, std::size_t size)
    {
        std::memset(p, 0xDD, size);
        ::operator delete(p);
    }

protected:
    void PostNcDestroy() override { delete this; }

private:
    bool* m_deleted;
};

}  // namespace

TEST_F(UIWndTest, ClickHandlerMayDestroyASelfDeletingWindow)
{
    bool deleted = false;
    auto* w = new CSelfDeletingWnd(&deleted);
    ASSERT_TRUE(w->CreateWnd(nullptr));
    HWND hwnd = w->m_hWnd;
    SetWindowPos(hwnd, nullptr, 100, 100, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    POINT pt = ScreenCenterOf(*w, L"Button_Close");
    ScreenToClient(hwnd, &pt);
    // Through the queue, as a real click arrives.
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(hwnd); }));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

TEST_F(UIWndTest, RoundCornersAreAWindowRegion)
{
    CTestUIWnd round(L"round.xml");
    ASSERT_TRUE(round.CreateWnd(nullptr));
    ShowWindow(round.m_hWnd, SW_SHOWNOACTIVATE);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(round.m_hWnd, rgn), ERROR);
    // A rounded region leaves out its right and bottom edges; it is made one
    // pixel wider and taller so that the last column and row still show.
    EXPECT_TRUE(PtInRegion(rgn, 0, 100));
    EXPECT_TRUE(PtInRegion(rgn, 150, 0));
    EXPECT_TRUE(PtInRegion(rgn, 299, 100));
    EXPECT_TRUE(PtInRegion(rgn, 150, 199));
    EXPECT_FALSE(PtInRegion(rgn, 300, 100));
    EXPECT_FALSE(PtInRegion(rgn, 150, 200));
    EXPECT_FALSE(PtInRegion(rgn, 0, 0));  // the corners are cut
    EXPECT_FALSE(PtInRegion(rgn, 299, 199));
    EXPECT_TRUE(PtInRegion(rgn, 150, 100));
    // Minimised: no region.
    SendMessageW(round.m_hWnd, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(GetWindowRgn(round.m_hWnd, rgn), ERROR);
    DestroyWindow(round.m_hWnd);

    // roundcorner 0,0: no region in any state.
    CTestUIWnd square(L"square.xml");
    ASSERT_TRUE(square.CreateWnd(nullptr));
    for (int cmd : {SW_SHOWNOACTIVATE, SW_MAXIMIZE, SW_MINIMIZE, SW_RESTORE}) {
        SCOPED_TRACE(cmd);
        ShowWindow(square.m_hWnd, cmd);
        EXPECT_EQ(GetWindowRgn(square.m_hWnd, rgn), ERROR);
    }
    DeleteObject(rgn);
    DestroyWindow(square.m_hWnd);
}

TEST_F(UIWndTest, HitTestFrameFollowsItsTable)
{
    CTestUIWnd w(L"round.xml");
    ASSERT_TRUE(w.CreateWnd(nullptr));
    HWND hwnd = w.m_hWnd;
    SetWindowPos(hwnd, nullptr, 100, 100, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    RECT rc;
    GetWindowRect(hwnd, &rc);
    const int midY = (rc.top + rc.bottom) / 2;
    const int midX = (rc.left + rc.right) / 2;

    POINT button = ScreenCenterOf(w, L"Button_Close");
    POINT label = ScreenCenterOf(w, L"Label_Caption");
    EXPECT_EQ(w.HitTestFrame(hwnd, button.x, button.y), 0);
    EXPECT_EQ(w.HitTestFrame(hwnd, label.x, label.y), HTCAPTION);
    // The sizing band reaches four pixels outside the window and the size
    // box inside it; the first pixel past either end is not decided.
    const struct {
        int x, y;
        LRESULT code;
    } points[] = {
        {rc.left - 4, midY, HTLEFT},   {rc.left - 5, midY, 0},         {rc.left + 5, midY, HTLEFT},
        {rc.left + 6, midY, 0},        {rc.right + 3, midY, HTRIGHT},  {rc.right + 4, midY, 0},
        {rc.right - 6, midY, HTRIGHT}, {rc.right - 7, midY, 0},        {midX, rc.top - 4, HTTOP},
        {midX, rc.top - 5, 0},         {midX, rc.top + 5, HTTOP},      {midX, rc.bottom + 3, HTBOTTOM},
        {midX, rc.bottom + 4, 0},      {midX, rc.bottom - 6, HTBOTTOM}, {midX, rc.bottom - 7, 0},
        {rc.left - 4, rc.top - 4, HTTOPLEFT}, {rc.right + 3, rc.bottom + 3, HTBOTTOMRIGHT},
        {rc.right + 4, rc.bottom + 4, 0},
        {midX, rc.top + 2, HTTOP},  // band wins over caption
        {midX, rc.bottom - 1, HTBOTTOM}, {rc.left + 1, rc.top + 1, HTTOPLEFT},
        {rc.right - 1, rc.top + 1, HTTOPRIGHT}, {rc.left + 1, rc.bottom - 1, HTBOTTOMLEFT},
        {rc.right - 1, rc.bottom - 1, HTBOTTOMRIGHT}, {midX, midY, 0},
        {midX, rc.top + 39, HTCAPTION},  // last caption row over the layout
        {midX, rc.top + 40, 0},
    };
    for (const auto& p : points)
        EXPECT_EQ(p.code, w.HitTestFrame(hwnd, p.x, p.y)) << (p.x - rc.left) << "," << (p.y - rc.top);

    // Maximised: no sizing codes, the caption still drags.
    ShowWindow(hwnd, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(hwnd));
    GetWindowRect(hwnd, &rc);
    label = ScreenCenterOf(w, L"Label_Caption");
    EXPECT_EQ(w.HitTestFrame(hwnd, label.x, label.y), HTCAPTION);
    EXPECT_EQ(w.HitTestFrame(hwnd, label.x, rc.top + 2), HTCAPTION);
    EXPECT_EQ(w.HitTestFrame(hwnd, rc.left + 1, (rc.top + rc.bottom) / 2), 0);
    EXPECT_EQ(w.HitTestFrame(hwnd, rc.right - 1, rc.bottom - 1), 0);
    button = ScreenCenterOf(w, L"Button_Close");
    EXPECT_EQ(w.HitTestFrame(hwnd, button.x, button.y), 0);
    DestroyWindow(hwnd);
}

TEST_F(UIWndTest, ToolkitSeesMessagesBeforeTheMaps)
{
    CTestUIWnd w(L"round.xml");
    ASSERT_TRUE(w.CreateWnd(nullptr));
    ShowWindow(w.m_hWnd, SW_SHOWNOACTIVATE);
    UpdateWindow(w.m_hWnd);
    RECT rc = w.GetPaintManager().FindControl(L"Button_Close")->GetPos();
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    // Hover over a control is the toolkit's; leave goes on to the maps.
    SendMessageW(w.m_hWnd, WM_MOUSEMOVE, 0, at);
    SendMessageW(w.m_hWnd, WM_MOUSEHOVER, 0, at);
    EXPECT_EQ(w.mapHover, 0);
    SendMessageW(w.m_hWnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(w.mapLeave, 1);
    DestroyWindow(w.m_hWnd);
}

TEST_F(UIWndTest, TwentyWindowsLeaveNoGdiOrUserObjects)
{
    for (int i = 0; i < 3; ++i) {
        CTestUIWnd w(L"round.xml");
        ASSERT_TRUE(w.CreateWnd(nullptr));
        ShowWindow(w.m_hWnd, SW_SHOWNOACTIVATE);
        UpdateWindow(w.m_hWnd);
        DestroyWindow(w.m_hWnd);
    }
    testsupport::PumpMessages();
    DWORD gdi = testsupport::CountGdiObjects();
    DWORD user = testsupport::CountUserObjects();
    for (int i = 0; i < 20; ++i) {
        CTestUIWnd w(L"round.xml");
        ASSERT_TRUE(w.CreateWnd(nullptr)) << i;
        ShowWindow(w.m_hWnd, SW_SHOWNOACTIVATE);
        UpdateWindow(w.m_hWnd);
        SendMessageW(w.m_hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
        if (i % 2) DestroyWindow(w.m_hWnd);  // else the object's destructor does it
    }
    testsupport::PumpMessages();
    RecordProperty("gdi_objects", static_cast<int>(gdi));
    RecordProperty("user_objects", static_cast<int>(user));
    EXPECT_EQ(testsupport::CountGdiObjects(), gdi);
    EXPECT_EQ(testsupport::CountUserObjects(), user);
}

// ---- The framework on its own --------------------------------------------------

namespace {

class CBaseWnd : public CWnd {
public:
    std::vector<std::string> calls;

protected:
    DECLARE_MESSAGE_MAP()
    LRESULT OnUser1(WPARAM, LPARAM)
    {
        calls.push_back("base:user1");
        return 11;
    }
    LRESULT OnUser2(WPARAM, LPARAM)
    {
        calls.push_back("base:user2");
        return 12;
    }
};
BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_MESSAGE(WM_USER + 1, OnUser1)
ON_MESSAGE(WM_USER + 2, OnUser2)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
protected:
    DECLARE_MESSAGE_MAP()
    LRESULT OnUser2(WPARAM w, LPARAM)
    {
        calls.push_back("derived:user2");
        return static_cast<LRESULT>(w) + 100;
    }
    LRESULT OnSetText(WPARAM, LPARAM)
    {
        calls.push_back("derived:settext");
        return Default();  // the class procedure stores the text
    }
};
BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_MESSAGE(WM_USER + 2, OnUser2)
ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

}  // namespace

TEST(Framework, MessageMapsSearchFromTheMostDerivedClass)
{
    CDerivedWnd w;
    ASSERT_TRUE(w.CreateEx(0, L"STATIC", L"start", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    EXPECT_EQ(CWnd::FromHandlePermanent(w.m_hWnd), &w);
    EXPECT_EQ(w.SendMessage(WM_USER + 1), 11);
    EXPECT_EQ(w.SendMessage(WM_USER + 2, 5), 105);
    EXPECT_EQ(w.SendMessage(WM_USER + 3), 0);  // default processing of STATIC
    SetWindowTextW(w.m_hWnd, L"changed");
    wchar_t text[32] = {};
    GetWindowTextW(w.m_hWnd, text, 32);
    EXPECT_STREQ(text, L"changed");
    EXPECT_EQ(w.calls, (std::vector<std::string>{"base:user1", "derived:user2", "derived:settext"}));
    HWND hwnd = w.m_hWnd;
    EXPECT_TRUE(w.DestroyWindow());
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST(Framework, MessageHooksGoWithTheLastWindowAndOnRelease)
{
    ASSERT_EQ(Framework::InstalledHookCount(), 0u);
    {
        CDerivedWnd a;
        CDerivedWnd b;
        ASSERT_TRUE(a.CreateEx(0, L"STATIC", L"a", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
        ASSERT_TRUE(b.CreateEx(0, L"STATIC", L"b", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
        EXPECT_EQ(Framework::InstalledHookCount(), 1u);  // one per thread
        a.DestroyWindow();
        EXPECT_EQ(Framework::InstalledHookCount(), 1u);
        b.DestroyWindow();
        EXPECT_EQ(Framework::InstalledHookCount(), 0u);
    }

    // Released while a window is still open: nothing stays hooked, and the
    // window going later does not disturb the bookkeeping.
    {
        CDerivedWnd w;
        ASSERT_TRUE(w.CreateEx(0, L"STATIC", L"w", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
        EXPECT_EQ(Framework::InstalledHookCount(), 1u);
        Framework::ReleaseHooks();
        EXPECT_EQ(Framework::InstalledHookCount(), 0u);
        EXPECT_TRUE(w.DestroyWindow());
        EXPECT_EQ(Framework::InstalledHookCount(), 0u);
    }

    // An object dropped on another thread than its window's gives back the
    // hook of the window's thread.
    std::atomic<HWND> created{nullptr};
    std::atomic<bool> dropped{false};
    auto* owned = new CDerivedWnd;
    std::thread owner([&] {
        if (owned->CreateEx(0, L"STATIC", L"t", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr)) created = owned->m_hWnd;
        HWND mine = created;
        if (!mine) return;
        WaitFor([&] { return dropped.load(); }, 5000);
        ::DestroyWindow(mine);
    });
    EXPECT_TRUE(WaitFor([&] { return created.load() != nullptr; }));
    EXPECT_EQ(Framework::InstalledHookCount(), 1u);
    delete owned;
    EXPECT_EQ(Framework::InstalledHookCount(), 0u);
    dropped = true;
    owner.join();
    EXPECT_EQ(Framework::InstalledHookCount(), 0u);
}

TEST_F(UIWndTest, AnExceptionInAHandlerStopsAtTheWindowProcedureAndTheWindowLivesOn)
{
    g_boundaryReports.clear();
    DuiLib::SetBoundaryReporter(&CaptureBoundaryReport);
    CTestUIWnd w(L"round.xml");
    ASSERT_TRUE(w.CreateWnd(nullptr));
    EXPECT_EQ(0, ::SendMessageW(w.m_hWnd, CTestUIWnd::kThrowInMap, 0, 0));
    EXPECT_EQ(0, ::SendMessageW(w.m_hWnd, CTestUIWnd::kThrowInToolkit, 0, 0));
    DuiLib::SetBoundaryReporter(nullptr);
    // Each failure stopped at the innermost procedure, reported once.
    EXPECT_EQ((std::vector<std::string>{"FrameworkWndProc: map handler failed",
                                        "CUIWnd::UIWndProc: toolkit handler failed"}),
              g_boundaryReports);
    ASSERT_TRUE(::IsWindow(w.m_hWnd));
    EXPECT_EQ(w.mapKeyDown, 0);
    ::SendMessageW(w.m_hWnd, WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(1, w.mapKeyDown);  // later messages are handled as before
}

TEST_F(UIWndTest, ViewTeardownDestroysTheFramesWindowAndTheFrame)
{
    bool destroyed = false;
    HWND window = nullptr;
    {
        CLumoraPluginView view(GetModuleHandleW(nullptr));
        auto frame = std::make_unique<CTestUIWnd>(L"round.xml");
        frame->destroyed = &destroyed;
        CUIWnd* held = view.SetFrame(std::move(frame));
        ASSERT_TRUE(held->CreateWnd(nullptr));
        window = held->m_hWnd;
        view.Teardown();
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_TRUE(destroyed);
        EXPECT_EQ(nullptr, view.Frame());
        EXPECT_EQ(nullptr, view.GetWindow());
    }
    CLumoraPluginView::ReleaseSharedEmptyString();
}
