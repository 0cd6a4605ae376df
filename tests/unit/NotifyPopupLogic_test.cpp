// The pop-ups' logic without windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "SettingsFolders.h"
#include "TestSupport.h"
#include "UI/ForbidNotifyMarkers.h"
#include "UI/NoDeviceNotifySchedule.h"
#include "UI/UINotifyNoDeviceCertEventWnd.h"
#include "Utils/UserSettings.h"

using pkitest::Cert;
using pkitest::CertFile;
using pkitest::LoadCert;

class ForbidMarkerTest : public pkitest::PkiTest {
protected:
    void SetUp() override
    {
        pkitest::PkiTest::SetUp();
        ASSERT_TRUE(sandbox.ok());
    }
    testsupport::SettingsSandbox sandbox;
};

TEST_F(ForbidMarkerTest, MarkerIsNamedByThumbprintHoldsThePemAndIsFoundByName)
{
    Cert marked(LoadCert(CertFile(L"sign_10d")));
    ASSERT_NE(0u, marked.get());
    EXPECT_FALSE(HasForbidNotifyMarker(marked.get()));

    ASSERT_TRUE(WriteForbidNotifyMarker(marked.get()));
    ASSERT_TRUE(WriteForbidNotifyMarker(marked.get())) << "an existing marker is overwritten";
    const std::string hex = Cert_Util::GetCertSha1Hex(marked.get());
    const std::wstring path = GetForbidNotifyFolder() + testsupport::FromUtf8(hex);
    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
    EXPECT_EQ(0u, bytes.find("-----BEGIN CERTIFICATE-----"));
    Cert reread(ZentoPKICertNewCert(reinterpret_cast<const unsigned char*>(bytes.data()),
                                    static_cast<unsigned long>(bytes.size())));
    EXPECT_EQ(hex, Cert_Util::GetCertSha1Hex(reread.get()));

    EXPECT_TRUE(HasForbidNotifyMarker(marked.get()));
    EXPECT_TRUE(IsForbidNotifyMarked(testsupport::FromUtf8(hex)));
    EXPECT_FALSE(IsForbidNotifyMarked(L""));
    EXPECT_FALSE(HasForbidNotifyMarker(0));
    EXPECT_FALSE(WriteForbidNotifyMarker(0));
}

// "Remind me later" through the pop-up object (no window is needed).
class PostponeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.ok());
        UserSettings::Instance().ResetForTesting();
    }
    void TearDown() override { UserSettings::Instance().ResetForTesting(); }

    static std::unique_ptr<CachedDeviceRecord> Record(int remainDays)
    {
        auto r = std::make_unique<CachedDeviceRecord>();
        r->m_remainDays_ = remainDays;
        return r;
    }
    // Seconds from now to the stored NextNotifyDate (local time).
    static long long StoredOffsetSeconds(const SYSTEMTIME& before)
    {
        const std::wstring text = UserSettings::Instance().GetNextNotifyDate();
        SYSTEMTIME next = {};
        if (swscanf(text.c_str(), L"%hu-%hu-%hu %hu:%hu:%hu", &next.wYear, &next.wMonth, &next.wDay,
                    &next.wHour, &next.wMinute, &next.wSecond) != 6)
            return -1;
        FILETIME a, b;
        SystemTimeToFileTime(&before, &a);
        SystemTimeToFileTime(&next, &b);
        auto ticks = [](const FILETIME& f) {
            return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                          f.dwLowDateTime);
        };
        return (ticks(b) - ticks(a)) / 10000000LL;
    }
    testsupport::SettingsSandbox sandbox;
};

TEST_F(PostponeTest, DelayTableAtEveryBoundary)
{
    const struct {
        int smallest;
        int days;
    } table[] = {{60, 7}, {59, 4}, {30, 4}, {29, 2}, {15, 2}, {14, 1}, {10, 1}, {9, 0}, {0, 0}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.smallest);
        EXPECT_EQ(row.days, NoDeviceNotifyPostponeDays(row.smallest));
        ASSERT_TRUE(UserSettings::Instance().SetNextNotifyDate(L"unchanged"));
        CachedDeviceRecordList records;
        records.push_back(Record(row.smallest + 40));
        records.push_back(nullptr);
        records.push_back(Record(row.smallest));
        CUINotifyNoDeviceCertEventWnd popup;
        popup.SetNoDeviceNotifyList(&records);
        SYSTEMTIME before;
        GetLocalTime(&before);
        before.wMilliseconds = 0;
        popup.PostponeNoDeviceNotify();
        if (row.days == 0) {
            EXPECT_EQ(L"unchanged", UserSettings::Instance().GetNextNotifyDate());
            continue;
        }
        const long long expected = row.days * 86400LL - 7200;
        const long long got = StoredOffsetSeconds(before);
        EXPECT_GE(got, expected);
        EXPECT_LE(got, expected + 5);
    }
}

