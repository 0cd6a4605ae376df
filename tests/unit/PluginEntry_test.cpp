// Start-up and teardown through the entry points, with our host in-process.
#include <gtest/gtest.h>

#include "DuiLib/DuiLib.h"
#include "Plugin/HostMessaging.h"
#include "Plugin/LumoraPluginApp.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/PluginEntry.h"
#include "Plugin/ToolkitSetup.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"

namespace {

tamu::HostOptions Headless()
{
    tamu::HostOptions options;
    options.languageId = 2052;
    options.createWindow = false;
    return options;
}

// Every test runs with its own settings folders and leaves the plug-in
// unloaded, whatever it did.
class PluginEntryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox_.ok()); }
    void TearDown() override { PluginEntry::OnReleasePlugins(); }

    testsupport::SettingsSandbox m_sandbox_;
};

// Every line of every log file the logger wrote for this user.
std::string AllLogText(const testsupport::SettingsSandbox& sandbox)
{
    const std::wstring folder = sandbox.UserProductFolder() + L"\\log";
    std::string all;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*.log").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return all;
    do {
        std::string bytes;
        testsupport::ReadFileBytes(folder + L"\\" + fd.cFileName, bytes);
        all += bytes;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return all;
}

}  // namespace

TEST_F(PluginEntryTest, ModuleBeforeStartIsNull)
{
    IPluginModule* module = reinterpret_cast<IPluginModule*>(0x1234);
    EXPECT_EQ(0, PluginEntry::GetPluginModule(&module));
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(0, PluginEntry::GetPluginModule(nullptr));
}

TEST_F(PluginEntryTest, ReleaseWithoutModuleAndTwiceIsHarmless)
{
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());

    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    IPluginModule* module = reinterpret_cast<IPluginModule*>(0x1234);
    PluginEntry::GetPluginModule(&module);
    EXPECT_EQ(nullptr, module);
}

TEST_F(PluginEntryTest, WithoutViewContainerTheModuleStillRunsAndTheViewKeepsItsValues)
{
    tamu::Host host(Headless());
    host.EnableService(HostGuids::ViewContainer, false);
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    IPluginModule* module = nullptr;
    PluginEntry::GetPluginModule(&module);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(PluginEntry::Module(), module);
    EXPECT_EQ(&host, PluginEntry::Host());

    CLumoraPluginView& view = PluginEntry::Module()->View();
    EXPECT_EQ(nullptr, view.Container());
    EXPECT_EQ(0, view.GetAttachResult());
    EXPECT_EQ(nullptr, view.GetWindow());
    EXPECT_EQ(0u, SysStringLen(view.GetTitle()));
    EXPECT_EQ(1, view.GetIntegerA());
    EXPECT_EQ(0, view.GetIntegerB());
    // Asking again gives the same answer and touches nothing.
    EXPECT_EQ(-1, view.Create(&host));
    EXPECT_EQ(-1, view.Create(nullptr));
}

TEST_F(PluginEntryTest, ViewFindsTheContainerButFailsWithoutAHostWindowToLiveIn)
{
    // A headless host's container gives no parent window: the main window,
    // a child window, cannot be made, and the view says so.
    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    CLumoraPluginView& view = PluginEntry::Module()->View();
    EXPECT_NE(nullptr, view.Container());
    EXPECT_EQ(nullptr, host.AttachedView());
    EXPECT_EQ(nullptr, view.GetWindow());
}

TEST_F(PluginEntryTest, StartingTwiceReplacesTheModule)
{
    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    EXPECT_NE(nullptr, PluginEntry::Module());
}

TEST_F(PluginEntryTest, BroadcastReachesTheHostOrIsDroppedWithoutService)
{
    tamu::Host host(Headless());
    ASSERT_TRUE(host.Start());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_TRUE(RegisterHostMessage(window, HostMessages::RefreshRequested));
    BroadcastHostMessage(HostMessages::RefreshRequested);
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, window, HostMessages::RefreshRequested, HostMessages::RefreshRequested, PM_REMOVE));
    EXPECT_EQ(0, host.LiveManagers());  // every manager released after use

    host.EnableService(HostGuids::MessageService, false);
    EXPECT_FALSE(RegisterHostMessage(window, HostMessages::DeviceSetChanged));
    BroadcastHostMessage(HostMessages::RefreshRequested);
    EXPECT_FALSE(PeekMessageW(&msg, window, HostMessages::RefreshRequested, HostMessages::RefreshRequested, PM_REMOVE));
    DestroyWindow(window);
}

TEST(ToolkitSetup, SkinFolderIsBesideTheModule)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring expected(self);
    expected = expected.substr(0, expected.find_last_of(L'\\') + 1) + L"LumoraPlugin\\skin\\";
    EXPECT_EQ(expected, SkinFolderForModule(nullptr));
}

TEST_F(PluginEntryTest, StartPointsTheToolkitAtTheSkinsAndTeardownReleasesItsSharedState)
{
    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    EXPECT_EQ(PluginEntry::ModuleInstance(), DuiLib::CPaintManagerUI::GetInstance());
    EXPECT_EQ(SkinFolderForModule(PluginEntry::ModuleInstance()), DuiLib::CPaintManagerUI::GetResourcePath());
    EXPECT_EQ(DuiLib::UILIB_FILE, DuiLib::CPaintManagerUI::GetResourceType());

    DuiLib::CPaintManagerUI::RegisterControlClass(L"ProbeControl", [] { return new DuiLib::CControlUI; });
    DuiLib::CControlUI* made = DuiLib::CPaintManagerUI::CreateRegisteredControl(L"ProbeControl");
    ASSERT_NE(nullptr, made);
    delete made;

    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(nullptr, DuiLib::CPaintManagerUI::CreateRegisteredControl(L"ProbeControl"));
}

TEST_F(PluginEntryTest, BroadcastWithoutServiceOrManagerLogsWhy)
{
    ASSERT_TRUE(testsupport::MakeFolders(m_sandbox_.UserProductFolder()));
    ASSERT_TRUE(testsupport::WriteFileBytes(m_sandbox_.UserIniPath(), "[Log]\r\nIsWriteLog=true\r\n"));
    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    host.EnableService(HostGuids::MessageService, false);
    BroadcastHostMessage(HostMessages::RefreshRequested);
    host.EnableService(HostGuids::MessageService, true);
    host.SetManagerAvailable(false);
    BroadcastHostMessage(HostMessages::RefreshRequested);
    PluginEntry::OnReleasePlugins();

    const std::string log = AllLogText(m_sandbox_);
    EXPECT_NE(std::string::npos, log.find("] IPluginObject is null when register message")) << log;
    EXPECT_NE(std::string::npos, log.find("] IMessageEventManager Object is null when register message")) << log;
}

TEST_F(PluginEntryTest, ReleaseWithoutModuleStillReleasesTheToolkit)
{
    DuiLib::CPaintManagerUI::RegisterControlClass(L"ProbeControl", [] { return new DuiLib::CControlUI; });
    ASSERT_EQ(nullptr, PluginEntry::Module());
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(nullptr, DuiLib::CPaintManagerUI::CreateRegisteredControl(L"ProbeControl"));
}

TEST_F(PluginEntryTest, TeardownForgetsTheHost)
{
    {
        tamu::Host host(Headless());
        ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
        EXPECT_EQ(&host, PluginEntry::Host());
        PluginEntry::OnReleasePlugins();
    }
    EXPECT_EQ(nullptr, PluginEntry::Host());
}

TEST(LumoraPluginApp, IsTheFrameworksApplicationAndStartsWithItsModule)
{
    CLumoraPluginApp& app = LumoraPluginApp();
    EXPECT_EQ(&app, CWinApp::GetApp());
    EXPECT_EQ(&app, &LumoraPluginApp());
    EXPECT_TRUE(app.InitModule(GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetModuleHandleW(nullptr), app.m_hInstance);
}
