// The change-PIN dialog as a user meets it, driven from a second thread while its modal loop runs.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogDriver.h"
#include "ProductUi.h"
#include "TestSupport.h"
#include "UI/UIModifyPasswordDlg.h"
#include "Utils/LanguageStrings.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;
using namespace dialogdriver;

namespace {

void Type(const std::vector<HWND>& edits, const wchar_t* oldPin, const wchar_t* newPin,
          const wchar_t* newPin2)
{
    SetEditText(edits[0], oldPin);
    SetEditText(edits[1], newPin);
    SetEditText(edits[2], newPin2);
}

// Runs the dialog modally on this thread while script drives it from a
// second one, once its three edits are laid out (top to bottom); the
// dialog's result. A dialog the script leaves open is closed and fails the test.
UINT RunDriven(CUIModifyPasswordDlg& dlg, HWND owner,
               const std::function<void(HWND, const std::vector<HWND>&)>& script)
{
    bool driven = false;
    Driver driver(CUIModifyPasswordDlg::kClassName, [&] {
        HWND w = WaitForWindowOfClass(CUIModifyPasswordDlg::kClassName);
        const std::vector<HWND> edits = w ? WaitForEdits(w, 3) : std::vector<HWND>();
        if (edits.size() != 3) return;
        driven = true;
        script(w, edits);
    });
    const UINT result = dlg.RunModal(owner);
    driver.Join();
    EXPECT_TRUE(driven) << "the dialog showed no three edits";
    EXPECT_FALSE(driver.ForcedClose()) << "the dialog was left open";
    return result;
}

class ModifyPasswordDlgTest : public testing::Test {
protected:
    productui::ProductUi ui_;
};

TEST_F(ModifyPasswordDlgTest, ChecksReportInOrderAndAStrongPinIsHandedOver)
{
    // A plain visible window for the dialog to be owned by and centred on.
    DuiLib::ScopedWindow ownerWindow(::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 200, 150, 700,
                                                       500, nullptr, nullptr, nullptr, nullptr));
    const HWND owner = ownerWindow.get();
    CUIModifyPasswordDlg dlg(0x1234);
    std::vector<BoxSeen> boxes;
    std::wstring windowName;
    RECT dlgRect = {}, ownerRect = {};
    std::wstring keptAfterMismatch;
    const UINT result = RunDriven(dlg, owner, [&](HWND w, const std::vector<HWND>& edits) {
        windowName = WindowText(w);
        ::GetWindowRect(w, &dlgRect);
        ::GetWindowRect(owner, &ownerRect);
        struct Step {
            const wchar_t* oldPin;
            const wchar_t* newPin;
            const wchar_t* newPin2;
        };
        const Step steps[] = {
            {L"", L"", L""},                      // old empty, before everything else
            {L"1234", L"", L"zzz"},               // new empty
            {L"1234", L"abc", L""},               // confirmation empty
            {L"1234", L"abc", L"xyz"},            // too short, before the mismatch
            {L"1234", L"Abc#2026", L"Abc#2027"},  // mismatch
        };
        for (const Step& s : steps) {
            Type(edits, s.oldPin, s.newPin, s.newPin2);
            PressKey(edits[0], VK_RETURN);
            boxes.push_back(AnswerBox(w, IDOK));
        }
        keptAfterMismatch = WindowText(edits[2]);
        SetEditText(edits[2], L"Abc#2026");
        PressKey(edits[2], VK_RETURN);
        WaitGone(w);
    });
    EXPECT_EQ(L"CUIModifyPasswordDlg", windowName);
    // Centred on its owner; the modal loop's hold on the owner is the toolkit's (UIManager tests).
    EXPECT_NEAR((ownerRect.left + ownerRect.right) / 2, (dlgRect.left + dlgRect.right) / 2, 1);
    EXPECT_NEAR((ownerRect.top + ownerRect.bottom) / 2, (dlgRect.top + dlgRect.bottom) / 2, 1);

    const char* expected[] = {"STRING_OLDPIN_EMPTY", "STRING_NEWPIN_EMPTY", "STRING_NEWPIN_SECOND_EMPTY",
                              "STRING_PIN_LENGTH_NOENOUGH", "STRING_PIN_SECONDPIN_NOMATCH"};
    ASSERT_EQ(5u, boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(GetLanguageString(expected[i]), boxes[i].text);
        EXPECT_EQ(GetLanguageString("STRING_TITLE_NOTICE"), boxes[i].caption);
        EXPECT_FALSE(boxes[i].hasNo);
    }
    EXPECT_EQ(L"Abc#2027", keptAfterMismatch);  // the input stays for correcting

    EXPECT_EQ(static_cast<UINT>(IDOK), result);
    EXPECT_EQ(std::wstring_view(L"1234"), dlg.GetOldPin().view());
    EXPECT_EQ(std::wstring_view(L"Abc#2026"), dlg.GetNewPin().view());
}

TEST_F(ModifyPasswordDlgTest, AfterTheHandOverNoCopyOfEitherPinRemains)
{
    // PINs long and odd enough that nothing else in the process holds them.
    static const wchar_t kOld[] = L"Qx7#OldPinMarker";
    static const wchar_t kNew[] = L"Zk9$NewPinMarker";
    CUIModifyPasswordDlg dlg(0x1234);
    ASSERT_EQ(static_cast<UINT>(IDOK), RunDriven(dlg, nullptr, [&](HWND w, const std::vector<HWND>& edits) {
                  Type(edits, kOld, kNew, kNew);
                  PressKey(edits[1], VK_RETURN);
                  WaitGone(w);
              }));

    // The caller's way: take the UTF-8 forms, then wipe the dialog's copies.
    {
        SecureUtf8String oldUtf8 = ToSecureUtf8(dlg.GetOldPin());
        SecureUtf8String newUtf8 = ToSecureUtf8(dlg.GetNewPin());
        EXPECT_STREQ("Zk9$NewPinMarker", newUtf8.c_str());
        dlg.WipePins();
        EXPECT_TRUE(productui::HeapsHold("Qx7#OldPinMarker", 16));  // the caller's copy is still alive
    }
    for (const SecureWString* pin : {&dlg.GetOldPin(), &dlg.GetNewPin()}) {
        EXPECT_TRUE(pin->empty());
        for (size_t i = 0; i < pin->capacity(); ++i) ASSERT_EQ(L'\0', pin->buffer()[i]);
    }
    // The edits were emptied when the dialog closed.
    for (const wchar_t* name : {L"Edit_OldPassWord", L"Edit_NewPassWord", L"Edit_NewPassWord2"}) {
        CControlUI* edit = dlg.GetPaintManager().FindControl(name);
        ASSERT_NE(nullptr, edit) << name;
        EXPECT_TRUE(edit->GetText().empty());
    }
    EXPECT_FALSE(productui::HeapsHold(kOld, sizeof(kOld) - sizeof(wchar_t)));
    EXPECT_FALSE(productui::HeapsHold(kNew, sizeof(kNew) - sizeof(wchar_t)));
    EXPECT_FALSE(productui::HeapsHold("Qx7#OldPinMarker", 16));
    EXPECT_FALSE(productui::HeapsHold("Zk9$NewPinMarker", 16));
}

namespace {

// What a native edit held when its window was destroyed.
WNDPROC g_editProc = nullptr;
std::wstring g_textAtDestroy;

LRESULT CALLBACK NoteTextAtDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        wchar_t text[64] = {};
        CallWindowProcW(g_editProc, hwnd, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
        g_textAtDestroy = text;
    }
    return CallWindowProcW(g_editProc, hwnd, message, wParam, lParam);
}

}  // namespace

// The owner going (the host closing) destroys the dialog without a close.
TEST_F(ModifyPasswordDlgTest, DestroyedWithoutACloseTheTypedPinIsWipedFirst)
{
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 200, 150, 700, 500,
                                         nullptr, nullptr, nullptr, nullptr);
    CUIModifyPasswordDlg dlg(0x1234);
    g_textAtDestroy = L"<not destroyed>";
    RunDriven(dlg, owner, [&](HWND w, const std::vector<HWND>& edits) {
        SetEditText(edits[0], L"Qx7#OldPin");
        g_editProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(edits[0], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoteTextAtDestroy)));
        ::PostMessageW(owner, WM_CLOSE, 0, 0);  // a plain window destroys itself
        WaitGone(w);
    });
    EXPECT_FALSE(::IsWindow(owner));
    EXPECT_EQ(L"", g_textAtDestroy);
}

TEST_F(ModifyPasswordDlgTest, WeakPinAsksWithNoAsDefaultAndIsRefusedWhenTheSettingForbidsIt)
{
    std::vector<BoxSeen> boxes;
    bool openAfterNo = false;
    {
        CUIModifyPasswordDlg dlg(1);
        EXPECT_EQ(static_cast<UINT>(IDOK), RunDriven(dlg, nullptr, [&](HWND w, const std::vector<HWND>& edits) {
            Type(edits, L"1", L"abcd", L"abcd");  // four characters: passes the checks, weak
            PressKey(edits[0], VK_RETURN);
            boxes.push_back(AnswerBox(w, IDNO));
            openAfterNo = ::IsWindowVisible(w) != FALSE;
            PressKey(edits[0], VK_RETURN);
            boxes.push_back(AnswerBox(w, IDYES));
            WaitGone(w);
        }));
        EXPECT_EQ(std::wstring_view(L"abcd"), dlg.GetNewPin().view());
    }
    ASSERT_EQ(2u, boxes.size());
    EXPECT_TRUE(openAfterNo);
    for (const BoxSeen& box : boxes) {
        EXPECT_EQ(GetLanguageString("STRING_LABEL_SECURITY_WEAK_NOTICE_MSG"), box.text);
        EXPECT_TRUE(box.hasNo);
        EXPECT_EQ(IDNO, box.defaultButton);
    }

    ASSERT_TRUE(UserSettings::Instance().SetIsCouldModifyPasswordWhileSecurityWeak(L"false"));
    std::vector<BoxSeen> refusals;
    CUIModifyPasswordDlg dlg(1);
    EXPECT_NE(static_cast<UINT>(IDOK), RunDriven(dlg, nullptr, [&](HWND w, const std::vector<HWND>& edits) {
        for (const wchar_t* pin : {L"abcd", L"abcdefg", L"abcdefgh"}) {  // 4 to 7 units, and one class
            Type(edits, L"1", pin, pin);
            PressKey(edits[2], VK_RETURN);
            refusals.push_back(AnswerBox(w, IDOK));
        }
        PressKey(edits[0], VK_ESCAPE);
        WaitGone(w);
    }));
    ASSERT_EQ(3u, refusals.size());
    for (const BoxSeen& box : refusals) {
        EXPECT_EQ(GetLanguageString("STRING_LABEL_SECURITY_WEAK_INHIBIT_MSG"), box.text);
        EXPECT_FALSE(box.hasNo);
    }
}

// The meter on the test's own thread: the window is made but not run.
class ModifyPasswordDlgLook : public testing::TestWithParam<int> {
protected:
    productui::ProductUi ui_{GetParam()};
};

TEST_P(ModifyPasswordDlgLook, MeterFollowsTheNewPinAndTheDialogIsRendered)
{
    CUIModifyPasswordDlg dlg(1);
    ASSERT_TRUE(
        dlg.Create(nullptr, CUIModifyPasswordDlg::kWindowName, UI_WNDSTYLE_DIALOG, 0, 100, 100, 314, 182));
    dlg.ShowWindow(true, false);
    CPaintManagerUI& pm = dlg.GetPaintManager();
    ASSERT_TRUE(testsupport::WaitFor([&] { return pm.GetRoot() && pm.FindControl(L"Edit_NewPassWord"); }));
    testsupport::PumpMessages();
    productui::ExpectReadableAtBothScales(dlg.GetHWND(), pm);
    auto* edit = ControlCast<CEditUI>(pm.FindControl(L"Edit_NewPassWord"));
    ASSERT_NE(nullptr, edit);
    ASSERT_TRUE(testsupport::WaitFor([&] { return edit->GetNativeWindow() != nullptr; }));
    CControlUI* row = pm.FindControl(L"Hor_NewWordSafeText");
    CControlUI* picture = pm.FindControl(L"Label_NewPassWordSafePic");
    CControlUI* word = pm.FindControl(L"Label_NewPassWordSafeText");
    ASSERT_TRUE(row && picture && word);
    EXPECT_FALSE(row->IsVisible());
    EXPECT_EQ(GetLanguageString("STRING_LABEL_CHANGEPIN_TITLE"),
              pm.FindControl(L"Label_ChangePassword_Title")->GetText());
    EXPECT_EQ(GetLanguageString("STRING_LABEL_PASSWORD_NOTICE_MSG_1") + L"\n" +
                  GetLanguageString("STRING_LABEL_PASSWORD_NOTICE_MSG_2"),
              pm.FindControl(L"Label_Msg")->GetText());

    struct Step {
        const wchar_t* text;
        const char* wordKey;
        const wchar_t* picture;
    };
    const Step steps[] = {
        {L"a", "STRING_LABEL_SECURITY_TITLE_WEAK", L"Common/pwd_strength_weak.png"},
        {L"abcd1234", "STRING_LABEL_SECURITY_TITLE_MID", L"Common/pwd_strength_mid.png"},
        {L"abcD1234", "STRING_LABEL_SECURITY_TITLE_STRONG", L"Common/pwd_strength_strong.png"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.wordKey);
        SetEditText(edit->GetNativeWindow(), s.text);
        EXPECT_TRUE(row->IsVisible());
        EXPECT_EQ(GetLanguageString(s.wordKey), word->GetText());
        EXPECT_EQ(s.picture, picture->GetBkImage());
    }
    testsupport::PumpMessages();
    std::wstring lang = GetParam() == 2052 ? L"zh" : L"en";
    EXPECT_TRUE(pm.SaveSnapshot(testsupport::ScreenshotPath(L"ModifyPassWordDlg_" + lang + L".png")));
    // The focus indicator on the OK button, as after Tab from the last edit:
    // a dark ring that shows on the accent colour.
    ::SetFocus(dlg.GetHWND());
    pm.ShowFocusCues();
    pm.SetFocus(pm.FindControl(L"Button_Modify"));
    EXPECT_TRUE(pm.SaveSnapshot(testsupport::ScreenshotPath(L"ModifyPassWordDlg_focus_" + lang + L".png")));
    SetEditText(edit->GetNativeWindow(), L"");
    EXPECT_FALSE(row->IsVisible());
    ::DestroyWindow(dlg.GetHWND());
}

INSTANTIATE_TEST_SUITE_P(Languages, ModifyPasswordDlgLook, testing::Values(2052, 1033));

}  // namespace
