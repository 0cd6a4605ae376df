// The substitute host's own behaviour that the plug-in relies on.
#include <gtest/gtest.h>

#include "HostCommandLine.h"
#include "Plugin/HostCommandMailbox.h"
#include "Plugin/HostInterfaces.h"
#include "TamuHost.h"
#include "TestSupport.h"

using testsupport::TempDir;

namespace {

tamu::HostOptions Headless(long languageId = 2052)
{
    tamu::HostOptions options;
    options.languageId = languageId;
    options.createWindow = false;
    return options;
}

}  // namespace

TEST(TamuHost, PluginStateComesFromTheHostsOwnConfiguration)
{
    TempDir dir;
    const std::wstring ini = dir.File(L"TamuHost.ini");
    ASSERT_TRUE(testsupport::WriteFileBytes(
        ini, "[Plugins]\r\nDAECF30F-E1F7-4b78-829A-1B778A83530A=Install\r\n871F89C4-A418-4361-90D9-29AF05B186B3=NotInstall\r\n"));
    tamu::HostOptions options = Headless();
    options.configPath = ini;
    tamu::Host host(options);
    auto state = [&](const wchar_t* id) {
        BSTR bid = SysAllocString(id);
        BSTR answer = host.GetPluginState(bid, 1);
        std::wstring text = answer ? answer : L"(null)";
        SysFreeString(answer);
        SysFreeString(bid);
        return text;
    };
    EXPECT_EQ(L"Install", state(PluginIds::CertRenewal));
    EXPECT_EQ(L"NotInstall", state(PluginIds::PinUnlock));
    EXPECT_EQ(L"", state(PluginIds::DeviceManagement));
}

TEST(TamuHost, ReadsMailboxOn1734And1849AndPassesOtherNumbersOn)
{
    tamu::Host host(Headless());
    ASSERT_TRUE(host.Start());
    ASSERT_EQ(0, WriteHostCommand(PluginIds::Self, L"/ShowWindow=show"));
    host.OnBroadcast(HostMessages::RunMailboxCommand, 0, 0);
    ASSERT_EQ(1u, host.Mailbox().size());
    EXPECT_EQ(PluginIds::Self, host.Mailbox()[0].pluginId);
    EXPECT_EQ(L"/ShowWindow=show", host.Mailbox()[0].parameters);

    ASSERT_EQ(0, WriteHostCommand(PluginIds::DeviceManagement, L"type=2|sn=ABC|opeator=disconnect"));
    host.OnBroadcast(HostMessages::RunDisconnectCommand, 0, 0);
    ASSERT_EQ(2u, host.Mailbox().size());
    EXPECT_EQ(HostMessages::RunDisconnectCommand, host.Mailbox()[1].message);
    EXPECT_EQ(L"type=2|sn=ABC|opeator=disconnect", host.Mailbox()[1].parameters);

    host.OnBroadcast(HostMessages::DeviceSetChanged, 0, 0);
    EXPECT_EQ(2u, host.Mailbox().size());
}

