// The host lets the plug-in go while a frame of ours is still on its thread's
// stack: it calls OnReleasePlugins and FreeLibrary from a timer of its own
// that fires inside a loop Windows, the plug-in or the host runs for a window
// of ours, or while a client in its process holds one of our accessible
// objects. The real LumoraPlugin.dll must leave the process by itself once
// the loop has returned (or the object is released), without a crash and
// without a copy of a PIN typed meanwhile, and then load again.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AccessibleWalker.h"
#include "DialogDriver.h"
#include "HostTokenStore.h"
#include "KeyInput.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"
#include "UserHost.h"
#include "ZentoPKITestSupport.h"

namespace {

constexpr const char* kPopupsOff =
    "[NotifyWndSetting]\r\nIsShowNotifyDeviceWnd=false\r\nIsShowNotifyCertWnd=false\r\n";
// The certificate pop-up alone: the key's certificate ending in 10 days brings it.
constexpr const char* kCertPopupOnly = "[NotifyWndSetting]\r\nIsShowNotifyDeviceWnd=false\r\n";
constexpr const wchar_t* kCertPopupClass = L"ZentoLumoraNotifyCertEventWnd";
constexpr const wchar_t* kPinDialogClass = L"ZENTO_UIModifyPasswordDlg";

class ReleasedInside;
using Step = std::function<bool(ReleasedInside&)>;

struct Loop {
    const char* name;
    const char* userIni;
    Step open;     // starts the loop (keys typed, an action asked for); false when it cannot
    Step isOpen;   // asked by the host's timer: the loop runs now (and has what it needs typed)
    std::function<void(ReleasedInside&)> afterRelease;  // what a client does then; may be empty
    // The loop is the host's (its menu): the user leaves it. Every other
    // one belongs to a window of ours and ends with the release.
    bool userEnds = false;
};

bool MenuShown()
{
    const HWND menu = ::FindWindowW(L"#32768", nullptr);
    return menu && ::IsWindowVisible(menu);
}

bool PluginLoaded() { return ::GetModuleHandleW(L"LumoraPlugin.dll") != nullptr; }

ReleasedInside* g_test = nullptr;

class ReleasedInside : public ::testing::TestWithParam<Loop> {
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox_.ok());
        ASSERT_TRUE(m_sandbox_.InstallLanguageFile(2052));
        ASSERT_TRUE(m_sandbox_.WriteUserIni(GetParam().userIni));
        ASSERT_TRUE(pkitest::MakeTokenStore(m_store_.Path(), {L"zhangsan"}));
        ASSERT_TRUE(testsupport::StartHostWithPlugin(2052, m_store_.Path(), m_host_, m_devices_));
        testsupport::PumpMessages();  // the event is posted; the key's page is built now
        ASSERT_NE(nullptr, m_host_->AttachedView());
        m_frame_ = m_host_->AttachedView()->GetWindow();
        ASSERT_TRUE(::IsWindow(m_frame_));
    }

    void TearDown() override
    {
        if (m_held_) m_held_->Release();
        m_devices_.reset();
        m_host_.reset();
    }

    // The one driver: opens the loop, lets the host's timer release and
    // unload the plug-in once the loop runs, and waits for the library to
    // leave the process.
    void ReleaseInsideTheLoop()
    {
        const Loop& loop = GetParam();
        g_test = this;
        m_since_ = ::GetTickCount();
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, &HostTimer);
        const bool opened = timer && loop.open(*this);
        const bool gone = opened && testsupport::WaitFor([&] { return m_released_ && !PluginLoaded(); }, 30000);
        ::KillTimer(nullptr, timer);
        g_test = nullptr;
        ASSERT_TRUE(opened);
        EXPECT_TRUE(m_releasedInside_) << "the host's timer never found the loop running";
        EXPECT_TRUE(gone) << "the library stayed in the process";
        EXPECT_EQ(loop.userEnds, m_userLeft_) << "whether the user had to leave the loop";
        for (const testsupport::SecretPin& pin : m_pins_) EXPECT_FALSE(pin.FoundInProcessMemory());
    }

    tamu::Host& Host() { return *m_host_; }
    HWND Frame() const { return m_frame_; }
    HWND CertPopup() const { return ::FindWindowW(kCertPopupClass, nullptr); }
    IAccessible*& Held() { return m_held_; }

    // The expiry pop-up in front, where the keys go.
    bool CertPopupActive()
    {
        return testsupport::WaitFor([&] {
            const HWND popup = CertPopup();
            return popup && ::IsWindowVisible(popup) && ::GetForegroundWindow() == popup;
        }, 10000);
    }

    // The PIN dialog's edits once it shows them, typed with fresh PINs
    // (one per edit, the repetition not matching) the first time.
    bool TypedIntoThePinDialog(size_t edits)
    {
        const HWND dialog = ::FindWindowW(kPinDialogClass, nullptr);
        if (!dialog || !::IsWindowVisible(dialog)) return false;
        if (!m_pins_.empty()) return true;
        const std::vector<HWND> shown = dialogdriver::WaitForEdits(dialog, 3, 0);
        if (shown.size() != 3) return false;
        m_pins_.resize(edits);
        for (size_t i = 0; i < edits; ++i) {
            wchar_t clear[testsupport::SecretPin::kLength + 1];
            m_pins_[i].Reveal(clear);
            ::SetWindowTextW(shown[i], clear);
            ::SecureZeroMemory(clear, sizeof(clear));
        }
        // The scan sees a PIN where one is: in its edit.
        EXPECT_TRUE(m_pins_[0].FoundInProcessMemory());
        if (edits == 3) dialogdriver::PressKey(shown[0], VK_RETURN);  // the dialog says they differ
        return true;
    }

private:
    static void CALLBACK HostTimer(HWND, UINT, UINT_PTR, DWORD)
    {
        ReleasedInside* self = g_test;
        if (!self) return;
        const Loop& loop = self->GetParam();
        const DWORD now = ::GetTickCount();
        if (self->m_released_) {
            // A loop still open a while after the release is left by the
            // user, as on a screen where nothing happens any more.
            if (now - self->m_since_ > 1500 && loop.isOpen(*self)) {
                self->m_userLeft_ = true;
                self->m_since_ = now;
                keyinput::Type(VK_ESCAPE);
            }
            return;
        }
        const bool inside = loop.isOpen(*self);
        // A loop that never opens must not keep the test waiting for ever.
        if (!inside && now - self->m_since_ < 15000) return;
        self->m_releasedInside_ = inside;
        self->m_released_ = true;
        self->m_since_ = now;
        self->m_host_->UnloadPlugin();  // OnReleasePlugins, then FreeLibrary
        if (loop.afterRelease) loop.afterRelease(*self);
    }

    keyinput::SlidesOnScreen m_onScreen_;
    testsupport::SettingsSandbox m_sandbox_;
    testsupport::TempDir m_store_{L"tokens"};
    accwalk::ComScope m_com_;  // as a real host's window thread has it
    std::unique_ptr<tamu::Host> m_host_;
    std::unique_ptr<tamu::TokenStoreDevices> m_devices_;
    HWND m_frame_ = nullptr;
    IAccessible* m_held_ = nullptr;
    std::vector<testsupport::SecretPin> m_pins_;
    DWORD m_since_ = 0;
    bool m_released_ = false;
    bool m_releasedInside_ = false;
    bool m_userLeft_ = false;
};

GUITHREADINFO ThreadGui()
{
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    ::GetGUIThreadInfo(::GetCurrentThreadId(), &gui);
    return gui;
}

// As a keyboard user does: from the host's window on to the key's PIN
// button, pressed.
bool PressThePinButton(ReleasedInside&)
{
    keyinput::Type(VK_TAB);  // the key list
    keyinput::Type(VK_TAB);  // the PIN button
    keyinput::Type(VK_RETURN);
    return true;
}

const Loop kLoops[] = {
    {"SystemMenuOfThePopup", kCertPopupOnly,
     [](ReleasedInside& t) {
         if (!t.CertPopupActive()) return false;
         keyinput::Type(VK_SPACE, keyinput::kAlt);
         return true;
     },
     [](ReleasedInside& t) {
         const GUITHREADINFO gui = ThreadGui();
         return (gui.flags & GUI_INMENUMODE) && gui.hwndMenuOwner == t.CertPopup() && MenuShown();
     }},
    {"KeyboardMoveOfThePopup", kCertPopupOnly,
     [](ReleasedInside& t) {
         if (!t.CertPopupActive()) return false;
         keyinput::Type(VK_SPACE, keyinput::kAlt);
         keyinput::Type('M');  // the system menu's Move
         return true;
     },
     [](ReleasedInside& t) {
         const GUITHREADINFO gui = ThreadGui();
         return (gui.flags & GUI_INMOVESIZE) && gui.hwndMoveSize == t.CertPopup();
     }},
    {"MenuModeFromTheMainWindow", kPopupsOff,
     [](ReleasedInside& t) {
         // F10 reaches our window procedure, which hands it to the host's frame.
         if (!testsupport::WaitFor([&] { return ::GetFocus() == t.Frame(); })) return false;
         keyinput::Type(VK_F10);
         return true;
     },
     [](ReleasedInside& t) {
         const GUITHREADINFO gui = ThreadGui();
         return (gui.flags & GUI_INMENUMODE) && gui.hwndMenuOwner == t.Host().MainWindow();
     },
     nullptr, true},
    {"ExportFolderBrowser", kPopupsOff,
     [](ReleasedInside& t) {
         accwalk::Tree tree(t.Frame());
         for (const accwalk::Node& node : tree.Nodes()) {
             if (node.role == ROLE_SYSTEM_PUSHBUTTON && node.name.rfind(L"导出", 0) == 0)
                 return SUCCEEDED(node.object->accDoDefaultAction(accwalk::Self()));
         }
         return false;
     },
     [](ReleasedInside&) {
         const HWND dialog = ::FindWindowW(L"#32770", nullptr);
         return dialog && ::IsWindowVisible(dialog);
     }},
    {"PinDialog", kPopupsOff, &PressThePinButton,
     [](ReleasedInside& t) { return t.TypedIntoThePinDialog(1); }},
    {"MessageBoxOverThePinDialog", kPopupsOff, &PressThePinButton,
     [](ReleasedInside& t) {
         return t.TypedIntoThePinDialog(3) &&
                dialogdriver::WaitForMessageBox(::FindWindowW(kPinDialogClass, nullptr), 0) != nullptr;
     }},
    // The host's own settings dialog, with our page in it, opened from its menu.
    {"SettingsDialogOfTheHost", kPopupsOff,
     [](ReleasedInside&) {
         keyinput::Type('T', keyinput::kAlt);  // 工具(&T)
         keyinput::Type('S');                  // 设置(&S)...
         return true;
     },
     [](ReleasedInside& t) { return t.Host().SettingsDialog() && ::IsWindowVisible(t.Host().SettingsDialog()); }},
    {"HeldAccessibleObject", kPopupsOff,
     [](ReleasedInside& t) {
         void* object = nullptr;
         if (FAILED(::AccessibleObjectFromWindow(t.Frame(), static_cast<DWORD>(OBJID_CLIENT), accwalk::kIidAccessible,
                                                 &object)))
             return false;
         t.Held() = static_cast<IAccessible*>(object);
         return true;
     },
     [](ReleasedInside& t) { return t.Held() != nullptr; },
     [](ReleasedInside& t) {
         // The window is gone: the object answers, the library stays for it.
         EXPECT_TRUE(PluginLoaded()) << "unloaded under a client's object";
         long children = -1;
         EXPECT_EQ(RPC_E_DISCONNECTED, t.Held()->get_accChildCount(&children));
         t.Held()->Release();
         t.Held() = nullptr;
     }},
};

}  // namespace

TEST_P(ReleasedInside, TheLibraryLeavesOnceOurFramesHaveReturned)
{
    ReleaseInsideTheLoop();
    EXPECT_EQ(nullptr, ::FindWindowW(kPinDialogClass, nullptr));
    EXPECT_TRUE(dialogdriver::TopLevelOfClass(L"#32770").empty());
    EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
    // Loaded, started and released again as if nothing had happened.
    ASSERT_TRUE(Host().LoadPlugin());
    EXPECT_NE(nullptr, Host().Module());
    Host().NotifyDeviceSetChanged();
    Host().UnloadPlugin();
    EXPECT_FALSE(PluginLoaded());
    EXPECT_EQ(0, ZentoPKIGetLiveObjectCount());
}

INSTANTIATE_TEST_SUITE_P(Loops, ReleasedInside, ::testing::ValuesIn(kLoops),
                         [](const ::testing::TestParamInfo<Loop>& info) { return std::string(info.param.name); });
