// The toolkit on real windows under the test display: painting, the
// notifications a user's mouse and keyboard cause, hover and tooltips, the
// native edit, the combo's list window, and what rendering puts in pixels.
#include <gtest/gtest.h>

#include "DuiTestWindow.h"

#include <commctrl.h>

using namespace DuiLib;
using duitest::Pixels;
using duitest::ScopedTestWindow;
using duitest::SkinFolder;
using testsupport::WaitFor;

namespace {

SIZE MeasureOnScreen(CPaintManagerUI* pm, const std::wstring& text, int font)
{
    HDC screen = GetDC(nullptr);
    SIZE size = CRenderEngine::MeasureText(screen, pm, text, font);
    ReleaseDC(nullptr, screen);
    return size;
}

class UIWindowTest : public testing::Test {
protected:
    SkinFolder skins;
};

}  // namespace

TEST_F(UIWindowTest, BuildsPaintsAndSendsWindowInitOnce)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open()) << testsupport::ToUtf8(w->m_buildError);
    // The skin sized the window.
    RECT rc;
    GetClientRect(w->GetHWND(), &rc);
    EXPECT_EQ(rc.right, w->m_pm.GetInitSize().cx);
    EXPECT_EQ(rc.bottom, w->m_pm.GetInitSize().cy);
    InvalidateRect(w->GetHWND(), nullptr, FALSE);
    UpdateWindow(w->GetHWND());
    ASSERT_TRUE(WaitFor([&] { return w->m_windowInitSeen; }));
    UpdateWindow(w->GetHWND());
    InvalidateRect(w->GetHWND(), nullptr, FALSE);
    UpdateWindow(w->GetHWND());
    EXPECT_EQ(w->m_windowInitCount, 1);
    EXPECT_EQ(w->CountOf(L"windowinit", L"root"), 1);
    // The missing background image of Control_Image did not stop anything.
    EXPECT_GT(w->m_pm.FindControl(L"Control_Image")->GetHeight(), 0);
}

TEST_F(UIWindowTest, ClickReachesHandlersThenSinksWithTheSender)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    CButtonUI* ok = w->Find<CButtonUI>(L"Button_OK");
    ASSERT_NE(ok, nullptr);
    w->m_pm.UpdateLayout();
    std::vector<std::wstring> order;
    ok->OnNotify += [&](TNotifyUI& msg) {
        order.push_back(L"handler:" + msg.sType);
        EXPECT_EQ(msg.pSender, ok);
        EXPECT_GT(msg.dwTimestamp, 0u);
        EXPECT_TRUE(PtInRect(&ok->GetPos(), msg.ptMouse));
        return false;
    };
    w->ClearRecord();
    w->Click(ok);
    ASSERT_EQ(order.size(), 1u);
    EXPECT_EQ(order[0], L"handler:click");
    EXPECT_EQ(w->CountOf(L"click", L"Button_OK"), 1);

    // A handler that answers true keeps the notification from the sinks.
    ok->OnNotify += [](TNotifyUI&) { return true; };
    w->ClearRecord();
    w->Click(ok);
    EXPECT_EQ(order.size(), 2u);
    EXPECT_EQ(w->CountOf(L"click"), 0);

    // Pressed inside but released outside is no click; disabled buttons do nothing.
    w->ClearRecord();
    POINT in = duitest::TestWindow::CenterOf(ok);
    w->SendMouse(WM_LBUTTONDOWN, in, MK_LBUTTON);
    w->SendMouse(WM_MOUSEMOVE, {2, 2}, MK_LBUTTON);
    w->SendMouse(WM_LBUTTONUP, {2, 2});
    EXPECT_EQ(order.size(), 2u);
    ok->SetEnabled(false);
    w->Click(ok);
    EXPECT_EQ(order.size(), 2u);
}

TEST_F(UIWindowTest, OptionGroupKeepsExactlyOneSelected)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.UpdateLayout();
    COptionUI* a = w->Find<COptionUI>(L"Option_A");
    COptionUI* b = w->Find<COptionUI>(L"Option_B");
    COptionUI* c = w->Find<COptionUI>(L"Option_C");
    ASSERT_TRUE(a && b && c);
    EXPECT_TRUE(a->IsSelected());  // from the skin, silently
    EXPECT_EQ(w->CountOf(L"selectchanged"), 0);
    auto selectedCount = [&] { return int(a->IsSelected()) + int(b->IsSelected()) + int(c->IsSelected()); };

    w->Click(b);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_EQ(w->CountOf(L"click", L"Option_B"), 1);
    EXPECT_EQ(w->CountOf(L"selectchanged", L"Option_B"), 1);
    EXPECT_EQ(w->CountOf(L"selectchanged", L"Option_A"), 1);  // lost it

    // Clicking the selected member again changes nothing.
    w->ClearRecord();
    w->Click(b);
    EXPECT_TRUE(b->IsSelected());
    EXPECT_EQ(w->CountOf(L"selectchanged"), 0);

    // From code: notifies at once unless asked not to.
    w->ClearRecord();
    c->Selected(true);
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_EQ(w->CountOf(L"selectchanged", L"Option_C"), 1);
    a->Selected(true, false);
    EXPECT_EQ(selectedCount(), 1);
    EXPECT_TRUE(a->IsSelected());
    EXPECT_EQ(w->CountOf(L"selectchanged", L"Option_A"), 0);

    // Without a group an option toggles.
    COptionUI* check = w->Find<COptionUI>(L"Option_Check");
    w->ClearRecord();
    w->Click(check);
    EXPECT_TRUE(check->IsSelected());
    w->Click(check);
    EXPECT_FALSE(check->IsSelected());
    EXPECT_EQ(w->CountOf(L"selectchanged", L"Option_Check"), 2);
    EXPECT_TRUE(a->IsSelected());
}

TEST_F(UIWindowTest, ComboSelectsSilentlyFromCodeAndNotifiesOnUserChoice)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.UpdateLayout();
    CComboUI* combo = w->Find<CComboUI>(L"Combo_Days");
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->SelectItem(1, false, false));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(combo->GetText(), L"30 天");
    EXPECT_EQ(w->CountOf(L"itemselect"), 0);
    EXPECT_TRUE(combo->SelectItem(-1, false, false));
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_EQ(combo->GetText(), L"");
    EXPECT_FALSE(combo->SelectItem(3, false, false));
    EXPECT_FALSE(combo->SelectItem(-2, false, false));
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_NE(w->m_pm.GetFocus(), combo);  // no focus taken

    // From code asking for notification: once per change, with new and old
    // index; selecting nothing is silent (a handler would find no item).
    EXPECT_TRUE(combo->SelectItem(0, false, true));
    EXPECT_TRUE(combo->SelectItem(0, false, true));
    ASSERT_EQ(w->CountOf(L"itemselect", L"Combo_Days"), 1);
    EXPECT_EQ(w->m_record.back().wParam, 0u);
    EXPECT_EQ(static_cast<int>(w->m_record.back().lParam), -1);
    EXPECT_TRUE(combo->SelectItem(-1, false, true));
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_EQ(w->CountOf(L"itemselect"), 1);
    EXPECT_TRUE(combo->SelectItem(0, false, true));
    EXPECT_EQ(w->CountOf(L"itemselect"), 2);

    // The user opens the list and picks the third item.
    w->ClearRecord();
    w->Click(combo);
    EXPECT_EQ(w->m_pm.GetFocus(), combo);
    HWND list = combo->GetDropDownWindow();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsWindowVisible(list));
    RECT item;
    ASSERT_TRUE(combo->GetDropDownItemRect(2, item));
    SendMessageW(list, WM_MOUSEMOVE, 0,
                 MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2));
    SendMessageW(list, WM_LBUTTONUP, 0,
                 MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2));
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(combo->GetDropDownWindow(), nullptr);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(combo->GetText(), L"15 天");
    EXPECT_EQ(w->CountOf(L"itemselect", L"Combo_Days"), 1);

    // Keys reach the open list through the focused combo: Escape closes it
    // without a choice (and is not the dialog's cancel key meanwhile).
    w->ClearRecord();
    w->Click(combo);
    list = combo->GetDropDownWindow();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetCapture(), list);
    SendMessageW(w->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(list); }));
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_EQ(w->CountOf(L"itemselect"), 0);
    EXPECT_EQ(w->CountOf(L"click"), 0);

    // Up in the list and Enter choose the item above the selected one.
    w->Click(combo);
    list = combo->GetDropDownWindow();
    ASSERT_NE(list, nullptr);
    SendMessageW(w->GetHWND(), WM_KEYDOWN, VK_UP, 0);
    SendMessageW(w->GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(w->CountOf(L"itemselect", L"Combo_Days"), 1);
    EXPECT_EQ(w->CountOf(L"click"), 0);
}

TEST_F(UIWindowTest, PasswordEditHidesItsTextAndReportsChanges)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.UpdateLayout();
    CEditUI* pin = w->Find<CEditUI>(L"Edit_Pin");
    CEditUI* plain = w->Find<CEditUI>(L"Edit_Plain");
    ASSERT_TRUE(pin && plain);
    HWND native = pin->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_TRUE(IsWindowVisible(native));
    EXPECT_NE(SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(SendMessageW(plain->GetNativeWindow(), EM_GETPASSWORDCHAR, 0, 0), 0);
    RECT rcNative;
    GetWindowRect(native, &rcNative);
    MapWindowPoints(nullptr, w->GetHWND(), reinterpret_cast<POINT*>(&rcNative), 2);
    RECT inter;
    EXPECT_TRUE(IntersectRect(&inter, &rcNative, &pin->GetPos()));
    EXPECT_TRUE(EqualRect(&inter, &rcNative));  // lies inside the control

    // The user types: one "textchanged" per character.
    w->ClearRecord();
    pin->SetFocus();
    EXPECT_EQ(GetFocus(), native);
    EXPECT_EQ(w->m_pm.GetFocus(), pin);
    for (wchar_t ch : std::wstring(L"ab1")) SendMessageW(native, WM_CHAR, ch, 0);
    EXPECT_EQ(pin->GetText(), L"ab1");
    EXPECT_EQ(w->CountOf(L"textchanged", L"Edit_Pin"), 3);

    // Setting the text from code is not a user change.
    w->ClearRecord();
    pin->SetText(L"xyz9");
    EXPECT_EQ(pin->GetText(), L"xyz9");
    EXPECT_EQ(w->CountOf(L"textchanged"), 0);

    // What is painted is the mask, never the PIN.
    Pixels withPin;
    ASSERT_TRUE(duitest::Render(w->m_pm, withPin));
    pin->SetPasswordMode(false);
    Pixels clear;
    ASSERT_TRUE(duitest::Render(w->m_pm, clear));
    RECT rc = pin->GetPos();
    EXPECT_NE(withPin.InkRows(rc, 0xFFFFFF), 0);
    int differing = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) differing += withPin.At(x, y) != clear.At(x, y);
    EXPECT_GT(differing, 20);
    EXPECT_EQ(SendMessageW(native, EM_GETPASSWORDCHAR, 0, 0), 0);

    // Hiding the control hides the native window; its tab page too.
    pin->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(native));
    pin->SetVisible(true);
    w->m_pm.UpdateLayout();
    EXPECT_TRUE(IsWindowVisible(native));
}

TEST_F(UIWindowTest, EnterAndEscapeInsideAnEditGoThroughTheQueuedMessageFilter)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.UpdateLayout();
    // Enter inside an edit presses the default button, Escape the cancel one,
    // through the queued-message filter of the message loop.
    w->ClearRecord();
    CEditUI* plain = w->Find<CEditUI>(L"Edit_Plain");
    plain->SetFocus();
    MSG msg = {plain->GetNativeWindow(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
    EXPECT_EQ(w->CountOf(L"click", L"Button_OK"), 1);
    msg.wParam = VK_ESCAPE;
    EXPECT_TRUE(CPaintManagerUI::TranslateMessage(&msg));
    EXPECT_EQ(w->CountOf(L"click", L"Button_Close"), 1);
    msg.wParam = 'A';
    EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&msg));
    // A message for some other window is not ours.
    MSG other = {GetDesktopWindow(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_FALSE(CPaintManagerUI::TranslateMessage(&other));
    EXPECT_EQ(w->CountOf(L"click", L"Button_OK"), 1);
}

TEST_F(UIWindowTest, HandlerMayRemoveTheControlThatNotified)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.UpdateLayout();
    CContainerUI* buttons = w->Find<CContainerUI>(L"buttons");
    CButtonUI* ok = w->Find<CButtonUI>(L"Button_OK");
    ok->OnNotify += [buttons](TNotifyUI& msg) {
        if (msg.sType == L"click") buttons->RemoveAll();
        return false;
    };
    w->Click(ok);
    EXPECT_EQ(buttons->GetCount(), 0);
    EXPECT_EQ(w->m_pm.FindControl(L"Button_OK"), nullptr);
    EXPECT_EQ(w->CountOf(L"click", L"Button_OK"), 1);
    // The window still works afterwards.
    w->Click(w->m_pm.FindControl(L"Option_C"));
    EXPECT_TRUE(w->Find<COptionUI>(L"Option_C")->IsSelected());
}

TEST_F(UIWindowTest, MarkupRendersInItsFontAndColour)
{
    ScopedTestWindow w(
        L"<Window size=\"320,120\" bkcolor=\"#FFFFFFFF\">"
        L"<Font id=\"0\" name=\"Microsoft YaHei\" size=\"12\" default=\"true\"/>"
        L"<Font id=\"1\" name=\"Microsoft YaHei\" size=\"28\" bold=\"true\"/>"
        L"<VerticalLayout>"
        L"<Label name=\"html\" height=\"60\" showhtml=\"true\" textcolor=\"#FF000000\""
        L" text=\"{c #FF0000}红色红色{/c}{c #0000FF}蓝色蓝色{/c}\"/>"
        L"<Label name=\"sizes\" height=\"60\" showhtml=\"true\" textcolor=\"#FF000000\""
        L" text=\"中文{f 1}中文{/f}\"/>"
        L"</VerticalLayout></Window>");
    ASSERT_TRUE(w->Open(false));
    Pixels px;
    ASSERT_TRUE(duitest::Render(w->m_pm, px, 320, 120));
    CControlUI* html = w->m_pm.FindControl(L"html");
    RECT rc = html->GetPos();
    // Left half red ink, right part blue ink, no black ink anywhere.
    SIZE redSize = MeasureOnScreen(&w->m_pm, L"红色红色", 0);
    RECT left = {rc.left, rc.top, rc.left + redSize.cx, rc.bottom};
    RECT right = {rc.left + redSize.cx, rc.top, rc.left + 2 * redSize.cx, rc.bottom};
    EXPECT_GT(px.CountDominant(left, 0), 20);
    EXPECT_EQ(px.CountDominant(left, 2), 0);
    EXPECT_GT(px.CountDominant(right, 2), 20);
    EXPECT_EQ(px.CountDominant(right, 0), 0);
    EXPECT_EQ(px.CountNear(rc, 0x000000, 40), 0);  // the label's own colour is not used

    // The {f 1} run is drawn taller than the text before it.
    RECT sizes = w->m_pm.FindControl(L"sizes")->GetPos();
    SIZE small = MeasureOnScreen(&w->m_pm, L"中文", 0);
    RECT smallPart = {sizes.left, sizes.top, sizes.left + small.cx, sizes.bottom};
    RECT bigPart = {sizes.left + small.cx, sizes.top, sizes.right, sizes.bottom};
    int smallRows = px.InkRows(smallPart, 0xFFFFFF);
    int bigRows = px.InkRows(bigPart, 0xFFFFFF);
    EXPECT_GT(smallRows, 4);
    EXPECT_GT(bigRows, smallRows * 3 / 2) << smallRows << " vs " << bigRows;
}

TEST_F(UIWindowTest, ImagesDrawWithAlphaAndMissingOnesAreSkipped)
{
    ScopedTestWindow w(
        L"<Window size=\"90,30\" bkcolor=\"#FFFFFFFF\"><HorizontalLayout>"
        L"<Control name=\"green\" width=\"30\" bkimage=\"img/green.png\"/>"
        L"<Control name=\"blue\" width=\"30\" bkimage=\"file='img/halfblue.png' corner='2,2,2,2'\"/>"
        L"<Button name=\"missing\" width=\"30\" normalimage=\"img/none.png\" hotimage=\"img/none2.png\"/>"
        L"</HorizontalLayout></Window>");
    ASSERT_TRUE(w->Open(false));
    Pixels px;
    ASSERT_TRUE(duitest::Render(w->m_pm, px, 90, 30));
    EXPECT_EQ(px.At(15, 15), 0x00C000u);
    DWORD half = px.At(45, 15);  // 50 % blue over white
    EXPECT_NEAR(static_cast<int>(half & 0xFF), 255, 3);
    EXPECT_NEAR(static_cast<int>((half >> 16) & 0xFF), 127, 4);
    EXPECT_EQ(px.At(75, 15), 0xFFFFFFu);
    size_t cached = CRenderEngine::GetImageCacheCount();
    ASSERT_TRUE(duitest::Render(w->m_pm, px, 90, 30));
    EXPECT_EQ(CRenderEngine::GetImageCacheCount(), cached);  // decoded once
}

TEST(ObjectCounters, SeeOneBrushAndOneWindow)
{
    // The leak checks are only as good as the counters: prove they count.
    DWORD gdi = testsupport::CountGdiObjects();
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(testsupport::CountGdiObjects(), gdi + 1);
    DeleteObject(brush);
    EXPECT_EQ(testsupport::CountGdiObjects(), gdi);
    DWORD user = testsupport::CountUserObjects();
    DuiLib::ScopedWindow window(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    EXPECT_GT(testsupport::CountUserObjects(), user);
    window.reset();
    EXPECT_EQ(testsupport::CountUserObjects(), user);
}

TEST_F(UIWindowTest, DpiChangeRescalesTheTreeAndTheNativeEdits)
{
    ScopedTestWindow w(L"all_controls.xml");
    ASSERT_TRUE(w->Open());
    w->m_pm.SetDPI(96);
    w->m_pm.UpdateLayout();
    CEditUI* edit = w->Find<CEditUI>(L"Edit_Plain");
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    LOGFONTW before = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(native, WM_GETFONT, 0, 0)), sizeof(before), &before);
    EXPECT_EQ(w->m_pm.FindControl(L"Button_OK")->GetWidth(), 80);

    RECT suggested = {50, 60, 50 + 630, 60 + 540};
    SendMessageW(w->GetHWND(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_TRUE(w->m_handled[0x02E0]);
    EXPECT_EQ(w->m_pm.GetDPI(), 144);
    RECT rc;
    GetWindowRect(w->GetHWND(), &rc);
    EXPECT_EQ(rc.left, 50);
    EXPECT_EQ(rc.right - rc.left, 630);
    w->m_pm.UpdateLayout();
    EXPECT_EQ(w->m_pm.FindControl(L"Button_OK")->GetWidth(), 120);
    LOGFONTW after = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(native, WM_GETFONT, 0, 0)), sizeof(after), &after);
    EXPECT_EQ(std::abs(after.lfHeight) * 2, std::abs(before.lfHeight) * 3);
}

TEST_F(UIWindowTest, ModalLoopEndsWithTheCloseResultAndGivesTheOwnerBack)
{
    ScopedTestWindow owner(L"all_controls.xml");
    ASSERT_TRUE(owner->Open());
    struct Case {
        const wchar_t* button;
        bool post;
        UINT expected;
    } cases[] = {{L"Button_Modify", true, 1}, {L"closebtn", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testsupport::ToUtf8(c.button));
        duitest::TestWindow dlg(L"sample_dialog.xml");
        ASSERT_TRUE(dlg.Open(false, WS_POPUP | WS_CLIPCHILDREN, owner->GetHWND()));
        dlg.m_pm.UpdateLayout();
        CControlUI* button = dlg.m_pm.FindControl(c.button);
        ASSERT_NE(button, nullptr);
        bool ownerEnabledInLoop = true;
        HWND dlgHwnd = dlg.GetHWND();
        button->OnNotify += [&](TNotifyUI& msg) {
            if (msg.sType != L"click") return false;
            ownerEnabledInLoop = IsWindowEnabled(owner->GetHWND()) != FALSE;
            if (c.post)
                dlg.Close(c.expected);
            else
                SendMessageW(dlgHwnd, WM_CLOSE, c.expected, 0);
            return true;
        };
        // The user's click is already queued when the modal loop starts.
        POINT pt = duitest::TestWindow::CenterOf(button);
        PostMessageW(dlgHwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        PostMessageW(dlgHwnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
        UINT result = dlg.ShowModal();
        EXPECT_EQ(result, c.expected);
        EXPECT_FALSE(ownerEnabledInLoop);
        EXPECT_FALSE(IsWindow(dlgHwnd));
        EXPECT_TRUE(IsWindowEnabled(owner->GetHWND()));
    }
}

