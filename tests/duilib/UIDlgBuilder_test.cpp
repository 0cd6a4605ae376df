// Building control trees from skins and laying them out, without a window.
#include <gtest/gtest.h>

#include "DuiTestWindow.h"

using namespace DuiLib;
using duitest::SkinFolder;

namespace {

class KeyOptionCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(const wchar_t* pstrClass) override
    {
        asked.push_back(pstrClass);
        if (_wcsicmp(pstrClass, L"KeyOption") == 0) return new KeyOption;
        return nullptr;
    }
    class KeyOption : public COptionUI {
    public:
        std::wstring GetClass() const override { return L"KeyOption"; }
    };
    std::vector<std::wstring> asked;
};

}  // namespace

TEST(UIDlgBuilder, SkinWithEveryControlBuildsWithClassesAndNames)
{
    SkinFolder skins;
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"all_controls.xml", nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr) << testsupport::ToUtf8(builder.GetErrorText());
    ASSERT_TRUE(pm.AttachDialog(root));
    EXPECT_TRUE(builder.GetErrorText().empty());

    struct Expect {
        const wchar_t* name;
        const wchar_t* cls;
    } expected[] = {
        {L"root", L"VerticalLayoutUI"},   {L"titlebar", L"HorizontalLayoutUI"},
        {L"Label_Title", L"LabelUI"},     {L"Button_Close", L"ButtonUI"},
        {L"Text_Body", L"TextUI"},        {L"Option_A", L"OptionUI"},
        {L"Combo_Days", L"ComboUI"},      {L"Edit_Pin", L"EditUI"},
        {L"Tab_Pages", L"TabLayoutUI"},   {L"Page_0", L"ContainerUI"},
        {L"Control_Image", L"ControlUI"},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(testsupport::ToUtf8(e.name));
        CControlUI* c = pm.FindControl(e.name);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->GetClass(), e.cls);
        EXPECT_EQ(c->GetManager(), &pm);
    }
    EXPECT_EQ(pm.FindControl(L"NoSuchControl"), nullptr);
    EXPECT_EQ(pm.FindControl(L""), nullptr);

    // Run-time class checks follow the class tree, never a guess.
    CControlUI* option = pm.FindControl(L"Option_A");
    EXPECT_NE(ControlCast<CLabelUI>(option), nullptr);
    EXPECT_EQ(ControlCast<CEditUI>(option), nullptr);
    EXPECT_EQ(ControlCast<CButtonUI>(pm.FindControl(L"Label_Title")), nullptr);
    EXPECT_NE(ControlCast<CContainerUI>(pm.FindControl(L"Combo_Days")), nullptr);

    // Attributes reached the controls, defaults first and own values after.
    CButtonUI* ok = ControlCast<CButtonUI>(pm.FindControl(L"Button_OK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetBkColor(), 0xFF2B6CE0u);
    EXPECT_EQ(ok->GetFixedHeight(), 30);
    EXPECT_EQ(ok->GetFixedWidth(), 80);
    EXPECT_TRUE(ok->IsDefaultButton());
    EXPECT_TRUE(ControlCast<CButtonUI>(pm.FindControl(L"Button_Close"))->IsCancelButton());
    EXPECT_EQ(pm.FindControl(L"Button_Close")->GetToolTip(), L"关闭");
    EXPECT_TRUE(ControlCast<CEditUI>(pm.FindControl(L"Edit_Pin"))->IsPasswordMode());
    EXPECT_FALSE(ControlCast<CEditUI>(pm.FindControl(L"Edit_Plain"))->IsPasswordMode());

    CComboUI* combo = ControlCast<CComboUI>(pm.FindControl(L"Combo_Days"));
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_EQ(combo->GetItemAt(1)->GetUserData(), L"30");
    EXPECT_EQ(combo->GetItemAt(2)->GetText(), L"15 天");
    EXPECT_EQ(combo->GetItemAt(3), nullptr);
    EXPECT_EQ(combo->GetItemAt(-1), nullptr);
    EXPECT_EQ(combo->GetCurSel(), -1);

    // Window properties are kept for the window code (size box, caption and corners: UIWnd tests).
    EXPECT_EQ(pm.GetInitSize().cx, 420);
    EXPECT_EQ(pm.GetMinInfo().cy, 200);
    EXPECT_EQ(pm.GetMaxInfo().cx, 800);
}

TEST(UIDlgBuilder, UnknownClassesGoToTheCallback)
{
    SkinFolder skins;
    CPaintManagerUI pm;
    KeyOptionCallback callback;
    CDialogBuilder builder;
    CControlUI* row = builder.Create(L"custom_class.xml", nullptr, &callback, &pm);
    ASSERT_NE(row, nullptr);
    std::unique_ptr<CControlUI> owned(row);
    ASSERT_EQ(callback.asked.size(), 1u);  // known classes never reach it
    EXPECT_EQ(callback.asked[0], L"KeyOption");
    CControlUI* value = pm.FindSubControlByName(row, L"Option_Value");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetClass(), L"KeyOption");
    EXPECT_NE(ControlCast<COptionUI>(value), nullptr);
    EXPECT_EQ(value->GetUserData(), L"v1");
    EXPECT_EQ(pm.FindControl(L"Option_Value"), nullptr);  // not part of the window's tree

    // Without a callback the same skin is a failure that names the element.
    CDialogBuilder plain;
    EXPECT_EQ(plain.Create(L"custom_class.xml", nullptr, nullptr, &pm), nullptr);
    EXPECT_EQ(plain.GetErrorLine(), 4);
    EXPECT_NE(plain.GetErrorText().find(L"custom_class.xml(4)"), std::wstring::npos);
    EXPECT_NE(plain.GetErrorText().find(L"KeyOption"), std::wstring::npos);
}

TEST(UIDlgBuilder, BrokenOrMissingSkinsGiveNoRootAndSayWhere)
{
    SkinFolder skins;
    CPaintManagerUI pm;
    {
        CDialogBuilder b;
        EXPECT_EQ(b.Create(L"broken.xml", nullptr, nullptr, &pm), nullptr);
        EXPECT_EQ(b.GetErrorFile(), L"broken.xml");
        EXPECT_EQ(b.GetErrorLine(), 6);
        EXPECT_NE(CDialogBuilder::GetLastBuildError().find(L"broken.xml(6)"), std::wstring::npos);
    }
    struct Case {
        const char* text;
        int line;
    } cases[] = {
        {"<Window>\n<Label/>\n<Label/>\n</Window>", 3},        // two roots
        {"<Window>\n<Font id=\"x\"/>\n<Label/></Window>", 2},  // font without id
        {"<Window>\n</Window>", 1},                            // no control
        {"<Label>\n<Label/>\n</Label>", 2},                    // a label holds nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        skins.WriteText(L"case.xml", c.text);
        CDialogBuilder b;
        EXPECT_EQ(b.Create(L"case.xml", nullptr, nullptr, &pm), nullptr);
        EXPECT_EQ(b.GetErrorLine(), c.line);
    }
    EXPECT_EQ(pm.GetRoot(), nullptr);
    CDialogBuilder b;
    EXPECT_EQ(b.Create(L"", nullptr, nullptr, &pm), nullptr);
}

// Sub-layouts joining their container build every list of the main window (MainFrame tests).
TEST(UIDlgBuilder, AParentThatHoldsNoControlsRefusesASubLayout)
{
    CPaintManagerUI pm;
    CDialogBuilder b1;
    CControlUI* root = b1.Create(L"<VerticalLayout><Label/></VerticalLayout>", nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    CContainerUI* list = ControlCast<CContainerUI>(root);
    CDialogBuilder b;
    EXPECT_EQ(b.Create(L"<Label/>", nullptr, nullptr, &pm, list->GetItemAt(0)), nullptr);
    EXPECT_EQ(list->GetCount(), 1);
}

TEST(UILayout, StacksKeepFixedSizesAndShareTheRest)
{
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.Create(
        L"<Window size=\"200,100\"><VerticalLayout inset=\"10,5,10,5\" childpadding=\"2\">"
        L"<Control name=\"fixed\" height=\"20\" padding=\"4,1,6,3\"/>"
        L"<Control name=\"a\"/><Control name=\"hidden\" height=\"30\" visible=\"false\"/><Control "
        L"name=\"b\"/>"
        L"<HorizontalLayout name=\"row\" height=\"20\" childpadding=\"4\">"
        L"<Control name=\"w50\" width=\"50\" height=\"10\"/><Control name=\"rest\"/>"
        L"<Control name=\"float\" float=\"true\" pos=\"5,6,25,16\"/></HorizontalLayout>"
        L"</VerticalLayout></Window>",
        nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    pm.UpdateLayout();
    auto sides = [&pm](const wchar_t* n) {
        const RECT rc = pm.FindControl(n)->GetPos();
        return std::vector<LONG>{rc.left, rc.top, rc.right, rc.bottom};
    };
    using Sides = std::vector<LONG>;
    // Inset and padding hold; 90 inner height - 24 fixed+padding - 20 row - 3 gaps of 2 = 40, split in two;
    // the hidden control takes nothing; the float sits at its pos inside the row.
    EXPECT_EQ((Sides{14, 6, 184, 26}), sides(L"fixed"));
    EXPECT_EQ((Sides{10, 31, 190, 51}), sides(L"a"));
    EXPECT_EQ((Sides{10, 53, 190, 73}), sides(L"b"));
    EXPECT_EQ((Sides{10, 75, 190, 95}), sides(L"row"));
    EXPECT_EQ((Sides{10, 75, 60, 85}), sides(L"w50"));
    EXPECT_EQ((Sides{64, 75, 190, 95}), sides(L"rest"));
    EXPECT_EQ((Sides{15, 81, 35, 91}), sides(L"float"));
}

TEST(UILayout, TabLayoutShowsOnePage)
{
    CPaintManagerUI pm;
    CDialogBuilder b;
    CControlUI* root = b.Create(
        L"<TabLayout name=\"tabs\" selectedid=\"1\"><Label name=\"p0\"/><Label name=\"p1\"/>"
        L"<VerticalLayout name=\"p2\"><Label name=\"inner\"/></VerticalLayout></TabLayout>",
        nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    CTabLayoutUI* tabs = ControlCast<CTabLayoutUI>(root);
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_FALSE(pm.FindControl(L"p0")->IsVisible());
    EXPECT_TRUE(pm.FindControl(L"p1")->IsVisible());
    EXPECT_FALSE(pm.FindControl(L"inner")->IsVisible());
    EXPECT_TRUE(tabs->SelectItem(2));
    EXPECT_TRUE(pm.FindControl(L"inner")->IsVisible());
    EXPECT_FALSE(pm.FindControl(L"p1")->IsVisible());
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_EQ(tabs->GetCurSel(), 2);
    // Removing a page before the selected one keeps the same page selected.
    EXPECT_TRUE(tabs->RemoveAt(0));
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_EQ(tabs->GetItemAt(1)->GetName(), L"p2");
    tabs->RemoveAll();
    EXPECT_EQ(tabs->GetCurSel(), -1);
    EXPECT_EQ(tabs->GetCount(), 0);
}

