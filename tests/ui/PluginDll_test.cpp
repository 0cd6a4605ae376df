// The real LumoraPlugin.dll loaded by our host, as a Windows host would.
#include <gtest/gtest.h>

#include "SettingsFolders.h"
#include "TamuHost.h"
#include "TestSupport.h"

namespace {

tamu::HostOptions Windowed()
{
    tamu::HostOptions options;
    options.languageId = 2052;
    options.pluginPath = tamu::BesideProgram(L"LumoraPlugin.dll");
    return options;
}

}  // namespace

TEST(PluginDll, LoadsStartsAndUnloadsInAHostWindow)
{
    testsupport::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    tamu::Host host(Windowed());
    ASSERT_TRUE(host.Start());
    ASSERT_TRUE(host.LoadPlugin());
    EXPECT_NE(nullptr, host.Module());
    EXPECT_NE(nullptr, GetModuleHandleW(L"LumoraPlugin.dll"));
    host.UnloadPlugin();
    EXPECT_EQ(nullptr, host.Module());
    // Nothing of ours keeps the library pinned once the host lets go.
    EXPECT_EQ(nullptr, GetModuleHandleW(L"LumoraPlugin.dll"));
    host.UnloadPlugin();  // a second unload is harmless
}

TEST(PluginDll, RepeatedLoadAndUnloadLeaksNoWindowsObjects)
{
    testsupport::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.ok());
    tamu::Host host(Windowed());
    ASSERT_TRUE(host.Start());
    // One warm-up round: first use of system classes and fonts allocates
    // objects that live for the process.
    ASSERT_TRUE(host.LoadPlugin());
    host.UnloadPlugin();
    testsupport::PumpMessages();
    const DWORD gdi = testsupport::CountGdiObjects();
    const DWORD user = testsupport::CountUserObjects();
    ASSERT_GT(gdi, 0u) << "the counter must see this process's objects";
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(host.LoadPlugin());
        ASSERT_NE(nullptr, host.Module());
        host.UnloadPlugin();
        testsupport::PumpMessages();
    }
    EXPECT_EQ(gdi, testsupport::CountGdiObjects());
    EXPECT_EQ(user, testsupport::CountUserObjects());
}

TEST(PluginDll, MissingLibraryIsReportedNotFatal)
{
    tamu::HostOptions options = Windowed();
    options.pluginPath = tamu::BesideProgram(L"NoSuchPlugin.dll");
    tamu::Host host(options);
    ASSERT_TRUE(host.Start());
    EXPECT_FALSE(host.LoadPlugin());
    EXPECT_EQ(nullptr, host.Module());
}
