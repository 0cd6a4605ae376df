// The two one-button menus on real windows. What the copy button puts on the clipboard is checked
// from the main window.
#include <gtest/gtest.h>

#include <string>

#include "ProductUi.h"
#include "ClipboardReader.h"
#include "TestSupport.h"
#include "UI/MenuWnd.h"
#include "Utils/LanguageStrings.h"

using testsupport::WaitFor;

namespace {

// A plain window standing for the absent-key pop-up: counts the menu's
// report and can take the focus away from a menu.
class PopupStandIn {
public:
    PopupStandIn()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumoraMenuTestPopup";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"popup", WS_POPUP | WS_VISIBLE, 500, 400, 200, 120,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        s_reports = 0;
    }
    ~PopupStandIn() { ::DestroyWindow(hwnd); }
    // Takes activation and focus, as a click on it would.
    void TakeFocus() const
    {
        ::SetForegroundWindow(hwnd);
        ::SetActiveWindow(hwnd);
        ::SetFocus(hwnd);
    }
    static int Reports() { return s_reports; }
    HWND hwnd;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l)
    {
        if (msg == CNoDeviceNotifiyCertMenuWnd::kForbidNotifyMessage && w == 0 && l == 0) ++s_reports;
        return ::DefWindowProcW(h, msg, w, l);
    }
    static int s_reports;
};
int PopupStandIn::s_reports = 0;

CToolkitWnd* ObjectOf(HWND hwnd)
{
    auto* base = reinterpret_cast<DuiLib::CWindowWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return dynamic_cast<CToolkitWnd*>(base);
}

class MenuWndTest : public testing::Test {
protected:
    productui::ProductUi ui_;
};

TEST_F(MenuWndTest, BothMenusShareTheirWindowAndOpenAtThePoint)
{
    PopupStandIn popup;
    HWND copy = CPluginMenuWnd::Open(L"value", 300, 200);
    HWND forbid = CNoDeviceNotifiyCertMenuWnd::Open(popup.hwnd, 420, 260);
    for (HWND menu : {copy, forbid}) {
        ASSERT_TRUE(::IsWindow(menu));
        wchar_t cls[64] = {}, title[64] = {};
        ::GetClassNameW(menu, cls, 64);
        ::GetWindowTextW(menu, title, 64);
        EXPECT_STREQ(L"ZENTO_PluginMenuWnd", cls);
        EXPECT_STREQ(L"ZENTO Menu  wnd", title);
        EXPECT_EQ(static_cast<ULONG_PTR>(CS_DBLCLKS), ::GetClassLongPtrW(menu, GCL_STYLE));
        LONG_PTR style = ::GetWindowLongPtrW(menu, GWL_STYLE);
        EXPECT_TRUE(style & WS_POPUP);
        EXPECT_FALSE(style & WS_CAPTION);
        EXPECT_TRUE(style & WS_CLIPCHILDREN);
        EXPECT_EQ(static_cast<LONG_PTR>(WS_EX_TOOLWINDOW | WS_EX_TOPMOST),
                  ::GetWindowLongPtrW(menu, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
        EXPECT_EQ(nullptr, ::GetParent(menu));
    }
    RECT rc;
    ::GetWindowRect(forbid, &rc);
    EXPECT_EQ(420, rc.left);
    EXPECT_EQ(260, rc.top);
    EXPECT_EQ(80, rc.right - rc.left);
    EXPECT_EQ(25, rc.bottom - rc.top);
    // The second menu took the focus: the first one has closed itself.
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(copy); }));
    popup.TakeFocus();
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(forbid); }));
    EXPECT_EQ(0, PopupStandIn::Reports());
}

TEST_F(MenuWndTest, EmptyValueDoesNothingUntilTheFocusGoes)
{
    ASSERT_TRUE(PutTextOnClipboard(L"kept"));
    PopupStandIn other;
    HWND menu = CPluginMenuWnd::Open(L"", 100, 100);
    ASSERT_TRUE(::IsWindow(menu));
    testsupport::PumpMessages();
    productui::ClickCentre(menu);
    testsupport::PumpMessages();
    EXPECT_TRUE(::IsWindow(menu));
    other.TakeFocus();
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(menu); }));
    EXPECT_EQ(L"kept", testsupport::ClipboardUnicodeText());
}

TEST_F(MenuWndTest, StopRemindingReportsToThePopupOnceAndCloses)
{
    PopupStandIn popup;
    HWND menu = CNoDeviceNotifiyCertMenuWnd::Open(popup.hwnd, 100, 100);
    ASSERT_TRUE(::IsWindow(menu));
    testsupport::PumpMessages();
    productui::ClickCentre(menu);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(menu) && PopupStandIn::Reports() == 1; }));
    testsupport::PumpMessages();
    EXPECT_EQ(1, PopupStandIn::Reports());

    // Without a pop-up to report to, the button only closes the menu.
    menu = CNoDeviceNotifiyCertMenuWnd::Open(nullptr, 100, 100);
    testsupport::PumpMessages();
    productui::ClickCentre(menu);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(menu); }));
    EXPECT_EQ(1, PopupStandIn::Reports());
}

class MenuWndLook : public testing::TestWithParam<int> {
protected:
    productui::ProductUi ui_{GetParam()};
};

TEST_P(MenuWndLook, CaptionsComeFromTheLanguageAndMenusAreRendered)
{
    const std::wstring lang = GetParam() == 2052 ? L"zh" : L"en";
    PopupStandIn popup;
    struct Menu {
        HWND hwnd;
        const wchar_t* button;
        const char* key;
        const wchar_t* shot;
    };
    Menu menus[] = {
        {CPluginMenuWnd::Open(L"x", 100, 100), L"Button_Copy", "STRING_MENU_COPY", L"MenuWnd_"},
        {CNoDeviceNotifiyCertMenuWnd::Open(popup.hwnd, 200, 100), L"Button_NoNotify", "STRING_MENU_NO_NOTIFY",
         L"NoDeviceNotifyMenuWnd_"},
    };
    for (Menu& m : menus) {
        SCOPED_TRACE(m.key);
        CToolkitWnd* object = ObjectOf(m.hwnd);
        ASSERT_NE(nullptr, object);
        DuiLib::CControlUI* button = object->GetPaintManager().FindControl(m.button);
        ASSERT_NE(nullptr, button);
        EXPECT_EQ(GetLanguageString(m.key), button->GetText());
        productui::ExpectReadableAtBothScales(m.hwnd, object->GetPaintManager());
        EXPECT_TRUE(
            object->GetPaintManager().SaveSnapshot(testsupport::ScreenshotPath(m.shot + lang + L".png")));
        ::DestroyWindow(m.hwnd);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, MenuWndLook, testing::Values(2052, 1033));

}  // namespace
