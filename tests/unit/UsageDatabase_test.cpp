// The usage-database reader against real databases written by the sqlite3 command line.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <sqlite3.h>

#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "LoggingSandbox.h"
#include "SQlite/sqlite3Module.h"
#include "UsageDatabaseWriter.h"

namespace {

const char kRecentSql[] = "SELECT * from deviceinfo order by datetime(lasttime) desc limit 10";

// Watches every connection SQLite opens in this process while it lives (the
// statements run, read-only or not, how many are open) as an automatic
// extension, so the reader's own connections are seen without a hook in it.
class SqliteObserver {
public:
    SqliteObserver()
    {
        s_current = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(&SqliteObserver::OnOpen));
    }
    ~SqliteObserver()
    {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)(void)>(&SqliteObserver::OnOpen));
        s_current = nullptr;
    }
    SqliteObserver(const SqliteObserver&) = delete;
    SqliteObserver& operator=(const SqliteObserver&) = delete;

    std::vector<std::string> Statements()
    {
        std::lock_guard<std::mutex> guard(m_lock_);
        return m_statements_;
    }
    int Opened() const { return m_opened_; }
    int OpenNow() const { return m_openNow_; }
    int WritableOpens() const { return m_writable_; }

private:
    static int OnOpen(sqlite3* db, char**, const sqlite3_api_routines*)
    {
        SqliteObserver* self = s_current;
        if (!self) return SQLITE_OK;
        ++self->m_opened_;
        ++self->m_openNow_;
        if (sqlite3_db_readonly(db, "main") != 1) ++self->m_writable_;
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_CLOSE, &SqliteObserver::OnTrace, self);
        return SQLITE_OK;
    }

    static int OnTrace(unsigned type, void* context, void*, void* detail)
    {
        auto* self = static_cast<SqliteObserver*>(context);
        if (type == SQLITE_TRACE_STMT) {
            std::lock_guard<std::mutex> guard(self->m_lock_);
            self->m_statements_.push_back(static_cast<const char*>(detail));
        } else if (type == SQLITE_TRACE_CLOSE) {
            --self->m_openNow_;
        }
        return 0;
    }

    static SqliteObserver* s_current;
    std::mutex m_lock_;
    std::vector<std::string> m_statements_;
    std::atomic<int> m_opened_{0};
    std::atomic<int> m_openNow_{0};
    std::atomic<int> m_writable_{0};
};
SqliteObserver* SqliteObserver::s_current = nullptr;

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

// The log is switched on only where a test starts it.
class UsageDatabaseTest : public ::testing::Test {
protected:
    UsageDatabaseTest() { UsageDatabase::Instance().RebuildPathForTesting(); }
    ~UsageDatabaseTest() override
    {
        m_sandbox_.reset();
        UsageDatabase::Instance().RebuildPathForTesting();
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox_->ok());
        ASSERT_FALSE(testsupport::FixturesDir().empty()) << "run through ctest (LUMORA_BUILD_DIR)";
    }

    std::wstring DatabaseFile() const { return testsupport::UsageDatabasePath(m_sandbox_->UserAppData()); }

    // Puts one of the generated databases where the reader looks.
    void Install(const wchar_t* fixture)
    {
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(testsupport::FixturesDir() + L"\\usagedb\\" + fixture, bytes))
            << "fixture missing: " << testsupport::ToUtf8(fixture);
        ASSERT_TRUE(testsupport::MakeFolders(FolderOf(DatabaseFile())));
        ASSERT_TRUE(testsupport::WriteFileBytes(DatabaseFile(), bytes));
    }

    UsageDatabase& Reader() { return UsageDatabase::Instance(); }

    std::unique_ptr<testsupport::LoggingSandbox> m_sandbox_ = std::make_unique<testsupport::LoggingSandbox>();
};

// --- the ten most recent keys ----------------------------------------------

TEST_F(UsageDatabaseTest, FifteenRowsGiveTheTenNewestNewestFirstAfterWhatTheListHeld)
{
    Install(L"recent15.db");
    SqliteObserver observer;
    CachedDeviceRecordList records;
    records.push_back(std::make_unique<CachedDeviceRecord>());
    records.back()->m_deviceId_ = 4242;
    ASSERT_EQ(0, Reader().QueryRecentDevices(records));
    // Exactly its query, on a read-only connection closed afterwards.
    EXPECT_EQ(std::vector<std::string>{kRecentSql}, observer.Statements());
    EXPECT_EQ(1, observer.Opened());
    EXPECT_EQ(0, observer.WritableOpens());
    EXPECT_EQ(0, observer.OpenNow()) << "the connection outlived the query";
    ASSERT_EQ(11u, records.size());
    EXPECT_EQ(4242, records[0]->m_deviceId_);
    // deviceid holds the rank by last use; ranks 1 and 2 are in the opposite
    // order as plain text, 10 and 11 one second apart.
    for (int rank = 1; rank <= 10; ++rank) {
        SCOPED_TRACE(rank);
        const auto& r = records[rank];
        ASSERT_NE(nullptr, r);
        EXPECT_EQ(rank, r->m_deviceId_);
        EXPECT_EQ("SIGN-" + std::to_string(rank), r->m_signCert_);
        EXPECT_EQ("ENC-" + std::to_string(rank), r->m_encCert_);
        EXPECT_EQ(3 * rank, r->m_usageCount_);
        EXPECT_EQ(0, r->m_remainDays_);
        EXPECT_EQ(0, r->m_handled_);
    }
    EXPECT_EQ("2026-11-30 09:00:00", records[1]->m_lastTime_);
    EXPECT_EQ("2026-11-30T07:00:00", records[2]->m_lastTime_);
    EXPECT_EQ("2026-11-29 00:00", records[3]->m_lastTime_);
    EXPECT_EQ("2026-09-01 10:00:01", records[10]->m_lastTime_);
}

TEST_F(UsageDatabaseTest, CellsAreReadLikeTheSiblingPluginWroteThem)
{
    Install(L"cells.db");
    CachedDeviceRecordList records;
    ASSERT_EQ(0, Reader().QueryRecentDevices(records));
    ASSERT_EQ(7u, records.size());

    // "12abc": leading digits; usagecount null keeps 0.
    EXPECT_EQ(12, records[0]->m_deviceId_);
    EXPECT_EQ(0, records[0]->m_usageCount_);
    EXPECT_EQ("S-A", records[0]->m_signCert_);

    // Empty deviceid keeps -1; empty and null certificates stay empty;
    // blanks and a sign before the digits are taken.
    EXPECT_EQ(-1, records[1]->m_deviceId_);
    EXPECT_EQ("", records[1]->m_signCert_);
    EXPECT_EQ("", records[1]->m_encCert_);
    EXPECT_EQ(-7, records[1]->m_usageCount_);

    // No digits at all reads 0; an explicit plus sign is accepted.
    EXPECT_EQ(0, records[2]->m_deviceId_);
    EXPECT_EQ(42, records[2]->m_usageCount_);

    // Too big for 32 bits: clamped, not wrapped.
    EXPECT_EQ(INT32_MAX, records[3]->m_deviceId_);
    EXPECT_EQ(INT32_MIN, records[3]->m_usageCount_);

    // Certificate texts come back byte for byte, line breaks and UTF-8 included.
    EXPECT_EQ(5, records[4]->m_deviceId_);
    EXPECT_EQ("-----BEGIN CERTIFICATE-----\nMIIB\r\n\xE8\xAF\x81\xE4\xB9\xA6", records[4]->m_signCert_);
    EXPECT_EQ(0, records[4]->m_usageCount_);

    // Stored as integers by the sibling plug-in.
    EXPECT_EQ(8, records[5]->m_deviceId_);
    EXPECT_EQ(17, records[5]->m_usageCount_);

    // A row of nulls is a record of initial values (but for its date).
    EXPECT_EQ(-1, records[6]->m_deviceId_);
    EXPECT_EQ("", records[6]->m_signCert_);
    EXPECT_EQ("", records[6]->m_encCert_);
    EXPECT_EQ("2026-11-30 04:00:00", records[6]->m_lastTime_);
    EXPECT_EQ(0, records[6]->m_usageCount_);
}

TEST_F(UsageDatabaseTest, NoRowsOrOtherlyCasedColumnsChangeNothing)
{
    // Column names are matched case-sensitively: such rows read as fresh records.
    for (const auto& c : {std::make_pair(L"casecols.db", 2u), std::make_pair(L"empty.db", 0u)}) {
        SCOPED_TRACE(testsupport::ToUtf8(c.first));
        Install(c.first);
        CachedDeviceRecordList records;
        ASSERT_EQ(0, Reader().QueryRecentDevices(records));
        ASSERT_EQ(c.second, records.size());
        for (const auto& record : records) {
            EXPECT_EQ(-1, record->m_deviceId_);
            EXPECT_EQ("", record->m_signCert_);
            EXPECT_EQ("", record->m_lastTime_);
            EXPECT_EQ(0, record->m_usageCount_);
        }
        std::string serial = "unchanged";
        EXPECT_EQ(0, Reader().QueryDeviceById(7, serial));
        EXPECT_EQ("unchanged", serial);
    }
}

// --- one key by id -----------------------------------------------------------

TEST_F(UsageDatabaseTest, DeviceByIdRunsExactlyItsTextFollowedByTheId)
{
    Install(L"recent15.db");
    SqliteObserver observer;
    std::string serial;
    ASSERT_EQ(0, Reader().QueryDeviceById(7, serial));
    EXPECT_EQ("SN-0007-\xE7\x94\xB2", serial);
    ASSERT_EQ(0, Reader().QueryDeviceById(-3, serial));
    EXPECT_EQ("SN-NEG", serial);
    ASSERT_EQ(0, Reader().QueryDeviceById(INT32_MAX, serial));
    EXPECT_EQ("SN-MAX", serial);
    const std::vector<std::string> expected = {"SELECT *  from devices   where id = 7",
                                               "SELECT *  from devices   where id = -3",
                                               "SELECT *  from devices   where id = 2147483647"};
    EXPECT_EQ(expected, observer.Statements());
    EXPECT_EQ(3, observer.Opened());
    EXPECT_EQ(0, observer.WritableOpens());
    EXPECT_EQ(0, observer.OpenNow());
    // No row and a null cell leave the serial alone; an empty text is taken.
    serial = "unchanged";
    EXPECT_EQ(0, Reader().QueryDeviceById(404, serial)) << "no row is not a failure";
    EXPECT_EQ(0, Reader().QueryDeviceById(8, serial)) << "null devicesn";
    EXPECT_EQ("unchanged", serial);
    EXPECT_EQ(0, Reader().QueryDeviceById(9, serial));
    EXPECT_EQ("", serial);
}

// --- failures ----------------------------------------------------------------

TEST_F(UsageDatabaseTest, MissingDevicesTableFailsWithOneLevelFourLineWithSqlCodeAndSQLitesText)
{
    ASSERT_NO_FATAL_FAILURE(m_sandbox_->Start());  // the real logger, switched on by the user's setting
    Install(L"nodevices.db");
    std::string serial = "unchanged";
    ASSERT_EQ(1, Reader().QueryDeviceById(7, serial));
    EXPECT_EQ("unchanged", serial);
    EXPECT_EQ("no such table: devices", Reader().LastError());
    ReleaseLogger();  // the library flushes and closes its file
    const std::vector<testsupport::LogLine> lines = m_sandbox_->Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(4, lines[0].level);
    // "[file,line] message": this module's own name and some line of it.
    const std::string prefix = "[..\\Source\\SQlite\\sqlite3Module,";
    ASSERT_EQ(0u, lines[0].text.find(prefix)) << lines[0].text;
    const size_t close = lines[0].text.find("] ", prefix.size());
    ASSERT_NE(std::string::npos, close);
    EXPECT_GT(atoi(lines[0].text.c_str() + prefix.size()), 0);
    EXPECT_EQ(
        "[sqlite3_query][result != SQLITE_OK Fail][sql=SELECT *  from devices   where id = 7][res=1]"
        "[errorMsg=no such table: devices]",
        lines[0].text.substr(close + 2));
    // The other table of the same file is still readable.
    CachedDeviceRecordList records;
    EXPECT_EQ(0, Reader().QueryRecentDevices(records));
    EXPECT_EQ(1u, records.size());
}

TEST_F(UsageDatabaseTest, FolderInPlaceOfTheFileIsLoggedOnceWithItsPathAndReason)
{
    ASSERT_NO_FATAL_FAILURE(m_sandbox_->Start());
    ASSERT_TRUE(testsupport::MakeFolders(DatabaseFile()));
    CachedDeviceRecordList records;
    EXPECT_EQ(1, Reader().QueryRecentDevices(records));
    EXPECT_EQ(1, Reader().QueryRecentDevices(records));  // the next pass adds no line
    ReleaseLogger();
    const std::vector<testsupport::LogLine> lines = m_sandbox_->Lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(4, lines[0].level);
    // The path as the log library writes it (its code page may differ) ends
    // in the database's own name.
    const std::string& text = lines[0].text;
    EXPECT_NE(std::string::npos, text.find("[sqlite3_open][")) << text;
    EXPECT_NE(std::string::npos, text.find("\\usingRecorder.db(0): " + Reader().LastError() + "]")) << text;
    EXPECT_TRUE(records.empty());
}

TEST_F(UsageDatabaseTest, MissingFileFailsAndIsNeverCreated)
{
    const std::wstring folder = FolderOf(DatabaseFile());
    CachedDeviceRecordList records;
    std::string serial = "unchanged";
    EXPECT_EQ(1, Reader().QueryRecentDevices(records));
    EXPECT_EQ(1, Reader().QueryDeviceById(7, serial));
    EXPECT_TRUE(records.empty());
    EXPECT_EQ("unchanged", serial);
    EXPECT_EQ("unable to open database file", Reader().LastError());
    EXPECT_FALSE(testsupport::FileExists(DatabaseFile()));
    EXPECT_FALSE(testsupport::FileExists(folder)) << "the reader made the sibling plug-in's folder";

    // Same when the folder is there and only the file is missing.
    ASSERT_EQ(ERROR_SUCCESS, SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr));
    EXPECT_EQ(1, Reader().QueryRecentDevices(records));
    EXPECT_FALSE(testsupport::FileExists(DatabaseFile()));
    EXPECT_TRUE(testsupport::ListFolder(folder).empty());
}

}  // namespace
