// Usage databases for tests, written with SQLite; see UsageDatabaseWriter.h.
#include "UsageDatabaseWriter.h"

#include <windows.h>

#include <sqlite3.h>

#include "SettingsFolders.h"
#include "TestSupport.h"

namespace testsupport {

namespace {

const char kSchema[] =
    "CREATE TABLE devices (id INTEGER PRIMARY KEY, devicesn TEXT);"
    "CREATE TABLE deviceinfo (id INTEGER PRIMARY KEY AUTOINCREMENT, deviceid TEXT, signcert TEXT,"
    " enccert TEXT, lasttime TEXT, usagecount TEXT);";

struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

bool Fail(sqlite3* db, const char* what, std::string& error)
{
    error = std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no connection");
    return false;
}

bool Insert(sqlite3* db, const char* sql, const std::vector<std::string>& values, std::string& error)
{
    Statement s;
    if (sqlite3_prepare_v2(db, sql, -1, &s.stmt, nullptr) != SQLITE_OK) return Fail(db, sql, error);
    for (size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(s.stmt, static_cast<int>(i + 1), values[i].c_str(), static_cast<int>(values[i].size()),
                          SQLITE_TRANSIENT);
    if (sqlite3_step(s.stmt) != SQLITE_DONE) return Fail(db, sql, error);
    return true;
}

}  // namespace

std::wstring UsageDatabasePath(const std::wstring& userAppData)
{
    return userAppData + L"\\ZENTO\\tamu\\Plugin\\CertApp\\QuendaPlugin\\usingRecorder.db";
}

bool WriteUsageDatabase(const std::wstring& path, const std::vector<UsageRow>& rows, std::string& error)
{
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    if (!MakeFolders(folder)) {
        error = "cannot make " + ToUtf8(folder);
        return false;
    }
    DeleteFileW(path.c_str());
    Connection c;
    if (sqlite3_open_v2(ToUtf8(path).c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return Fail(c.db, "open", error);
    if (sqlite3_exec(c.db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) return Fail(c.db, "schema", error);
    for (const UsageRow& row : rows) {
        const std::string id = std::to_string(row.deviceId);
        if (!Insert(c.db, "INSERT OR REPLACE INTO devices (id, devicesn) VALUES (?, ?)", {id, row.serial},
                    error) ||
            !Insert(c.db,
                    "INSERT INTO deviceinfo (deviceid, signcert, enccert, lasttime, usagecount)"
                    " VALUES (?, ?, ?, ?, ?)",
                    {id, row.signCert, row.encCert, row.lastTime, std::to_string(row.usageCount)}, error))
            return false;
    }
    return true;
}

}  // namespace testsupport
