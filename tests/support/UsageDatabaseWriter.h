// Writes a usage database the way the device-management plug-in keeps it
// (tables devices and deviceinfo), through SQLite itself, so the reader and the
// expiry logic are tested against a real file in the place they look.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// One remembered key: its devices row and one deviceinfo row.
struct UsageRow {
    int deviceId = 0;
    std::string serial;    // devicesn
    std::string signCert;  // as the sibling plug-in stores it (PEM text)
    std::string encCert;
    std::string lastTime;  // "YYYY-MM-DD HH:MM:SS"; the reader orders by it, newest first
    int usageCount = 1;
};

// <userAppData>\ZENTO\tamu\Plugin\CertApp\QuendaPlugin\usingRecorder.db
std::wstring UsageDatabasePath(const std::wstring& userAppData);

// Replaces the file at path (its folders made when missing) with the two
// tables holding rows. On failure the text says what SQLite refused.
bool WriteUsageDatabase(const std::wstring& path, const std::vector<UsageRow>& rows, std::string& error);

}  // namespace testsupport
