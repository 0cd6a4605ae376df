// The substitute host's token store.
#include <gtest/gtest.h>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "HostDeviceService.h"

using namespace pkitest;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

class HostDevices : public PkiTest {
protected:
    void SetUp() override
    {
        PkiTest::SetUp();
        m_store_ = m_dir_.Path() + L"\\store";
        ASSERT_TRUE(MakeTokenStore(m_store_, {L"zhangsan", L"lisi", L"not-a-token"}));
    }
    std::wstring SerialAt(HostDeviceService& service, long index)
    {
        Device device(service.OpenDevice(index));
        return Cert_Util::GetDeviceSerialNumber(device.get());
    }
    TempDir m_dir_{L"host_store_设备"};
    std::wstring m_store_;
};

}  // namespace

TEST_F(HostDevices, EnumeratesTokensByFolderName)
{
    HostDeviceService service(m_store_ + L"\\");
    EXPECT_EQ(2, service.Count());                   // the folder without token.ini is no token
    EXPECT_EQ(L"zt2026000b", SerialAt(service, 0));  // lisi
    EXPECT_EQ(L"ZT2026000A", SerialAt(service, 1));  // zhangsan
    EXPECT_EQ(0UL, service.OpenDevice(2));
    EXPECT_EQ(0UL, service.OpenDevice(-1));
    HostDeviceService missing(m_dir_.Path() + L"\\nothing-here");
    EXPECT_EQ(0, missing.Count());
    EXPECT_EQ(0UL, missing.OpenDevice(0));
}

TEST_F(HostDevices, InsertAndRemoveAreReportedOnTheCallersThread)
{
    HostDeviceService service(m_store_);
    int calls = 0;
    DWORD thread = 0;
    service.SetChangeCallback([&] {
        ++calls;
        thread = GetCurrentThreadId();
    });
    ASSERT_TRUE(service.InsertToken(TokensDir() + L"\\empty"));
    EXPECT_EQ(3, service.Count()) << "the token is there as soon as the call returns";
    ASSERT_TRUE(WaitFor([&] { return calls >= 1; }));
    EXPECT_EQ(GetCurrentThreadId(), thread);
    EXPECT_TRUE(testsupport::FileExists(m_store_ + L"\\empty\\token.ini"));

    // Not a token, or a name already in the store: refused.
    EXPECT_FALSE(service.InsertToken(TokensDir() + L"\\not-a-token"));
    EXPECT_FALSE(service.InsertToken(TokensDir() + L"\\empty"));
    EXPECT_FALSE(service.InsertToken(TokensDir() + L"\\no-such-token"));

    // Removal by serial number, letter case ignored.
    ASSERT_TRUE(service.RemoveToken(L"zt2026000a"));
    EXPECT_EQ(2, service.Count());
    EXPECT_FALSE(testsupport::FileExists(m_store_ + L"\\zhangsan"));
    ASSERT_TRUE(WaitFor([&] { return calls >= 2; }));
    EXPECT_FALSE(service.RemoveToken(L"ZT2026000A"));
    EXPECT_FALSE(service.RemoveToken(L""));
}

