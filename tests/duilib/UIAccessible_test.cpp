// The toolkit as a screen reader and the keyboard meet it: the accessible
// tree, WinEvents, client actions, objects outliving their controls, the tab
// order with option groups as one stop, arrows, and the focus indicator.
#include <gtest/gtest.h>

#include "AccessibleWalker.h"
#include "DuiTestWindow.h"

using namespace DuiLib;
using accwalk::Node;
using accwalk::Tree;
using duitest::ScopedTestWindow;
using duitest::SkinFolder;
using testsupport::WaitFor;

namespace {

void Key(HWND window, UINT vk)
{
    SendMessageW(window, WM_KEYDOWN, vk, 1);
    SendMessageW(window, WM_KEYUP, vk, 0xC0000001);
    testsupport::PumpMessages();
}

// The name of the object a client got back in a VARIANT, which is released.
std::wstring NameIn(VARIANT& v)
{
    std::wstring name;
    if (v.vt == VT_DISPATCH && v.pdispVal)
        name = accwalk::Read(static_cast<IAccessible*>(static_cast<IDispatch*>(v.pdispVal))).name;
    VariantClear(&v);
    return name;
}

class UIAccessibleTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Windows shows focus only after keyboard use unless the user asks
        // for cues always (Wine's default); the tests start from the former.
        SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &m_cues_, 0);
        SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, nullptr, 0);
        ASSERT_TRUE(w->Open(true, WS_POPUP | WS_CLIPCHILDREN)) << testsupport::ToUtf8(w->m_buildError);
        SetForegroundWindow(w->GetHWND());
        SetFocus(w->GetHWND());
        w->m_pm.UpdateLayout();
        testsupport::PumpMessages();
    }
    void TearDown() override
    {
        SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(m_cues_)), 0);
    }
    CControlUI* Find(const wchar_t* name) { return w->m_pm.FindControl(name); }
    std::wstring FocusName() { return w->m_pm.GetFocus() ? w->m_pm.GetFocus()->GetName() : L"(none)"; }

    BOOL m_cues_ = FALSE;
    accwalk::ComScope com;
    SkinFolder skins;
    ScopedTestWindow w{L"accessible.xml"};
};

}  // namespace

TEST_F(UIAccessibleTest, TreeGivesRolesNamesValuesAndStatesAtEveryScale)
{
    for (int dpi : {96, 144}) {
        SCOPED_TRACE(dpi);
        w->m_pm.SetDPI(dpi);
        SetWindowPos(w->GetHWND(), nullptr, 0, 0, w->m_pm.GetInitSize().cx, w->m_pm.GetInitSize().cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        w->m_pm.UpdateLayout();
        Tree tree(w->GetHWND());
        ASSERT_TRUE(tree.ok());
        // Invisible and scrolled-away objects are left out of what is read;
        // the list's fourth item is below its visible part.
        EXPECT_EQ(L"dialog  \"Sample\"  [focused]\n"
                  L"  list  \"Fruits\"\n"
                  L"    list item  \"Apple\"  [selected]\n"
                  L"    list item  \"Pear\"  = ripe\n"
                  L"    list item  \"Plum\"\n"
                  L"  text  \"PIN :\"\n"
                  L"  editable text  \"PIN\"  [protected]\n"
                  L"  check box  \"Remember\"\n"
                  L"  combo box  \"Days\"  [collapsed]\n"
                  L"  push button  \"Refresh\"\n"
                  L"  push button  \"Close\"\n"
                  L"  push button  \"OK\"  [default]\n"
                  L"  push button  \"Off\"  [unavailable]\n"
                  L"  text  \"Plain text\"\n",
                  accwalk::Transcript(tree));
        const Node* fig = tree.Find(ROLE_SYSTEM_LISTITEM, L"Fig");
        ASSERT_NE(nullptr, fig);
        EXPECT_TRUE(fig->state & STATE_SYSTEM_OFFSCREEN);
        EXPECT_EQ(nullptr, tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"Hidden"));
        // A password is there, and nobody may read it.
        const Node* pin = tree.Find(ROLE_SYSTEM_TEXT, L"PIN");
        ASSERT_NE(nullptr, pin);
        EXPECT_EQ(E_ACCESSDENIED, pin->valueResult);
        EXPECT_EQ(L"Press", tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"OK")->defaultAction);
        EXPECT_EQ(L"Check", tree.Find(ROLE_SYSTEM_CHECKBUTTON, L"Remember")->defaultAction);
        EXPECT_EQ(L"Open", tree.Find(ROLE_SYSTEM_LISTITEM, L"Plum")->defaultAction);
        // Locations are screen pixels of the control at this scale.
        for (const std::string& problem : accwalk::Unreadable(tree, w->GetHWND())) ADD_FAILURE() << problem;
        RECT window;
        GetWindowRect(w->GetHWND(), &window);
        const RECT ok = Find(L"Ok")->GetPos();
        const Node* okNode = tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"OK");
        EXPECT_EQ(window.left + ok.left, okNode->location.left);
        EXPECT_EQ(RectWidth(ok), RectWidth(okNode->location));
        EXPECT_EQ(w->m_pm.ScaleValue(80), RectWidth(okNode->location));
    }
    w->m_pm.SetDPI(96);
}

TEST_F(UIAccessibleTest, TabVisitsGroupsOnceAndArrowsChooseInsideThem)
{
    std::vector<std::wstring> order;
    for (CControlUI* c : w->m_pm.GetTabStops()) order.push_back(c->GetName());
    // One stop for the list (its selected item), nothing hidden or disabled,
    // the higher tab order last.
    EXPECT_EQ((std::vector<std::wstring>{L"Item1", L"Pin", L"Check", L"Combo", L"Close", L"Ok", L"Last"}), order);

    HWND hwnd = w->GetHWND();
    // Focus coming to the window chooses no control: a key typed while it
    // came forward must not act on one; the first key picks the first stop.
    EXPECT_EQ(L"(none)", FocusName());
    EXPECT_FALSE(w->m_pm.AreFocusCuesShown());
    Key(hwnd, VK_DOWN);
    EXPECT_EQ(L"Item1", FocusName());
    EXPECT_EQ(0, w->CountOf(L"click", L"Item1"));
    Key(hwnd, VK_DOWN);
    EXPECT_TRUE(w->m_pm.AreFocusCuesShown()) << "the keyboard was used";
    EXPECT_EQ(L"Item2", FocusName());
    EXPECT_TRUE(static_cast<COptionUI*>(Find(L"Item2"))->IsSelected());
    EXPECT_EQ(1, w->CountOf(L"click", L"Item2"));
    Key(hwnd, VK_END);
    EXPECT_EQ(L"Item4", FocusName());
    // The list scrolled the focused item into view.
    w->m_pm.UpdateLayout();
    EXPECT_GE(Find(L"Item4")->GetPos().top, Find(L"List")->GetPos().top);
    EXPECT_LE(Find(L"Item4")->GetPos().bottom, Find(L"List")->GetPos().bottom);
    Key(hwnd, VK_DOWN);
    EXPECT_EQ(L"Item4", FocusName()) << "arrows stop at the ends";
    Key(hwnd, VK_TAB);
    EXPECT_EQ(L"Pin", FocusName());
    // Back into the list: the item chosen last, not the first.
    w->m_pm.SetFocus(Find(L"Check"));
    w->m_pm.SetNextTabControl(false);
    w->m_pm.SetNextTabControl(false);
    EXPECT_EQ(L"Item4", FocusName());
    Key(hwnd, VK_HOME);
    EXPECT_EQ(L"Item1", FocusName());

    // Enter does the focused control's default action, Escape the cancel button's.
    w->ClearRecord();
    w->m_pm.SetFocus(Find(L"Item3"));
    Key(hwnd, VK_RETURN);
    EXPECT_EQ(1, w->CountOf(L"dbclick", L"Item3"));
    Key(hwnd, VK_ESCAPE);
    EXPECT_EQ(1, w->CountOf(L"click", L"Close"));
    // The context-menu key right-clicks the focused control where it is.
    Key(hwnd, VK_APPS);
    ASSERT_EQ(1, w->CountOf(L"rclick", L"Item3"));

    // A focused control that is hidden or disabled hands the focus on to the
    // first stop at the next layout; it never stays on what cannot take it.
    for (bool hide : {true, false}) {
        CControlUI* ok = Find(L"Ok");
        w->m_pm.SetFocus(ok);
        if (hide)
            ok->SetVisible(false);
        else
            ok->SetEnabled(false);
        EXPECT_EQ(nullptr, w->m_pm.GetFocus());
        w->m_pm.UpdateLayout();
        EXPECT_EQ(L"Item1", FocusName());
        ok->SetVisible(true);
        ok->SetEnabled(true);
    }
}

TEST_F(UIAccessibleTest, ClientActionsSelectionHitTestAndNavigation)
{
    Tree tree(w->GetHWND());
    ASSERT_TRUE(tree.ok());
    IAccessible* root = tree.Nodes()[0].object;
    const VARIANT self = accwalk::Self();

    // A default action is posted, so a client is never held by what it opens.
    const Node* ok = tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"OK");
    ASSERT_EQ(S_OK, ok->object->accDoDefaultAction(self));
    EXPECT_EQ(0, w->CountOf(L"click", L"Ok"));
    testsupport::PumpMessages();
    EXPECT_EQ(1, w->CountOf(L"click", L"Ok"));
    ASSERT_EQ(S_OK, tree.Find(ROLE_SYSTEM_CHECKBUTTON, L"Remember")->object->accDoDefaultAction(self));
    testsupport::PumpMessages();
    EXPECT_TRUE(static_cast<COptionUI*>(Find(L"Check"))->IsSelected());
    EXPECT_EQ(E_FAIL, tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"Off")->object->accDoDefaultAction(self));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, tree.Find(ROLE_SYSTEM_STATICTEXT, L"Plain text")->object->accDoDefaultAction(self));

    // Focus and selection as a client asks for them.
    const Node* plum = tree.Find(ROLE_SYSTEM_LISTITEM, L"Plum");
    ASSERT_EQ(S_OK, plum->object->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, self));
    EXPECT_EQ(L"Item3", FocusName());
    EXPECT_TRUE(static_cast<COptionUI*>(Find(L"Item3"))->IsSelected());
    EXPECT_EQ(E_INVALIDARG, plum->object->accSelect(SELFLAG_ADDSELECTION, self));
    VARIANT v;
    ASSERT_EQ(S_OK, root->get_accFocus(&v));
    EXPECT_EQ(L"Plum", NameIn(v));
    const Node* list = tree.Find(ROLE_SYSTEM_LIST, L"Fruits");
    ASSERT_EQ(S_OK, list->object->get_accSelection(&v));
    EXPECT_EQ(L"Plum", NameIn(v));

    // What is under a screen point, and neighbours.
    const Node* close = tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"Close");
    ASSERT_EQ(S_OK, root->accHitTest((close->location.left + close->location.right) / 2,
                                      (close->location.top + close->location.bottom) / 2, &v));
    EXPECT_EQ(L"Close", NameIn(v));
    ASSERT_EQ(S_OK, tree.Find(ROLE_SYSTEM_LISTITEM, L"Apple")->object->accNavigate(NAVDIR_NEXT, self, &v));
    EXPECT_EQ(L"Pear", NameIn(v));
    ASSERT_EQ(S_OK, list->object->accNavigate(NAVDIR_FIRSTCHILD, self, &v));
    EXPECT_EQ(L"Apple", NameIn(v));
    ASSERT_EQ(S_OK, tree.Find(ROLE_SYSTEM_PUSHBUTTON, L"Refresh")->object->accNavigate(NAVDIR_RIGHT, self, &v));
    EXPECT_EQ(L"Close", NameIn(v));
}

TEST_F(UIAccessibleTest, ObjectsOfRemovedControlsAndOfAGoneWindowFailSafely)
{
    Tree tree(w->GetHWND());
    ASSERT_TRUE(tree.ok());
    IAccessible* pear = tree.Find(ROLE_SYSTEM_LISTITEM, L"Pear")->object;
    IAccessible* root = tree.Nodes()[0].object;
    const VARIANT self = accwalk::Self();
    BSTR name = nullptr;

    // The view is rebuilt under the client: the old item is no more.
    w->m_pm.SetFocus(Find(L"Item2"));
    static_cast<CContainerUI*>(Find(L"List"))->RemoveAll();
    auto* fresh = new COptionUI;
    fresh->SetAttribute(L"group", L"fruit");
    fresh->SetText(L"Quince");
    fresh->SetFixedHeight(30);
    static_cast<CContainerUI*>(Find(L"List"))->Add(fresh);
    testsupport::PumpMessages();
    EXPECT_EQ(RPC_E_DISCONNECTED, pear->get_accName(self, &name));
    EXPECT_EQ(nullptr, name);
    // The focus went with the removed item and came back to the first stop.
    w->m_pm.UpdateLayout();
    EXPECT_EQ(fresh, w->m_pm.GetFocus());

    // The window goes; clients that kept objects get an error, not a crash.
    DestroyWindow(w->GetHWND());
    testsupport::PumpMessages();
    EXPECT_EQ(RPC_E_DISCONNECTED, root->get_accName(self, &name));
    long count = -1;
    EXPECT_EQ(RPC_E_DISCONNECTED, root->get_accChildCount(&count));
    EXPECT_EQ(RPC_E_DISCONNECTED, pear->accDoDefaultAction(self));
}

TEST_F(UIAccessibleTest, FocusIndicatorShowsOnlyAfterKeyboardUse)
{
    BOOL systemCues = TRUE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &systemCues, 0);
    ASSERT_FALSE(systemCues);
    CControlUI* ok = Find(L"Ok");
    const RECT rc = ok->GetPos();
    auto edgePixel = [&] {
        duitest::Pixels pixels;
        EXPECT_TRUE(duitest::Render(w->m_pm, pixels));
        return pixels.At(rc.left, (rc.top + rc.bottom) / 2);
    };
    const DWORD before = edgePixel();
    w->m_pm.SetFocus(ok);  // as a click gives it
    EXPECT_EQ(before, edgePixel()) << "no indicator after the mouse";
    Key(w->GetHWND(), VK_TAB);  // to Last
    Key(w->GetHWND(), VK_TAB);  // round to the list
    w->m_pm.SetFocus(ok);
    EXPECT_EQ(0x1F1F1Fu, edgePixel()) << "the dark outer ring";
    // The system may hide the cues again.
    SendMessageW(w->GetHWND(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(before, edgePixel());
}
