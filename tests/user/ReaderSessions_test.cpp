// The plug-in as a blind user meets it: the real DLL in our host, the host's
// window shown and active, keys typed with SendInput, and a screen reader in
// a second process that hears the WinEvents and asks for every object across
// the process boundary. What it heard is compared with the transcripts
// checked in under tests/user/transcripts/ (digits hidden); a run with
// LUMORA_WRITE_TRANSCRIPTS=1 writes them afresh there instead.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "DialogDriver.h"
#include "HostTokenStore.h"
#include "KeyInput.h"
#include "ReaderClient.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UsageDatabaseWriter.h"
#include "UserHost.h"
#include "ZentoPKITestSupport.h"

namespace {

using keyinput::kAlt;
using keyinput::kShift;
using keyinput::Type;

constexpr const char* kPopupsOff =
    "[NotifyWndSetting]\r\nIsShowNotifyDeviceWnd=false\r\nIsShowNotifyCertWnd=false\r\n"
    "IsShowNotifyNoDeviceCertExpireWnd=false\r\n";

std::string Pem(const std::wstring& name)
{
    std::string text;
    testsupport::ReadFileBytes(pkitest::CertsDir() + L"\\" + name + L".pem", text);
    return text;
}

// The window class after the last " @" of a heard line.
std::wstring WindowOf(const std::wstring& line)
{
    const size_t at = line.rfind(L"  @");
    return at == std::wstring::npos ? std::wstring() : line.substr(at + 3);
}

bool StartsWith(const std::wstring& line, const wchar_t* prefix) { return line.rfind(prefix, 0) == 0; }

class ReaderSession : public ::testing::Test {
protected:
    void TearDown() override
    {
        m_reader_.reset();
        m_devices_.reset();
        m_host_.reset();
    }

    // The host with the plug-in, these tokens in its store and these lines
    // in the user's INI, its window active and a reader listening from the
    // start.
    void Start(long language, std::initializer_list<const wchar_t*> tokens, const std::string& userIni = "")
    {
        ASSERT_TRUE(m_sandbox_.ok());
        ASSERT_TRUE(m_sandbox_.InstallLanguageFile(2052));
        ASSERT_TRUE(m_sandbox_.InstallLanguageFile(1033));
        if (!userIni.empty()) {
            ASSERT_TRUE(m_sandbox_.WriteUserIni(userIni));
        }
        for (const wchar_t* token : tokens) {
            ASSERT_TRUE(testsupport::CopyTree(pkitest::TokensDir() + L"\\" + token, m_store_.File(token)));
        }
        m_reader_ = std::make_unique<reader::ReaderClient>();
        ASSERT_TRUE(m_reader_->ok());
        ASSERT_TRUE(testsupport::StartHostWithPlugin(language, m_store_.Path(), m_host_, m_devices_));
        ASSERT_TRUE(Reader().WaitQuiet(800));
    }

    // A remembered key that is not inserted, its certificate ending soon.
    void RememberAbsentKey()
    {
        std::string error;
        ASSERT_TRUE(testsupport::WriteUsageDatabase(testsupport::UsageDatabasePath(m_sandbox_.UserAppData()),
                                                    {{7, "ABSENT-7", Pem(L"sign_20d_zhao"), "", "2026-11-20 10:00:00", 3}},
                                                    error))
            << error;
    }

    void Insert(const wchar_t* token)
    {
        ASSERT_TRUE(m_devices_->InsertToken(pkitest::TokensDir() + L"\\" + token));
    }

    // A key typed on this thread, and what the reader then says.
    void Press(WORD vk, unsigned modifiers = 0)
    {
        Type(vk, modifiers);
        Reader().WaitQuiet(300);
    }

    // What was heard since the mark equals the checked-in transcript; with
    // hideDigits, dates and day counts of certificates made today read '#'.
    void ExpectHeard(const std::wstring& name, bool hideDigits = true)
    {
        const std::wstring heard = reader::Transcript(Reader().SinceMark(), hideDigits);
        const std::wstring file = L"user\\transcripts\\" + name + L".txt";
        if (::GetEnvironmentVariableW(L"LUMORA_WRITE_TRANSCRIPTS", nullptr, 0)) {
            testsupport::WriteFileBytes(testsupport::SourceDir() + L"\\tests\\" + file, testsupport::ToUtf8(heard));
            return;
        }
        EXPECT_EQ(testsupport::ToUtf8(reader::ExpectedTranscript(file)), testsupport::ToUtf8(heard))
            << "heard (left) against tests/" << testsupport::ToUtf8(file);
    }

    reader::ReaderClient& Reader() { return *m_reader_; }

    keyinput::SlidesOnScreen m_onScreen_;
    testsupport::SettingsSandbox m_sandbox_;
    testsupport::TempDir m_store_{L"tokens"};
    std::unique_ptr<reader::ReaderClient> m_reader_;
    std::unique_ptr<tamu::Host> m_host_;
    std::unique_ptr<tamu::TokenStoreDevices> m_devices_;
};

// The absent-key reminder slides in, and while it does a key with expiring
// certificates is inserted: the certificate pop-up slides in over it. Each
// is announced once; the later one holds the foreground, and no window gets
// the focus back after another took it. Keys typed then (a user still
// writing in another application) do not close the pop-up that came forward.
TEST_F(ReaderSession, TwoPopupsSlidingInTogether)
{
    RememberAbsentKey();
    Start(2052, {}, "[UserSetting]\r\nNoDeviceCertNotifyTime=0\r\n");
    ASSERT_TRUE(Reader().WaitHeard(L"alert"));
    Insert(L"lisi");
    ASSERT_TRUE(Reader().WaitQuiet(1200));
    ExpectHeard(L"popups-sliding-in");

    std::map<std::wstring, int> alerts;
    std::vector<std::wstring> focusOrder;
    for (const std::wstring& line : Reader().Lines()) {
        if (StartsWith(line, L"alert")) ++alerts[WindowOf(line)];
        if (StartsWith(line, L"focus") && (focusOrder.empty() || focusOrder.back() != WindowOf(line)))
            focusOrder.push_back(WindowOf(line));
    }
    EXPECT_EQ(1, alerts[L"ZentoLumoraNoDeviceNotifyCertEventWnd"]);
    EXPECT_EQ(1, alerts[L"ZentoLumoraNotifyCertEventWnd"]);
    for (size_t i = 0; i < focusOrder.size(); ++i)
        for (size_t j = i + 2; j < focusOrder.size(); ++j)
            EXPECT_NE(focusOrder[i], focusOrder[j]) << "the focus went back to a window it had left";
    ASSERT_FALSE(focusOrder.empty());
    EXPECT_EQ(L"ZentoLumoraNotifyCertEventWnd", focusOrder.back());

    const HWND certPopup = ::FindWindowW(L"ZentoLumoraNotifyCertEventWnd", nullptr);
    // The foreground of this process: under Wine on a bare X server the
    // system's desktop window sometimes reports itself as the foreground.
    ASSERT_EQ(certPopup, ::GetActiveWindow());
    Press(VK_RETURN);
    Press(VK_SPACE);
    EXPECT_TRUE(::IsWindowVisible(certPopup)) << "a key meant for another application closed the pop-up";
    Press(VK_ESCAPE);
    EXPECT_TRUE(testsupport::WaitFor([&] { return !::IsWindowVisible(certPopup); }))
        << "Escape closes the pop-up that has the focus";
}

// From the activated host into the plug-in with Tab, through the main
// window, and up and down the key list.
TEST_F(ReaderSession, TabFromTheHostThroughTheMainWindow)
{
    Start(2052, {L"zhangsan", L"lisi"}, kPopupsOff);
    Reader().Mark();
    ASSERT_TRUE(keyinput::Activate(m_host_->MainWindow()));
    Reader().WaitQuiet(300);
    for (int i = 0; i < 8; ++i) Press(VK_TAB);
    for (int i = 0; i < 7; ++i) Press(VK_TAB, kShift);
    Press(VK_DOWN);
    Press(VK_UP);
    ExpectHeard(L"tab-through-main-window");
}

// Enter on a certificate row opens the certificate dialog; Escape closes
// it, and the keyboard is back on the row.
TEST_F(ReaderSession, CertificateDialogAndBack)
{
    Start(2052, {L"zhangsan"}, kPopupsOff);
    Press(VK_TAB);  // the key list
    Press(VK_TAB);  // the key's PIN button
    Press(VK_TAB);  // the first certificate row
    Reader().Mark();
    bool closed = false;
    {
        dialogdriver::Driver driver(L"#32770", [&] {
            if (!dialogdriver::WaitForWindowOfClass(L"#32770", 10000)) return;
            Reader().WaitQuiet(400);
            Type(VK_ESCAPE);
            closed = dialogdriver::Poll([] { return dialogdriver::TopLevelOfClass(L"#32770").empty(); });
        });
        Type(VK_RETURN);
        testsupport::WaitFor([&] { return closed; }, 20000);
    }
    EXPECT_TRUE(closed);
    Reader().WaitQuiet(500);
    ExpectHeard(L"certificate-dialog-and-back");
}

// The PIN dialog: every edit named and protected, the failure message box,
// and the keyboard back in the dialog after it.
TEST_F(ReaderSession, PinDialogByKeyboard)
{
    Start(2052, {L"zhangsan"}, kPopupsOff);
    Press(VK_TAB);
    Press(VK_TAB);  // 修改密码
    Reader().Mark();
    bool done = false;
    {
        dialogdriver::Driver driver(L"ZENTO_UIModifyPasswordDlg", [&] {
            const HWND dialog = dialogdriver::WaitForWindowOfClass(L"ZENTO_UIModifyPasswordDlg");
            if (!dialog || dialogdriver::WaitForEdits(dialog, 3).size() != 3) return;
            Reader().WaitQuiet(400);
            keyinput::TypeText(L"123456");
            Type(VK_TAB);
            Reader().WaitQuiet(300);
            keyinput::TypeText(L"Abc#2026x");
            Type(VK_TAB);
            Reader().WaitQuiet(300);
            keyinput::TypeText(L"Abc#2027x");  // not the same: the dialog says so
            Type(VK_RETURN);
            if (!dialogdriver::WaitForMessageBox(dialog)) return;
            Reader().WaitQuiet(400);
            Type(VK_RETURN);
            dialogdriver::Poll([dialog] { return !dialogdriver::WaitForMessageBox(dialog, 0); });
            Reader().WaitQuiet(400);
            Type(VK_ESCAPE);
            done = dialogdriver::WaitGone(dialog);
        });
        Type(VK_RETURN);
        testsupport::WaitFor([&] { return done; }, 30000);
    }
    EXPECT_TRUE(done);
    Reader().WaitQuiet(500);
    ExpectHeard(L"pin-dialog");
}

// The settings page in the host's settings dialog: the lead-time combo
// opened with F4 and arrowed through, each item heard.
TEST_F(ReaderSession, SettingsPageLeadTimeByKeyboard)
{
    Start(1033, {}, kPopupsOff);
    Reader().Mark();
    bool done = false;
    const HWND hostWindow = m_host_->MainWindow();
    {
        dialogdriver::Driver driver([&] {
            const HWND dialog = dialogdriver::WaitForWindowOfClass(L"TamuHostSettingsDialog");
            if (!dialog) return;
            Reader().WaitQuiet(400);
            for (int i = 0; i < 3; ++i) {
                Type(VK_TAB);
                Reader().WaitQuiet(300);
            }
            for (WORD vk : {WORD(VK_F4), WORD(VK_DOWN), WORD(VK_DOWN), WORD(VK_UP), WORD(VK_RETURN)}) {
                Type(vk);
                Reader().WaitQuiet(300);
            }
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
            done = dialogdriver::WaitGone(dialog);
        });
        m_host_->ShowSettingsDialog(hostWindow);
    }
    EXPECT_TRUE(done);
    ExpectHeard(L"settings-lead-time", false);
}

// A key inserted while a reader is connected: one alert, and the rebuilt
// views are told as a few reorders, not a name change per control.
TEST_F(ReaderSession, TokenInsertedIsOneAlertAndAFewReorders)
{
    Start(2052, {L"zhangsan"}, "[NotifyWndSetting]\r\nIsShowNotifyNoDeviceCertExpireWnd=false\r\n");
    Press(VK_TAB);  // the reader now knows the main window
    Reader().Mark();
    Insert(L"usages");
    ASSERT_TRUE(Reader().WaitHeard(L"alert"));
    Reader().WaitQuiet(1000);
    ExpectHeard(L"token-inserted");
    EXPECT_LE(Reader().SinceMark().size(), 6u);
}

}  // namespace
