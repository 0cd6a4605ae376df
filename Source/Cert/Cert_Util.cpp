// Certificate and device texts and the validity arithmetic; see Cert_Util.h.
// The time arithmetic keeps the product's long-standing rules on purpose:
// expiry adds 8 hours to the end read as local time, remaining hours count
// from "now minus 8 hours" (the product was written for the UTC+8 clock).
#include "Cert/Cert_Util.h"

#include <windows.h>

#include <cstdio>

#include "Cert/PkiOwners.h"
#include "Utils/Clock.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

namespace Cert_Util {

const char kUserServiceProgIdOid[] = "1.3.6.1.4.1.27182.1.14";

namespace {

const long long kEast8Seconds = 28800;
// 100-ns ticks between 1601-01-01 and 1970-01-01.
const long long kUnixEpochTicks = 116444736000000000LL;

struct TimeFields {
    int year, month, day, hour, minute, second;
};

int Number(const std::wstring& text, size_t pos, size_t count)
{
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return -1;
        value = value * 10 + (text[i] - L'0');
    }
    return value;
}

// Fields by position; false for a text under 15 characters or a field out of range.
bool ReadFields(const std::wstring& text, TimeFields& f)
{
    if (text.size() < 15) return false;
    f.year = Number(text, 0, 4);
    f.month = Number(text, 4, 2);
    f.day = Number(text, 6, 2);
    f.hour = Number(text, 8, 2);
    f.minute = Number(text, 10, 2);
    f.second = Number(text, 12, 2);
    return f.year >= 1900 && f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 && f.hour >= 0 &&
           f.hour <= 23 && f.minute >= 0 && f.minute <= 59 && f.second >= 0 && f.second <= 59;
}

SYSTEMTIME ToSystemTime(const TimeFields& f)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(f.year);
    st.wMonth = static_cast<WORD>(f.month);
    st.wDay = static_cast<WORD>(f.day);
    st.wHour = static_cast<WORD>(f.hour);
    st.wMinute = static_cast<WORD>(f.minute);
    st.wSecond = static_cast<WORD>(f.second);
    return st;
}

bool UtcSystemTimeToSeconds(const SYSTEMTIME& utc, long long& seconds)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(&utc, &ft)) return false;
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    seconds = (static_cast<long long>(ticks.QuadPart) - kUnixEpochTicks) / 10000000LL;
    return true;
}

// Reads a string attribute as UTF-8 text, freeing the library's buffer.
bool ReadUtf8Attribute(unsigned long certificate, int id, std::string& text)
{
    text.clear();
    Pki::ScopedText p;
    if (ZentoPKICertGetCertStringAttribute(certificate, id, p.put()) != ZENTO_PKI_OK) return false;
    if (p) text = p.get();
    return true;
}

bool KeyUsageWithin(unsigned long certificate, long mask)
{
    if (certificate == 0) return false;
    long usage = 0;
    if (ZentoPKICertGetCertIntegerAttribute(certificate, ZENTO_CERT_ATTR_KEY_USAGE, &usage) != ZENTO_PKI_OK)
        return false;
    return (usage & mask) != 0 && (usage & ~mask) == 0;
}

std::wstring DeviceText(unsigned long device, bool serial)
{
    Pki::ScopedText p;
    int rc = serial ? ZentoPKICryptoGetSerialNumber(device, p.put()) : ZentoPKICryptoGetLabel(device, p.put());
    if (rc != ZENTO_PKI_OK || !p) return std::wstring();
    return Utf8ToWide(p.get());
}

}  // namespace

bool GetCertStringAttribute(unsigned long certificate, int id, std::wstring& text)
{
    text.clear();
    if (certificate == 0) return false;
    std::string utf8;
    if (!ReadUtf8Attribute(certificate, id, utf8)) return false;
    text = Utf8ToWide(utf8);
    return !text.empty();
}

bool GetCertThumbprintHex(unsigned long certificate, int algorithm, std::wstring& text)
{
    text.clear();
    if (certificate == 0) return false;
    Pki::ScopedBytes bytes;
    unsigned long n = 0;
    if (ZentoPKICertGetCertHashAttribute(certificate, ZENTO_CERT_ATTR_THUMBPRINT, algorithm, bytes.put(), &n) !=
        ZENTO_PKI_OK)
        return false;
    for (unsigned long i = 0; i < n && bytes; ++i) {
        wchar_t two[3];
        swprintf(two, 3, L"%02X", bytes.get()[i]);
        text += two;
    }
    return true;
}

std::string GetCertSha1Hex(unsigned long certificate)
{
    Pki::ScopedBytes bytes;
    unsigned long n = 0;
    if (ZentoPKICertGetCertHashAttribute(certificate, ZENTO_CERT_ATTR_THUMBPRINT, ZENTO_HASH_SHA1, bytes.put(),
                                         &n) != ZENTO_PKI_OK)
        return std::string();
    Pki::ScopedText hex;
    unsigned long hexLength = 0;
    if (ZentoPKICryptoHexEncode(ZENTO_HEX_UPPER, bytes.get(), n, hex.put(), &hexLength) != ZENTO_PKI_OK || !hex)
        return std::string();
    return std::string(hex.get(), hexLength);
}

bool IsSignCert(unsigned long certificate)
{
    return KeyUsageWithin(certificate, 0x63);
}

bool IsEncCert(unsigned long certificate)
{
    return KeyUsageWithin(certificate, 0x19C);
}

bool GetUserServiceProgId(unsigned long certificate, std::wstring& text)
{
    text.clear();
    if (certificate == 0) return false;
    int critical = 0;
    Pki::ScopedBytes value;
    unsigned long length = 0;
    // -7 (absent) included: no row text, and nothing to report.
    if (ZentoPKICertFindExtension(certificate, kUserServiceProgIdOid, &critical, value.put(), &length) !=
        ZENTO_PKI_OK)
        return false;
    Pki::ScopedText decoded;
    unsigned long decodedLength = 0;
    if (ZentoPKIDecodeStringExtension(ZENTO_STRING_EXT_DIRECTORY_STRING, value.get(), length, decoded.put(),
                                      &decodedLength) != ZENTO_PKI_OK ||
        !decoded)
        return false;
    // Straight from UTF-8: the maker's id is Chinese, and a detour through the
    // ANSI code page turned it into question marks on every Western Windows.
    text = Utf8ToWide(std::string(decoded.get(), decodedLength));
    return !text.empty();
}

std::wstring FormatCertDate(unsigned long time)
{
    wchar_t buf[32];
    Pki::ScopedTime local(zento_time_utc2local(time));
    if (local) {
        swprintf(buf, 32, L"%04d-%02d-%02d", zento_time_getyear(local.get()), zento_time_getmonth(local.get()),
                 zento_time_getday(local.get()));
    } else {
        swprintf(buf, 32, L"%04d-%02d-%02d UTC", zento_time_getyear(time), zento_time_getmonth(time),
                 zento_time_getday(time));
    }
    return buf;
}

bool GetCertValidityDates(unsigned long certificate, std::wstring& start, std::wstring& end)
{
    start.clear();
    end.clear();
    if (certificate == 0) return false;
    Pki::ScopedTime from(zento_cert_getvaliditystart(certificate));
    if (from) start = FormatCertDate(from.get());
    Pki::ScopedTime to(zento_cert_getvalidityend(certificate));
    if (to) end = FormatCertDate(to.get());
    return true;
}

long long ParseCertTime(const std::wstring& text)
{
    TimeFields f;
    if (!ReadFields(text, f)) return 0;
    // The fields are the machine's local time; the system decides daylight
    // saving. (Not the C runtime: it reads the TZ variable its own way.)
    SYSTEMTIME local = ToSystemTime(f), utc;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) return 0;
    long long seconds = 0;
    return UtcSystemTimeToSeconds(utc, seconds) ? seconds : 0;
}

long long ParseCertTimeEast8(const std::wstring& text)
{
    if (text.size() < 15) return 0;
    return ParseCertTime(text) + kEast8Seconds;
}

unsigned long ToPkiTime(const char* text)
{
    if (!text) return zento_time_nowutctime();
    std::string s = text;
    size_t n = s.size();
    if (n < 15 || s[n - 1] != 'Z') return 0;
    for (size_t i = 0; i < 14; ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
    }
    std::wstring w(s.begin(), s.begin() + 14);
    int year = Number(w, 0, 4), month = Number(w, 4, 2), day = Number(w, 6, 2);
    int hour = Number(w, 8, 2), minute = Number(w, 10, 2), second = Number(w, 12, 2);
    if (n == 15) return zento_time_newutctime(year, month, day, hour, minute, second, 0);
    if (s[14] != '.' || n == 16) return 0;
    long fraction = 0;
    long weight = 100000000L;
    for (size_t i = 15; i < n - 1; ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
        fraction += (s[i] - '0') * weight;
        weight /= 10;  // digits after the ninth weigh 0
    }
    return zento_time_newutctime(year, month, day, hour, minute, second, fraction);
}

bool IsCertExpired(unsigned long certificate)
{
    if (certificate == 0) return false;
    long flag = -1;
    if (ZentoPKICertGetCertIntegerAttribute(certificate, ZENTO_CERT_ATTR_IS_CA, &flag) != ZENTO_PKI_OK ||
        flag != 0)
        return false;
    std::string end;
    if (!ReadUtf8Attribute(certificate, ZENTO_CERT_ATTR_VALID_TO, end)) return false;
    long long t = ParseCertTimeEast8(Utf8ToWide(end));
    return t <= Clock::NowUnixSeconds();
}

bool GetCertRemainDays(unsigned long certificate, int* days)
{
    if (certificate == 0 || !days) return false;
    std::string utf8;
    ReadUtf8Attribute(certificate, ZENTO_CERT_ATTR_VALID_TO_2, utf8);
    std::wstring text = Utf8ToWide(utf8);
    long long t = ParseCertTime(text);
    // Has it ended? The text read as UTC against the UTC clock; a text that
    // cannot be read counts as ended.
    TimeFields f;
    long long endUtc = 0;
    if (!ReadFields(text, f) || !UtcSystemTimeToSeconds(ToSystemTime(f), endUtc)) return false;
    long long now = Clock::NowUnixSeconds();
    if (now > endUtc) return false;
    long long window = UserSettings::Instance().GetRemainDay();
    long long hours = (t - (now - kEast8Seconds)) / 3600;
    if (hours < 0) return false;
    if (hours >= window * 24) {
        *days = 0;
        return false;
    }
    *days = static_cast<int>(hours / 24);
    return true;
}

std::wstring GetDeviceSerialNumber(unsigned long device)
{
    return DeviceText(device, true);
}

std::wstring GetDeviceLabel(unsigned long device)
{
    return DeviceText(device, false);
}

std::wstring GetDeviceTypeName(unsigned long device)
{
    int type = ZentoPKICryptoGetType(device);
    if (type <= 0) return std::wstring();
    const char* name = ZentoPKICryptoGetNameFromType(type);
    if (!name) return std::wstring();
    return Utf8ToWide(name);  // owned by the library: not freed
}

}  // namespace Cert_Util
