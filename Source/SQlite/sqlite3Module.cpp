// Usage-database reader: one process-wide object, one critical section, and a
// connection that lives only for the length of one SELECT, so the sibling
// plug-in that owns the file can write it at every other moment.
#include "SQlite/sqlite3Module.h"

#include <shlobj.h>
#include <sqlite3.h>

#include <climits>
#include <utility>

#include "DuiLib/ScopedWin.h"
#include "Utils/StringConvert.h"
#include "Utils/log.h"

namespace {

// The name this module has always logged under, kept so existing log readers
// still find our lines.
const char kLogSourceFile[] = "..\\Source\\SQlite\\sqlite3Module";
const char kFallbackError[] = "sqlite operator fail";

// The folder and file names belong to the sibling plug-in; their spelling and
// case are its, not ours.
const wchar_t kCompanyFolder[] = L"\\ZENTO\\";
const wchar_t kSiblingFolder[] = L"tamu\\Plugin\\CertApp\\QuendaPlugin\\";
const wchar_t kDatabaseFile[] = L"usingRecorder.db";

// The SQL texts go out character for character as they always have, blanks
// included, so failure lines in old and new logs can be compared directly.
const char kDeviceByIdSql[] = "SELECT *  from devices   where id = ";
const char kRecentDevicesSql[] = "SELECT * from deviceinfo order by datetime(lasttime) desc limit ";
const int kRecentDeviceCount = 10;

struct SqliteConnectionTraits {
    using type = sqlite3*;
    static type None() noexcept { return nullptr; }
    static void Free(type connection) noexcept { sqlite3_close(connection); }
};
// A connection lives for one query; the error texts of sqlite3_get_table are
// SQLite's to free.
using SqliteConnection = DuiLib::UniqueResource<SqliteConnectionTraits>;
struct SqliteTextTraits {
    using type = char*;
    static type None() noexcept { return nullptr; }
    static void Free(type text) noexcept { sqlite3_free(text); }
};
using SqliteText = DuiLib::UniqueResource<SqliteTextTraits>;

using DuiLib::CriticalSectionLock;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The sibling plug-in stores numbers as text and not always cleanly: read
// blanks, a sign and the leading digits the way the C library's atoi does, but
// clamp instead of overflowing. Text without digits reads as 0.
int32_t ReadLeadingInteger(const char* text)
{
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

// An empty cell leaves the field at its initial value.
void StoreInteger(const char* cell, int32_t& field)
{
    if (*cell != '\0') field = ReadLeadingInteger(cell);
}

void StoreText(const char* cell, std::string& field)
{
    if (*cell != '\0') field = cell;
}

void StoreDeviceInfoCell(const char* column, const char* cell, CachedDeviceRecord& record)
{
    const std::string name(column);
    if (name == "deviceid") {
        StoreInteger(cell, record.m_deviceId_);
    } else if (name == "signcert") {
        StoreText(cell, record.m_signCert_);
    } else if (name == "enccert") {
        StoreText(cell, record.m_encCert_);
    } else if (name == "lasttime") {
        StoreText(cell, record.m_lastTime_);
    } else if (name == "usagecount") {
        StoreInteger(cell, record.m_usageCount_);
    }
}

}  // namespace

void SqliteTableTraits::Free(char** table) noexcept
{
    sqlite3_free_table(table);
}

UsageQueryTable::UsageQueryTable(char** table, int32_t rows, int32_t columns) noexcept
    : m_table_(table), m_rows_(table ? rows : 0), m_columns_(table ? columns : 0)
{
}

UsageQueryTable::UsageQueryTable(UsageQueryTable&& other) noexcept
    : m_table_(std::move(other.m_table_)),
      m_rows_(std::exchange(other.m_rows_, 0)),
      m_columns_(std::exchange(other.m_columns_, 0))
{
}

UsageQueryTable& UsageQueryTable::operator=(UsageQueryTable&& other) noexcept
{
    if (this != &other) {
        m_table_ = std::move(other.m_table_);
        m_rows_ = std::exchange(other.m_rows_, 0);
        m_columns_ = std::exchange(other.m_columns_, 0);
    }
    return *this;
}

const char* UsageQueryTable::ColumnName(int32_t column) const noexcept
{
    if (!m_table_ || column < 0 || column >= m_columns_) return nullptr;
    return m_table_.get()[column];
}

const char* UsageQueryTable::Cell(int32_t row, int32_t column) const noexcept
{
    if (!m_table_ || row < 0 || row >= m_rows_ || column < 0 || column >= m_columns_) return nullptr;
    return m_table_.get()[(static_cast<size_t>(row) + 1) * static_cast<size_t>(m_columns_) +
                    static_cast<size_t>(column)];
}

UsageDatabase& UsageDatabase::Instance()
{
    static UsageDatabase instance;
    return instance;
}

UsageDatabase::UsageDatabase()
{
    InitializeCriticalSection(&m_lock_);
    m_path_ = WideToUtf8(BuildDatabasePath());
}

UsageDatabase::~UsageDatabase()
{
    DeleteCriticalSection(&m_lock_);
}

std::wstring UsageDatabase::BuildDatabasePath()
{
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring(folder) + kCompanyFolder + kSiblingFolder + kDatabaseFile;
    }
    // Without the folder the sibling plug-in's own relative layout is all we
    // have; the open then simply fails unless the working folder happens to
    // hold it.
    return std::wstring(kSiblingFolder) + kDatabaseFile;
}

void UsageDatabase::RebuildPathForTesting()
{
    std::string path = WideToUtf8(BuildDatabasePath());
    CriticalSectionLock lock(m_lock_);
    m_path_ = std::move(path);
    m_reportedOpenFailure_.clear();
}

std::string UsageDatabase::DatabasePath() const
{
    CriticalSectionLock lock(m_lock_);
    return m_path_;
}

std::string UsageDatabase::LastError() const
{
    CriticalSectionLock lock(m_lock_);
    return m_lastError_;
}

UsageQueryTable UsageDatabase::Query(const std::string& sql)
{
    CriticalSectionLock lock(m_lock_);

    // Read-only on purpose: the file is the sibling plug-in's, and a plain
    // open would create an empty database where none exists yet.
    SqliteConnection connection;
    int opened = sqlite3_open_v2(m_path_.c_str(), connection.put(), SQLITE_OPEN_READONLY, nullptr);
    if (opened != SQLITE_OK) {
        const char* message = connection ? sqlite3_errmsg(connection.get()) : nullptr;
        m_lastError_ = (message && *message) ? message : kFallbackError;
        // No database at all is the usual case (the sibling plug-in never
        // ran) and goes unlogged.
        const std::wstring path = Utf8ToWide(m_path_);
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
            m_reportedOpenFailure_ != m_path_) {
            m_reportedOpenFailure_ = m_path_;
            const std::wstring text = L"[sqlite3_open][" + path + L"(0): " + Utf8ToWide(m_lastError_) + L"]";
            LogWrite(4, WideToAnsi(text).c_str(), __LINE__, kLogSourceFile, 0);
        }
        return UsageQueryTable();
    }

    char** table = nullptr;
    int rows = 0;
    int columns = 0;
    SqliteText error;
    int result = sqlite3_get_table(connection.get(), sql.c_str(), &table, &rows, &columns, error.put());
    if (result == SQLITE_OK) return UsageQueryTable(table, rows, columns);

    m_lastError_ = (error && *error.get()) ? error.get() : kFallbackError;
    std::wstring message = L"[sqlite3_query][result != SQLITE_OK Fail][sql=" + Utf8ToWide(sql) +
                           L"][res=" + std::to_wstring(result) + L"][errorMsg=" +
                           Utf8ToWide(m_lastError_) + L"]";
    // The logger takes the system code page, like every other caller's text.
    LogWrite(4, WideToAnsi(message).c_str(), __LINE__, kLogSourceFile, 0);
    return UsageQueryTable();
}

int UsageDatabase::QueryDeviceById(int32_t deviceId, std::string& serialNumber)
{
    UsageQueryTable table = Query(kDeviceByIdSql + std::to_string(deviceId));
    if (!table.IsValid()) return 1;
    if (table.Rows() < 1) return 0;
    for (int32_t c = 0; c < table.Columns(); ++c) {
        const char* name = table.ColumnName(c);
        const char* cell = table.Cell(0, c);
        if (name && cell && std::string(name) == "devicesn") serialNumber = cell;
    }
    return 0;
}

int UsageDatabase::QueryRecentDevices(CachedDeviceRecordList& records)
{
    UsageQueryTable table = Query(kRecentDevicesSql + std::to_string(kRecentDeviceCount));
    if (!table.IsValid()) return 1;
    for (int32_t r = 0; r < table.Rows(); ++r) {
        auto record = std::make_unique<CachedDeviceRecord>();
        for (int32_t c = 0; c < table.Columns(); ++c) {
            const char* name = table.ColumnName(c);
            const char* cell = table.Cell(r, c);
            if (name && cell) StoreDeviceInfoCell(name, cell, *record);
        }
        records.push_back(std::move(record));
    }
    return 0;
}
