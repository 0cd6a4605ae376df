// Reader of the usage database that the host's device-management plug-in keeps
// ("usingRecorder.db"): which keys it has seen, with their certificates, last
// use and use count. We only ever read it, one short connection per query.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/ScopedWin.h"

// One row of the deviceinfo table, plus two fields the expiry logic fills in
// on the copies it keeps. The default copy is the field-by-field copy the
// absent-key reminder relies on.
struct CachedDeviceRecord {
    int32_t m_deviceId_ = -1;
    std::string m_signCert_;  // as stored by the sibling plug-in
    std::string m_encCert_;   // as stored by the sibling plug-in
    std::string m_lastTime_;  // as stored; only used for ordering
    int32_t m_usageCount_ = 0;
    int32_t m_remainDays_ = 0;
    uint8_t m_handled_ = 0;
};

// Records handed to the caller, who owns them.
using CachedDeviceRecordList = std::vector<std::unique_ptr<CachedDeviceRecord>>;

// A result table of sqlite3_get_table: column names first, then the rows,
// every cell UTF-8 text or null. Owns the table and frees it with
// sqlite3_free_table. An empty (invalid) table stands for a failed query.
struct SqliteTableTraits {
    using type = char**;
    static type None() noexcept { return nullptr; }
    static void Free(type table) noexcept;  // sqlite3_free_table
};

class UsageQueryTable {
public:
    UsageQueryTable() = default;
    UsageQueryTable(char** table, int32_t rows, int32_t columns) noexcept;
    UsageQueryTable(UsageQueryTable&& other) noexcept;
    UsageQueryTable& operator=(UsageQueryTable&& other) noexcept;
    UsageQueryTable(const UsageQueryTable&) = delete;
    UsageQueryTable& operator=(const UsageQueryTable&) = delete;

    bool IsValid() const noexcept { return static_cast<bool>(m_table_); }
    int32_t Rows() const noexcept { return m_rows_; }
    int32_t Columns() const noexcept { return m_columns_; }
    // Null when out of range or when SQLite gave no text.
    const char* ColumnName(int32_t column) const noexcept;
    const char* Cell(int32_t row, int32_t column) const noexcept;

private:
    DuiLib::UniqueResource<SqliteTableTraits> m_table_;
    int32_t m_rows_ = 0;
    int32_t m_columns_ = 0;
};

class UsageDatabase {
public:
    // The one reader of the process; its path is built on the first call.
    static UsageDatabase& Instance();

    // Opens the database, runs one statement, closes it again. Invalid table on
    // failure; LastError() then holds SQLite's text.
    [[nodiscard]] UsageQueryTable Query(const std::string& sql);

    // 0 when the query ran (serial left as it was if no row or no devicesn),
    // 1 when it failed.
    [[nodiscard]] int QueryDeviceById(int32_t deviceId, std::string& serialNumber);
    // The ten most recently used keys, newest first, appended to records.
    // 0 when the query ran, 1 when it failed.
    [[nodiscard]] int QueryRecentDevices(CachedDeviceRecordList& records);

    // UTF-8 path handed to SQLite.
    std::string DatabasePath() const;
    std::string LastError() const;

    // Where the database is, from the user's application-data folder as it is now.
    static std::wstring BuildDatabasePath();

    // The path is fixed when the reader is made; tests that point the user's
    // application-data folder elsewhere call this to pick the new folder up.
    void RebuildPathForTesting();

    ~UsageDatabase();
    UsageDatabase(const UsageDatabase&) = delete;
    UsageDatabase& operator=(const UsageDatabase&) = delete;

private:
    UsageDatabase();

    mutable CRITICAL_SECTION m_lock_;
    std::string m_path_;
    std::string m_lastError_;
    // The path whose failed open was logged last: a database that is there
    // but cannot be read (a folder of that name, a damaged file) is logged
    // once, not at every pass.
    std::string m_reportedOpenFailure_;
};
