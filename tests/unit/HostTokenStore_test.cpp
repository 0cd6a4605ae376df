// The host's device service over a token store, as the plug-in meets it:
// device lists and fresh handles through the host interfaces, and 1834 for
// registered windows when a token comes or goes (also by a disconnect
// command in the mailbox).
#include <gtest/gtest.h>

#include "ZentoPKITestSupport.h"
#include "HostTokenStore.h"
#include "Plugin/HostCommandMailbox.h"

using namespace pkitest;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

// Counts the 1834 messages that reach it (WaitFor dispatches everything, so
// peeking for the message afterwards would miss it).
int g_deviceSetChanged = 0;
LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == HostMessages::DeviceSetChanged) ++g_deviceSetChanged;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateListener()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HostTokenStoreListener";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

class HostTokenStoreTest : public PkiTest {
protected:
    void SetUp() override
    {
        PkiTest::SetUp();
        m_store_ = m_dir_.Path() + L"\\store";
        ASSERT_TRUE(MakeTokenStore(m_store_, {L"zhangsan", L"lisi"}));
        m_listener_ = CreateListener();
        g_deviceSetChanged = 0;
        ASSERT_TRUE(m_host_.Start());
        ASSERT_EQ(0, m_host_.OnRegister(m_listener_, HostMessages::DeviceSetChanged));
    }
    void TearDown() override
    {
        DestroyWindow(m_listener_);
        PkiTest::TearDown();
    }
    bool DeviceSetChangedArrives()
    {
        const bool arrived = WaitFor([] { return g_deviceSetChanged > 0; }, 10000);
        g_deviceSetChanged = 0;
        return arrived;
    }
    static tamu::HostOptions Headless()
    {
        tamu::HostOptions options;
        options.createWindow = false;
        options.languageId = 2052;
        return options;
    }

    TempDir m_dir_{L"host_tokens"};
    std::wstring m_store_;
    tamu::Host m_host_{Headless()};
    HWND m_listener_ = nullptr;
};

}  // namespace

TEST_F(HostTokenStoreTest, PluginGetsFreshHandlesThroughTheDeviceService)
{
    tamu::TokenStoreDevices store(m_host_, m_store_);
    IPluginObject* object = nullptr;
    ASSERT_EQ(0, m_host_.QueryPluginObject(HostGuids::DeviceService, &object));
    IHostDeviceList* list = static_cast<IDeviceService*>(object)->GetDeviceList();
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(2, list->GetDeviceCount());
    Device a(list->GetDevice(0)), b(list->GetDevice(0));
    EXPECT_NE(0UL, a.get());
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(0UL, list->GetDevice(2));
    EXPECT_EQ(0UL, list->GetDevice(-1));
    list->Release();
    EXPECT_EQ(0, m_host_.LiveDeviceLists());
    EXPECT_EQ((std::vector<std::wstring>{L"zt2026000b", L"ZT2026000A"}), store.Serials());
}

TEST_F(HostTokenStoreTest, DisconnectCommandRemovesTheTokenAndTellsRegisteredWindows)
{
    tamu::TokenStoreDevices store(m_host_, m_store_);
    // Serial numbers are matched ignoring case, as the plug-in may show them.
    ASSERT_EQ(0, WriteHostCommand(PluginIds::DeviceManagement, L"type=2|sn=zt2026000a|opeator=disconnect"));
    m_host_.OnBroadcast(HostMessages::RunDisconnectCommand, 0, 0);
    EXPECT_EQ(1, store.Count());
    EXPECT_TRUE(DeviceSetChangedArrives());
    EXPECT_EQ(std::vector<std::wstring>{L"zt2026000b"}, store.Serials());

    // A disconnect for a token that is not there changes nothing.
    ASSERT_EQ(0, WriteHostCommand(PluginIds::DeviceManagement, L"type=2|sn=NOPE|opeator=disconnect"));
    m_host_.OnBroadcast(HostMessages::RunDisconnectCommand, 0, 0);
    EXPECT_EQ(1, store.Count());
}

