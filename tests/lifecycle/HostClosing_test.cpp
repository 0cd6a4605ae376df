// The host closing while a window of ours waits for the user: it releases
// and unloads the real LumoraPlugin.dll from inside the message loop of that
// window (the loop dispatches the host's messages too), or, for its own
// settings dialog, from inside its loop around our page. The host's process
// must survive, our windows must close, the PINs typed must be nowhere in
// its memory, and the plug-in must load again.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "DialogDriver.h"
#include "HostTokenStore.h"
#include "KeyInput.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "ZentoPKITestSupport.h"

namespace {

constexpr const wchar_t* kPinDialogClass = L"ZENTO_UIModifyPasswordDlg";

struct ClassSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM data)
{
    auto* search = reinterpret_cast<ClassSearch*>(data);
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    if (lstrcmpW(name, search->className) != 0) return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND FindDescendant(HWND parent, const wchar_t* className)
{
    ClassSearch search{className, nullptr};
    ::EnumChildWindows(parent, &MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class HostClosing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox_.ok());
        ASSERT_TRUE(m_sandbox_.InstallLanguageFile(2052));
        // No pop-up takes the keyboard from the host's window.
        ASSERT_TRUE(m_sandbox_.WriteUserIni("[NotifyWndSetting]\r\nIsShowNotifyCertWnd=false\r\n"
                                            "IsShowNotifyDeviceWnd=false\r\n"));
        ASSERT_TRUE(pkitest::MakeTokenStore(m_store_.Path(), {L"zhangsan"}));
        StartHost();
    }

    void TearDown() override { StopHost(); }

    void StartHost()
    {
        tamu::HostOptions options;
        options.languageId = 2052;
        options.pluginPath = tamu::BesideProgram(L"LumoraPlugin.dll");
        m_host_ = std::make_unique<tamu::Host>(options);
        ASSERT_TRUE(m_host_->Start());
        ::ShowWindow(m_host_->MainWindow(), SW_SHOW);
        m_devices_ = std::make_unique<tamu::TokenStoreDevices>(*m_host_, m_store_.Path());
        ASSERT_TRUE(m_host_->LoadPlugin());
        m_host_->NotifyDeviceSetChanged();
        m_frame_ = FindDescendant(m_host_->MainWindow(), L"ZentoLumoraPluginMainWnd");
        ASSERT_NE(nullptr, m_frame_);
    }

    void StopHost()
    {
        m_devices_.reset();
        m_host_.reset();
    }

    // Closes the host, as its timer or a WM_CLOSE to its window does, once
    // `reach` (on a second thread) has brought up the window to close it
    // from; open() starts the modal loop on this thread.
    void CloseHostFrom(const std::function<void()>& open, const std::function<bool()>& reach)
    {
        const HWND hostWindow = m_host_->MainWindow();
        bool reached = false;
        {
            dialogdriver::Driver driver([&] {
                reached = reach();
                ::PostMessageW(hostWindow, WM_CLOSE, 0, 0);
            });
            open();
            EXPECT_TRUE(testsupport::WaitFor([&] { return !::IsWindow(hostWindow); }, 20000));
        }
        EXPECT_TRUE(reached);
        EXPECT_EQ(nullptr, m_host_->PluginLibrary());
    }

    // Once the host has closed: every window of ours is gone, what the
    // plug-in held is freed as soon as its loops have returned, and so is
    // every copy of a PIN typed.
    void ExpectReleasedCleanly(std::initializer_list<const testsupport::SecretPin*> typed)
    {
        EXPECT_EQ(nullptr, ::FindWindowW(kPinDialogClass, nullptr));
        EXPECT_TRUE(dialogdriver::TopLevelOfClass(L"#32770").empty());
        EXPECT_TRUE(testsupport::WaitFor([] { return ZentoPKIGetLiveObjectCount() == 0; }));
        EXPECT_TRUE(testsupport::WaitFor([] { return ::GetModuleHandleW(L"LumoraPlugin.dll") == nullptr; }));
        for (const testsupport::SecretPin* pin : typed) EXPECT_FALSE(pin->FoundInProcessMemory());
        StopHost();
        // Loaded again, started and unloaded: the library then leaves the process.
        StartHost();
        ASSERT_NE(nullptr, m_host_->Module());
        m_host_->UnloadPlugin();
        EXPECT_EQ(nullptr, ::GetModuleHandleW(L"LumoraPlugin.dll"));
        EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
    }

    // As a keyboard user does: into the host's window, on to the key's PIN
    // button, pressed.
    void OpenPinDialog()
    {
        ASSERT_TRUE(keyinput::Activate(m_host_->MainWindow()));
        keyinput::Type(VK_TAB);  // the key list
        keyinput::Type(VK_TAB);  // the PIN button
        keyinput::Type(VK_RETURN);
    }

    // Types a PIN into an edit from the driver's thread, leaving no copy of its own.
    static void TypePin(HWND edit, const testsupport::SecretPin& pin)
    {
        wchar_t clear[testsupport::SecretPin::kLength + 1];
        pin.Reveal(clear);
        dialogdriver::SetEditText(edit, clear);
        ::SecureZeroMemory(clear, sizeof(clear));
    }

    testsupport::SettingsSandbox m_sandbox_;
    testsupport::TempDir m_store_{L"tokens"};
    std::unique_ptr<tamu::Host> m_host_;
    std::unique_ptr<tamu::TokenStoreDevices> m_devices_;
    HWND m_frame_ = nullptr;
};

}  // namespace

TEST_F(HostClosing, WhileThePinDialogIsOpen)
{
    const testsupport::SecretPin old;
    CloseHostFrom([&] { OpenPinDialog(); },
                  [&] {
                      const HWND dialog = dialogdriver::WaitForWindowOfClass(kPinDialogClass);
                      const std::vector<HWND> edits = dialogdriver::WaitForEdits(dialog, 3);
                      if (edits.size() != 3) return false;
                      TypePin(edits[0], old);
                      // The scan sees a PIN where one is: in the edit.
                      return old.FoundInProcessMemory();
                  });
    ExpectReleasedCleanly({&old});
}

TEST_F(HostClosing, WhileAMessageBoxOfThePinDialogIsOpen)
{
    const testsupport::SecretPin old, fresh, mistyped;
    CloseHostFrom([&] { OpenPinDialog(); },
                  [&] {
                      const HWND dialog = dialogdriver::WaitForWindowOfClass(kPinDialogClass);
                      const std::vector<HWND> edits = dialogdriver::WaitForEdits(dialog, 3);
                      if (edits.size() != 3) return false;
                      TypePin(edits[0], old);
                      TypePin(edits[1], fresh);
                      TypePin(edits[2], mistyped);  // a mismatch: the box says so
                      dialogdriver::PressKey(edits[0], VK_RETURN);
                      return dialogdriver::WaitForMessageBox(dialog) != nullptr;
                  });
    ExpectReleasedCleanly({&old, &fresh, &mistyped});
}

TEST_F(HostClosing, WhileItsSettingsDialogShowsOurPage)
{
    const HWND hostWindow = m_host_->MainWindow();
    bool shown = false;
    {
        dialogdriver::Driver driver([&] {
            shown = dialogdriver::WaitForWindowOfClass(L"TamuHostSettingsDialog") != nullptr;
            ::PostMessageW(hostWindow, WM_CLOSE, 0, 0);
        });
        EXPECT_TRUE(m_host_->ShowSettingsDialog(hostWindow));
    }
    EXPECT_TRUE(shown);
    EXPECT_FALSE(::IsWindow(hostWindow));
    EXPECT_EQ(nullptr, m_host_->SettingsDialog());
    EXPECT_EQ(nullptr, ::GetModuleHandleW(L"LumoraPlugin.dll"));
    EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
}
