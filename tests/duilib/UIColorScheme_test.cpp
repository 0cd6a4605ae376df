// High contrast in the toolkit: the system setting is what is read, every
// control paints its state in the system colour of its role instead of the
// skin's, and a change of colours or mode repaints every toolkit window of
// the process, child windows too, without anything being built again.
#include <gtest/gtest.h>

#include "DuiTestWindow.h"
#include "HighContrastScope.h"

using namespace DuiLib;
using duitest::Pixels;
using duitest::ScopedTestWindow;
using duitest::SkinFolder;
using testsupport::HighContrastRgb;
using testsupport::HighContrastScope;

namespace {

bool SystemSaysHighContrast()
{
    HIGHCONTRASTW hc = {};
    hc.cbSize = sizeof(hc);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0) &&
           (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// Every colour the skin below gives, none of which the scheme uses.
constexpr DWORD kSkinColours[] = {0xF0E0D0, 0xF6F7F9, 0x2B6CE0, 0x2559C2,
                                  0xE6E8EB, 0xE3ECFC, 0xFDECEE, 0xFF0000};

const wchar_t kStatesSkin[] =
    L"<Window size=\"300,260\" bkcolor=\"#FFF0E0D0\" textcolor=\"#FF1F1F1F\">"
    L"<Font id=\"0\" name=\"Microsoft YaHei\" size=\"14\" default=\"true\"/>"
    L"<VerticalLayout bkcolor=\"#FFF6F7F9\" inset=\"10,10,10,10\" childpadding=\"6\">"
    L"<HorizontalLayout height=\"30\" childpadding=\"6\">"
    L"<Button name=\"face\" width=\"80\" text=\"OK\" bkcolor=\"#FF2B6CE0\" textcolor=\"#FFFFFFFF\""
    L" hotbkcolor=\"#FF2559C2\"/>"
    L"<Button name=\"off\" width=\"80\" text=\"Off\" bkcolor=\"#FF2B6CE0\" enabled=\"false\"/>"
    L"<Button name=\"link\" width=\"80\" text=\"Link\" textcolor=\"#FF2B6CE0\"/>"
    L"</HorizontalLayout>"
    L"<Control name=\"rule\" height=\"1\" bkcolor=\"#FFE6E8EB\"/>"
    L"<HorizontalLayout height=\"12\"><Container name=\"plate\" width=\"20\" bkcolor=\"#FFE3ECFC\">"
    L"<Control name=\"shape\" float=\"true\" pos=\"4,2,16,10\" bkcolor=\"#FF2B6CE0\"/></Container>"
    L"</HorizontalLayout>"
    L"<Container height=\"30\">"
    L"<Option name=\"row\" group=\"rows\" selected=\"true\" selectedbkcolor=\"#FFE3ECFC\"/>"
    L"<Label name=\"rowtext\" padding=\"8,0,8,0\" text=\"行文字\" textcolor=\"#FF2B6CE0\" mouse=\"false\"/>"
    L"</Container>"
    L"<Option name=\"check\" height=\"24\" checkbox=\"true\" selected=\"true\" text=\"勾选\"/>"
    L"<Combo name=\"combo\" height=\"28\" textcolor=\"#FF2B6CE0\" selectedid=\"0\">"
    L"<ComboItem text=\"一\"/><ComboItem text=\"二\"/></Combo>"
    L"<Edit name=\"edit\" height=\"28\" text=\"abc\" bkcolor=\"#FFFDECEE\" textcolor=\"#FF2B6CE0\"/>"
    L"<Label name=\"html\" height=\"24\" showhtml=\"true\" text=\"{c #FF0000}红色{/c}\"/>"
    L"</VerticalLayout></Window>";

class HighContrastTest : public testing::Test {
protected:
    SkinFolder skins;
};

RECT Inner(const RECT& rc, int by)
{
    return {rc.left + by, rc.top + by, rc.right - by, rc.bottom - by};
}

}  // namespace

TEST(HighContrastScheme, ReadsTheSystemSettingAndTheOverrideEndsWithItsScope)
{
    // Wine answers SPI_SETHIGHCONTRAST with ERROR_INVALID_SPI_VALUE, so the
    // mode itself is forced through the override; the reading is still real.
    CColorScheme::SetHighContrastOverride(std::nullopt);
    const bool system = SystemSaysHighContrast();
    EXPECT_EQ(system, CColorScheme::IsHighContrast());
    EXPECT_FALSE(CColorScheme::Refresh()) << "nothing changed, nothing to repaint";
    {
        HighContrastScope scope;
        ASSERT_TRUE(scope.ok());
        EXPECT_TRUE(CColorScheme::IsHighContrast());
        // Which role paints in which system colour is seen in the pixels of the tests below.
        EXPECT_EQ(0xFF000000u | HighContrastRgb::kHighlight, CColorScheme::Pick(UIColorRole::SelectedBk, 0xFF123456));
        EXPECT_EQ(0xFF000000u | HighContrastRgb::kText, CColorScheme::FocusIndicatorColor(0xFF123456));
        CColorScheme::SetHighContrastOverride(false);
        EXPECT_EQ(0xFF123456u, CColorScheme::Pick(UIColorRole::SelectedBk, 0xFF123456));
        EXPECT_EQ(0xFF123456u, CColorScheme::FocusIndicatorColor(0xFF123456));
    }
    EXPECT_EQ(system, CColorScheme::IsHighContrast()) << "the override is gone with its scope";
}

TEST_F(HighContrastTest, EveryStatePaintsInItsRoleColourAndNoSkinColourIsLeft)
{
    ScopedTestWindow w(kStatesSkin);
    ASSERT_TRUE(w->Open(false)) << testsupport::ToUtf8(w->m_buildError);
    HighContrastScope scope;
    ASSERT_TRUE(scope.ok());
    auto pos = [&](const wchar_t* name) { return w->m_pm.FindControl(name)->GetPos(); };
    auto midLeft = [](const RECT& rc) { return POINT{rc.left, (rc.top + rc.bottom) / 2}; };
    Pixels px;
    ASSERT_TRUE(duitest::Render(w->m_pm, px));
    for (int y = 0; y < px.cy; ++y) {
        for (int x = 0; x < px.cx; ++x) {
            for (DWORD skin : kSkinColours) ASSERT_NE(skin, px.At(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(HighContrastRgb::kWindow, px.At(2, 2));
    // A face keeps an outline in the button text colour; disabled goes grey.
    RECT face = pos(L"face");
    EXPECT_EQ(HighContrastRgb::kButtonText, px.At(midLeft(face).x, midLeft(face).y));
    EXPECT_GT(px.CountNear(Inner(face, 2), HighContrastRgb::kButtonText, 40), 0);
    EXPECT_EQ(HighContrastRgb::kButtonFace, px.At(face.left + 4, face.top + 4));
    RECT off = pos(L"off");
    EXPECT_EQ(HighContrastRgb::kGrayText, px.At(midLeft(off).x, midLeft(off).y));
    EXPECT_GT(px.CountDominant(Inner(off, 2), 1), 0) << "grey text ink";
    // A text-only button: window text, not its skin's blue.
    RECT link = pos(L"link");
    EXPECT_GT(px.CountNear(link, HighContrastRgb::kText, 40), 0);
    EXPECT_EQ(0, px.CountDominant(link, 2));
    // A divider and an icon's shape keep their form in the text colour; the
    // icon's plate goes.
    RECT rule = pos(L"rule");
    EXPECT_EQ(HighContrastRgb::kText, px.At((rule.left + rule.right) / 2, rule.top));
    RECT plate = pos(L"plate"), shape = pos(L"shape");
    EXPECT_EQ(HighContrastRgb::kWindow, px.At(plate.left + 1, plate.top + 1));
    EXPECT_EQ(HighContrastRgb::kText, px.At((shape.left + shape.right) / 2, (shape.top + shape.bottom) / 2));
    // The selected row fills with the highlight, and the label over it
    // writes in the highlight's text colour, never in the window text colour.
    RECT row = pos(L"row");
    EXPECT_EQ(HighContrastRgb::kHighlight, px.At(row.right - 3, (row.top + row.bottom) / 2));
    RECT rowText = pos(L"rowtext");
    EXPECT_GT(px.CountNear(rowText, HighContrastRgb::kHighlightText, 60), 0);
    EXPECT_EQ(0, px.CountNear(rowText, HighContrastRgb::kText, 60));
    // A checked box fills with the highlight; its text stays window text.
    RECT check = pos(L"check");
    const int boxTop = (check.top + check.bottom - 16) / 2;
    EXPECT_EQ(HighContrastRgb::kHighlight, px.At(check.left + 8, boxTop + 2));
    EXPECT_GT(
        px.CountNear({check.left + 24, check.top, check.right, check.bottom}, HighContrastRgb::kText, 40), 0);
    RECT combo = pos(L"combo");
    EXPECT_EQ(HighContrastRgb::kText, px.At(midLeft(combo).x, midLeft(combo).y));
    EXPECT_GT(px.CountNear(Inner(combo, 2), HighContrastRgb::kText, 40), 0);
    EXPECT_EQ(0, px.CountDominant(combo, 2));
    // Inline colours give way too.
    RECT html = pos(L"html");
    EXPECT_EQ(0, px.CountDominant(html, 0));
    EXPECT_GT(px.CountNear(html, HighContrastRgb::kText, 40), 0);

    // The native edit colours itself through WM_CTLCOLOREDIT.
    HWND edit = w->Find<CEditUI>(L"edit")->GetNativeWindow();
    ASSERT_NE(nullptr, edit);
    HDC dc = ::GetDC(edit);
    auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        w->GetHWND(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit)));
    LOGBRUSH lb = {};
    ASSERT_EQ(static_cast<int>(sizeof(lb)), ::GetObjectW(brush, sizeof(lb), &lb));
    EXPECT_EQ(RGB(0, 0, 0), lb.lbColor);
    EXPECT_EQ(RGB(255, 255, 255), ::GetTextColor(dc));
    ::ReleaseDC(edit, dc);

    // Hot shows as an outline of its own colour; pushed as the highlight.
    w->SendMouse(WM_MOUSEMOVE, duitest::TestWindow::CenterOf(w->m_pm.FindControl(L"face")));
    ASSERT_TRUE(duitest::Render(w->m_pm, px));
    EXPECT_EQ(HighContrastRgb::kHotLight, px.At(midLeft(face).x + 1, midLeft(face).y));
    w->SendMouse(WM_LBUTTONDOWN, duitest::TestWindow::CenterOf(w->m_pm.FindControl(L"face")), MK_LBUTTON);
    ASSERT_TRUE(duitest::Render(w->m_pm, px));
    EXPECT_EQ(HighContrastRgb::kHighlight, px.At(face.left + 4, face.top + 4));
    w->SendMouse(WM_LBUTTONUP, {-1, -1});

    // Off again: the skin's colours come back with nothing rebuilt.
    CColorScheme::SetHighContrastOverride(false);
    ASSERT_TRUE(duitest::Render(w->m_pm, px));
    EXPECT_EQ(0xF6F7F9u, px.At(2, 2));
    EXPECT_EQ(0xE3ECFCu, px.At(row.right - 3, (row.top + row.bottom) / 2));
}

TEST_F(HighContrastTest, ComboListFillsTheCursorAndOutlinesTheChosenItem)
{
    ScopedTestWindow w(kStatesSkin);
    ASSERT_TRUE(w->Open(true));
    HighContrastScope scope;
    ASSERT_TRUE(scope.ok());
    auto* combo = w->Find<CComboUI>(L"combo");
    w->Click(combo);
    HWND list = combo->GetDropDownWindow();
    ASSERT_NE(nullptr, list);
    // The cursor goes to the second item; the first stays the chosen one.
    ::SendMessageW(w->GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
    ::UpdateWindow(list);
    RECT chosen, cursor;
    ASSERT_TRUE(combo->GetDropDownItemRect(0, chosen));
    ASSERT_TRUE(combo->GetDropDownItemRect(1, cursor));
    ScopedWindowDC dc(list);
    auto rgb = [&](int x, int y) {
        COLORREF c = ::GetPixel(dc.get(), x, y);
        return (static_cast<DWORD>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    };
    const int mid0 = (chosen.top + chosen.bottom) / 2, mid1 = (cursor.top + cursor.bottom) / 2;
    EXPECT_EQ(HighContrastRgb::kText, rgb(0, mid0)) << "the list's border";
    EXPECT_EQ(HighContrastRgb::kHighlight, rgb(chosen.left, mid0)) << "the chosen item's outline";
    EXPECT_EQ(HighContrastRgb::kWindow, rgb(chosen.right - 4, mid0));
    EXPECT_EQ(HighContrastRgb::kHighlight, rgb(cursor.right - 4, mid1));
    ::SendMessageW(w->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(testsupport::WaitFor([&] { return !::IsWindow(list); }));
}

TEST_F(HighContrastTest, ColourAndModeChangesRepaintEveryToolkitWindowChildrenToo)
{
    ScopedTestWindow top(kStatesSkin);
    ASSERT_TRUE(top->Open(true));
    // A toolkit window inside a window that is not the toolkit's, as the
    // plug-in's view sits in its host: the system's broadcasts reach
    // top-level windows only, and this host forwards nothing.
    ScopedWindow host(::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                                        320, 260, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(host);
    ScopedTestWindow child(L"all_controls.xml");
    ASSERT_TRUE(child->Open(true, WS_CHILD | WS_CLIPCHILDREN, host.get()));
    auto painted = [&] {
        ::UpdateWindow(top->GetHWND());
        ::UpdateWindow(child->GetHWND());
        ::ValidateRect(top->GetHWND(), nullptr);
        ::ValidateRect(child->GetHWND(), nullptr);
    };
    auto pending = [](HWND hwnd) { return ::GetUpdateRect(hwnd, nullptr, FALSE) != FALSE; };
    painted();
    // Some other setting: nothing to repaint.
    ::SendMessageW(top->GetHWND(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_FALSE(pending(top->GetHWND()));
    EXPECT_FALSE(pending(child->GetHWND()));
    // The contrast mode changed.
    ::SendMessageW(top->GetHWND(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_TRUE(pending(top->GetHWND()));
    EXPECT_TRUE(pending(child->GetHWND()));
    // New system colours: SetSysColors broadcasts WM_SYSCOLORCHANGE (and
    // Wine repaints every window itself, so the message is sent again below).
    HighContrastScope scope;
    ASSERT_TRUE(scope.ok());
    EXPECT_TRUE(top->m_handled.count(WM_SYSCOLORCHANGE)) << "the broadcast came";
    painted();
    ::SendMessageW(top->GetHWND(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_TRUE(pending(top->GetHWND()));
    EXPECT_TRUE(pending(child->GetHWND()));
}
