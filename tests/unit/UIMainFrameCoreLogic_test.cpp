// The main frame's expiry decisions without a window. Runs in UTC and in UTC+8; remaining-day
// expectations come from the certificate arithmetic of the machine's zone, never from a fixed number.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ZentoPKITestSupport.h"
#include "Cert/Cert_Util.h"
#include "Cert/DeviceRecord.h"
#include "SQlite/sqlite3Module.h"
#include "LoggingSandbox.h"
#include "UI/UIMainFrameCoreLogic.h"
#include "UsageDatabaseWriter.h"
#include "ZentoPKIHost.h"
#include "Utils/UserSettings.h"

using namespace pkitest;
using testsupport::UsageRow;

namespace {

std::string Pem(const std::wstring& name)
{
    std::string text;
    EXPECT_TRUE(testsupport::ReadFileBytes(CertsDir() + L"\\" + name + L".pem", text)) << "missing " << name.c_str();
    return text;
}

std::unique_ptr<CachedDeviceRecord> Cached(const std::string& sign, const std::string& enc = std::string())
{
    auto record = std::make_unique<CachedDeviceRecord>();
    record->m_signCert_ = sign;
    record->m_encCert_ = enc;
    return record;
}

std::vector<int> HandledFlags(const CachedDeviceRecordList& records)
{
    std::vector<int> flags;
    for (const auto& r : records) flags.push_back(r ? r->m_handled_ : -1);
    return flags;
}

// "YYYY-MM-DD HH:MM:SS" of the local time moved by minutes, as the snooze is stored.
std::wstring LocalTimeFromNow(int minutes)
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart = static_cast<ULONGLONG>(static_cast<long long>(t.QuadPart) + minutes * 60LL * 10000000LL);
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&ft, &local);
    FileTimeToSystemTime(&local, &st);
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
             st.wSecond);
    return text;
}

class ExpiryLogic_ : public PkiTest {
protected:
    void SetUp() override
    {
        PkiTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(sandbox.Start());
        UsageDatabase::Instance().RebuildPathForTesting();
    }
    void TearDown() override
    {
        reminders.clear();
        DeviceRecordList::Instance().Clear();
        PkiTest::TearDown();
    }

    void WriteDatabase(const std::vector<UsageRow>& rows)
    {
        std::string error;
        ASSERT_TRUE(testsupport::WriteUsageDatabase(testsupport::UsageDatabasePath(sandbox.UserAppData()), rows,
                                                    error))
            << error;
    }
    // A remembered key; the later rows have older last uses, so database
    // order (newest first) is the order given here.
    UsageRow Row(int id, const std::string& sign, const std::string& enc = std::string())
    {
        char last[32];
        std::snprintf(last, sizeof(last), "2026-11-%02d 10:00:00", 28 - id);
        return UsageRow{id, "SN-" + std::to_string(id), sign, enc, last, id * 3};
    }
    void Set(const wchar_t* section, const wchar_t* key, const std::wstring& value)
    {
        ASSERT_TRUE(UserSettings::Instance().SetValue(section, key, value));
    }
    bool Logged(int level, const std::string& text)
    {
        for (const auto& line : sandbox.Lines())
            if (line.level == level && line.text.find(text) != std::string::npos) return true;
        return false;
    }
    std::vector<int> RemindedIds()
    {
        std::vector<int> ids;
        for (const auto& r : reminders) ids.push_back(r->m_deviceId_);
        return ids;
    }

    testsupport::LoggingSandbox sandbox;
    CachedDeviceRecordList reminders;
};

}  // namespace

TEST_F(ExpiryLogic_, DuplicateHoldersKeepTheLaterEnd)
{
    CachedDeviceRecordList records;
    records.push_back(Cached(Pem(L"sign_10d")));                   // 张三, 10 days
    records.push_back(Cached(Pem(L"enc_10d")));                    // Li Si, 10 days
    records.push_back(Cached("not a certificate", Pem(L"sign_1y")));  // 张三 through the encryption text
    records.push_back(nullptr);
    records.push_back(Cached(std::string(), std::string()));
    records.push_back(Cached(Pem(L"sign_12h")));                   // Li Si, hours
    records.push_back(Cached(Pem(L"sign_20d_zhao")));              // 赵六
    records.push_back(Cached(Pem(L"sign_25d_zhao_blanks")));       // "  赵六 ", the same holder
    ExpiryLogic::SuppressDuplicateCachedCerts(records);
    EXPECT_EQ((std::vector<int>{1, 0, 0, -1, 0, 1, 1, 0}), HandledFlags(records));

    // The later end wins also when it comes first.
    CachedDeviceRecordList reversed;
    reversed.push_back(Cached(Pem(L"sign_1y")));
    reversed.push_back(Cached(Pem(L"sign_10d")));
    ExpiryLogic::SuppressDuplicateCachedCerts(reversed);
    EXPECT_EQ((std::vector<int>{0, 1}), HandledFlags(reversed));
}

TEST_F(ExpiryLogic_, EqualEndsGoToTheLaterRecord)
{
    // A signing and an encryption certificate issued together end at the same second.
    CachedDeviceRecordList records;
    records.push_back(Cached(Pem(L"sign_1y")));
    records.push_back(Cached(Pem(L"enc_1y")));
    records.push_back(Cached(Pem(L"sign_1y")));
    ExpiryLogic::SuppressDuplicateCachedCerts(records);
    EXPECT_EQ((std::vector<int>{1, 1, 0}), HandledFlags(records));

    // An end that cannot be read never wins (the comparison itself decides the groupings above).
    Cert a(LoadCert(CertFile(L"sign_1y")));
    EXPECT_FALSE(ExpiryLogic::IsLaterOrSameValidityEnd(0, a.get()));
    EXPECT_FALSE(ExpiryLogic::IsLaterOrSameValidityEnd(a.get(), 0));
}

TEST_F(ExpiryLogic_, RemembersExpiringCertificatesOfTheDatabase)
{
    Set(L"NotifyWndSetting", L"NotifyCertDay", L"30");
    // Row 1 is expired by its signing text (the encryption text is only the
    // fallback for a signing text that does not convert); row 3 is the same
    // holder as row 5, which ends later; row 4 ends beyond the window.
    WriteDatabase({Row(1, Pem(L"sign_expired"), Pem(L"enc_1y")), Row(2, std::string(), Pem(L"sign_10d")),
                   Row(3, Pem(L"sign_20d_zhao")), Row(4, Pem(L"signall_1y")), Row(5, Pem(L"sign_25d_zhao_blanks"))});
    ASSERT_TRUE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    ASSERT_EQ((std::vector<int>{2, 5}), RemindedIds());
    EXPECT_EQ(RemainDays(L"sign_10d"), reminders[0]->m_remainDays_);
    EXPECT_EQ(RemainDays(L"sign_25d_zhao_blanks"), reminders[1]->m_remainDays_);
    // A copy of every field.
    EXPECT_EQ(Pem(L"sign_10d"), reminders[0]->m_encCert_);
    EXPECT_EQ("2026-11-23 10:00:00", reminders[1]->m_lastTime_);
    EXPECT_EQ(15, reminders[1]->m_usageCount_);
    EXPECT_EQ(0, reminders[1]->m_handled_);
    EXPECT_TRUE(Logged(4, "[..\\Source\\UI\\UIMainFrameCoreLogic,"));
    EXPECT_TRUE(Logged(4, "] ProcessSQLiteCacheNotifyCertEvent BeginGetCerts Cert_Util::IsCertExpired,index= 0"));

    // The lead time is inclusive.
    Set(L"NotifyWndSetting", L"NotifyCertDay", std::to_wstring(RemainDays(L"sign_25d_zhao_blanks") - 1));
    reminders.clear();
    ASSERT_TRUE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    EXPECT_EQ((std::vector<int>{2}), RemindedIds());
}

TEST_F(ExpiryLogic_, MarkerFileStopsTheReminder)
{
    WriteDatabase({Row(1, Pem(L"sign_20d_zhao")), Row(2, Pem(L"sign_12h"))});
    Cert zhao(LoadCert(CertFile(L"sign_20d_zhao")));
    Cert li(LoadCert(CertFile(L"sign_12h")));
    const std::wstring folder = sandbox.UserProductFolder() + L"\\NoDeviceForbidNotifyCert\\";
    ASSERT_TRUE(testsupport::MakeFolders(folder));
    const std::string zhaoName = Cert_Util::GetCertSha1Hex(zhao.get());
    const std::string liName = Cert_Util::GetCertSha1Hex(li.get());
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + testsupport::FromUtf8(zhaoName), "marker"));
    // A folder of that name is not a marker.
    ASSERT_TRUE(testsupport::MakeFolders(folder + testsupport::FromUtf8(liName)));
    ASSERT_TRUE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    EXPECT_EQ((std::vector<int>{2}), RemindedIds());
}

TEST_F(ExpiryLogic_, ChangedKeyCountEndsTheSnooze)
{
    Set(L"UserSetting", L"LastCheckDeviceCount", L"2");
    Set(L"UserSetting", L"NextNotifyDate", L"2099-01-01 00:00:00");
    WriteDatabase({Row(1, Pem(L"sign_20d_zhao")), Row(2, Pem(L"sign_1y"))});
    ASSERT_TRUE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    EXPECT_EQ(L"2099-01-01 00:00:00", UserSettings::Instance().GetNextNotifyDate());
    EXPECT_FALSE(ExpiryLogic::ShouldRequestNoDeviceCertPopup(reminders));

    WriteDatabase({Row(1, Pem(L"sign_20d_zhao")), Row(2, Pem(L"sign_1y")), Row(3, Pem(L"enc_10d"))});
    reminders.clear();
    ASSERT_TRUE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    EXPECT_EQ(L"", UserSettings::Instance().GetNextNotifyDate());
    EXPECT_EQ(3, UserSettings::Instance().GetLastCheckDeviceCount());
    EXPECT_TRUE(ExpiryLogic::ShouldRequestNoDeviceCertPopup(reminders));
    // Both went to the user's file, not only to the table.
    std::string ini;
    ASSERT_TRUE(testsupport::ReadFileBytes(sandbox.UserIniPath(), ini));
    EXPECT_NE(std::string::npos, ini.find("LastCheckDeviceCount=3"));
    EXPECT_EQ(std::string::npos, ini.find("2099"));
}

TEST_F(ExpiryLogic_, UnreadableDatabaseEndsThePass)
{
    Set(L"UserSetting", L"LastCheckDeviceCount", L"4");
    reminders.push_back(Cached("kept"));
    EXPECT_FALSE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));  // no file at all
    const std::wstring path = testsupport::UsageDatabasePath(sandbox.UserAppData());
    ASSERT_TRUE(testsupport::MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "not sqlite"));
    EXPECT_FALSE(ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(reminders));
    EXPECT_EQ(1u, reminders.size());
    EXPECT_EQ(4, UserSettings::Instance().GetLastCheckDeviceCount());
    EXPECT_TRUE(Logged(4, "] ProcessSQLiteCacheNotifyCertEvent Enter"));
}

TEST_F(ExpiryLogic_, SnoozeHoldsForAnHourAfterItsDate)
{
    struct Case {
        std::wstring stored;
        bool allowed;
    } cases[] = {{L"", true},
                 {LocalTimeFromNow(-30), false},
                 {LocalTimeFromNow(-120), true},
                 {LocalTimeFromNow(3 * 24 * 60), false},
                 {L"after the holidays", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testsupport::ToUtf8(c.stored));
        Set(L"UserSetting", L"NextNotifyDate", c.stored);
        EXPECT_EQ(c.allowed, ExpiryLogic::IsValidNotfiyWindowUpdateTime());
    }
    EXPECT_TRUE(Logged(1, "[..\\Source\\UI\\UIMainFrame,"));
    EXPECT_TRUE(Logged(1, "] IsValidNotfiyWindowUpdateTime Enter!"));
    EXPECT_TRUE(Logged(1, "] No Need Notify Enter!"));

    // Nothing to show: no pop-up, snooze or not.
    Set(L"UserSetting", L"NextNotifyDate", L"");
    EXPECT_FALSE(ExpiryLogic::ShouldRequestNoDeviceCertPopup(reminders));
}

TEST_F(ExpiryLogic_, OneRememberedKeyThatIsInsertedShowsNothing)
{
    auto& devices = DeviceRecordList::Instance();
    ASSERT_EQ(1, devices.AddDevice(ZentoPKIHostOpenDevice((TokensDir() + L"\\zhangsan").c_str())));  // ZT2026000A
    auto list = [](std::initializer_list<int> ids) {
        CachedDeviceRecordList records;
        for (int id : ids) {
            records.push_back(Cached(std::string()));
            records.back()->m_deviceId_ = id;
        }
        return records;
    };
    EXPECT_FALSE(ExpiryLogic::IsOnlyRememberedKeyPresent(list({1}), devices));  // no database yet

    UsageRow present = Row(1, std::string());
    present.serial = "zt2026000a";  // the serial's letter case does not matter
    UsageRow absent = Row(2, std::string());
    absent.serial = "ZT2026000X";
    WriteDatabase({present, absent});
    EXPECT_TRUE(ExpiryLogic::IsOnlyRememberedKeyPresent(list({1}), devices));
    EXPECT_FALSE(ExpiryLogic::IsOnlyRememberedKeyPresent(list({2}), devices));
    EXPECT_FALSE(ExpiryLogic::IsOnlyRememberedKeyPresent(list({9}), devices));  // no such device row
    // Two remembered keys show the reminder even when both are inserted.
    EXPECT_FALSE(ExpiryLogic::IsOnlyRememberedKeyPresent(list({1, 1}), devices));
}
