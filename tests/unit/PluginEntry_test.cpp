// Start-up and teardown through the entry points, with our host in-process.
#include <gtest/gtest.h>

#include "DuiLib/DuiLib.h"
#include "Plugin/HostMessaging.h"
#include "Plugin/LumoraPluginModule.h"
#include "Plugin/PluginEntry.h"
#include "Plugin/ToolkitSetup.h"
#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"

#include <stdexcept>

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
    for (const std::wstring& name : testsupport::ListFiles(folder, L"*.log")) {
        std::string bytes;
        testsupport::ReadFileBytes(folder + L"\\" + name, bytes);
        all += bytes;
    }
    return all;
}

void TurnLoggingOn(const testsupport::SettingsSandbox& sandbox)
{
    ASSERT_TRUE(sandbox.WriteUserIni("[Log]\r\nIsWriteLog=true\r\n"));
}

// A host that fails inside the call the view makes first.
class ThrowingHost final : public IPluginHost {
public:
    long Reserved0() override { return 0; }
    long Reserved1() override { return 0; }
    long GetLanguageId() override { return 2052; }
    long Reserved3() override { return 0; }
    long Reserved4() override { return 0; }
    long Reserved5() override { return 0; }
    long Reserved6() override { return 0; }
    long Reserved7() override { return 0; }
    long QueryPluginObject(const GUID&, IPluginObject**) override { throw std::runtime_error("host out of order"); }
    BSTR GetPluginState(BSTR, long) override { return nullptr; }
};

}  // namespace

TEST_F(PluginEntryTest, NoModuleBeforeStartReleaseStillFreesTheToolkitAndReleaseTwiceForgetsModuleAndHost)
{
    IPluginModule* module = reinterpret_cast<IPluginModule*>(0x1234);
    EXPECT_EQ(0, PluginEntry::GetPluginModule(&module));
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(0, PluginEntry::GetPluginModule(nullptr));
    DuiLib::CPaintManagerUI::RegisterControlClass(L"ProbeControl", [] { return new DuiLib::CControlUI; });
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(nullptr, DuiLib::CPaintManagerUI::CreateRegisteredControl(L"ProbeControl"));
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    {
        tamu::Host host(Headless());
        ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
        EXPECT_EQ(&host, PluginEntry::Host());
        EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
        EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    }
    EXPECT_EQ(nullptr, PluginEntry::Host());
    module = reinterpret_cast<IPluginModule*>(0x1234);
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

TEST_F(PluginEntryTest, SecondStartKeepsTheFirstModuleAndReleaseFreesBoth)
{
    tamu::Host host(Headless());
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    IPluginModule* first = nullptr;
    PluginEntry::GetPluginModule(&first);
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));
    IPluginModule* second = nullptr;
    PluginEntry::GetPluginModule(&second);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ(2u, PluginEntry::ModuleCount());
    // The host may still hold the first one: it answers as before.
    EXPECT_EQ(1, first->GetIntegerA());
    EXPECT_EQ(0u, SysStringLen(first->GetName()));
    // A module the host releases itself is not released again at teardown.
    EXPECT_EQ(0, first->Release());
    EXPECT_EQ(1u, PluginEntry::ModuleCount());
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());
    EXPECT_EQ(0u, PluginEntry::ModuleCount());
}

TEST_F(PluginEntryTest, AnExceptionInsideAHostCallIsLoggedAndTheHostCarriesOn)
{
    TurnLoggingOn(m_sandbox_);
    ThrowingHost host;
    ASSERT_EQ(0, PluginEntry::OnInitPlugins(&host));  // the view's creation threw inside
    ASSERT_NE(nullptr, PluginEntry::Module());
    CLumoraPluginView& view = PluginEntry::Module()->View();
    EXPECT_EQ(-1, view.Create(&host));
    EXPECT_EQ(0, view.GetAttachResult());
    EXPECT_EQ(0, PluginEntry::OnReleasePlugins());

    const std::string log = AllLogText(m_sandbox_);
    EXPECT_NE(std::string::npos,
              log.find("] [CLumoraPluginView::Create] exception stopped at the boundary: host out of order"))
        << log;
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
    TurnLoggingOn(m_sandbox_);
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
