// ZENTO_UTIL: time values (date, time and nanoseconds, UTC or local) and the
// validity period of a certificate. Certificates are reached only through
// ZENTO_CRYPTO's exports (the DER encoding), as any client of it would.
#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <memory>
#include <mutex>

#include "Guard.h"
#include "ZentoPKIHost.h"

using namespace zento;

namespace {

struct TimeValue {
    SYSTEMTIME fields{};  // milliseconds unused; the fraction carries sub-seconds
    long fraction = 0;    // nanoseconds, 0 to 999 999 999
    bool local = false;
};

class TimeTable {
public:
    static TimeTable& Instance()
    {
        static TimeTable* table = new TimeTable();
        return *table;
    }
    unsigned long Add(const TimeValue& value)
    {
        std::lock_guard<std::mutex> lock(m_lock_);
        unsigned long handle = m_next_++;
        if (m_next_ == 0) m_next_ = 0x00020001;
        m_times_[handle] = value;
        return handle;
    }
    bool Get(unsigned long handle, TimeValue& value)
    {
        std::lock_guard<std::mutex> lock(m_lock_);
        auto it = m_times_.find(handle);
        if (it == m_times_.end()) return false;
        value = it->second;
        return true;
    }
    bool Remove(unsigned long handle)
    {
        std::lock_guard<std::mutex> lock(m_lock_);
        if (m_times_.erase(handle) == 0) {
            ++m_badFrees_;
            return false;
        }
        return true;
    }
    long Live()
    {
        std::lock_guard<std::mutex> lock(m_lock_);
        return static_cast<long>(m_times_.size());
    }
    long BadFrees()
    {
        std::lock_guard<std::mutex> lock(m_lock_);
        return m_badFrees_;
    }

private:
    std::mutex m_lock_;
    std::map<unsigned long, TimeValue> m_times_;
    unsigned long m_next_ = 0x00020001;
    long m_badFrees_ = 0;
};

struct CertDeleter {
    void operator()(PCCERT_CONTEXT c) const
    {
        if (c) CertFreeCertificateContext(c);
    }
};

unsigned long FromFileTime(const FILETIME& ft, long extraNanoseconds)
{
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st)) return 0;
    TimeValue value;
    value.fields = st;
    value.fields.wMilliseconds = 0;
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    value.fraction = static_cast<long>(ticks.QuadPart % 10000000ULL) * 100 + extraNanoseconds;
    value.local = false;
    return TimeTable::Instance().Add(value);
}

unsigned long ValidityTime(unsigned long certificate, bool end)
{
    unsigned char* der = nullptr;
    unsigned long length = 0;
    if (ZentoPKICertGetCertEncode(certificate, ZENTO_ENCODE_DER, &der, &length) != ZENTO_PKI_OK) return 0;
    std::unique_ptr<const CERT_CONTEXT, CertDeleter> context(
        CertCreateCertificateContext(X509_ASN_ENCODING, der, length));
    ZentoPKICryptoFreeMemory(der);
    if (!context) return 0;
    return FromFileTime(end ? context->pCertInfo->NotAfter : context->pCertInfo->NotBefore, 0);
}

// Seconds since 1601 in UTC, for comparing; false when out of range.
bool UtcSeconds(const TimeValue& value, long long& seconds)
{
    SYSTEMTIME utc = value.fields;
    if (value.local && !TzSpecificLocalTimeToSystemTime(nullptr, &value.fields, &utc)) return false;
    FILETIME ft;
    if (!SystemTimeToFileTime(&utc, &ft)) return false;
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    seconds = static_cast<long long>(ticks.QuadPart / 10000000ULL);
    return true;
}

int Field(unsigned long time, int which)
{
    TimeValue value;
    if (!TimeTable::Instance().Get(time, value)) return 0;
    switch (which) {
        case 0:
            return value.fields.wYear;
        case 1:
            return value.fields.wMonth;
        case 2:
            return value.fields.wDay;
        case 3:
            return value.fields.wHour;
        case 4:
            return value.fields.wMinute;
        default:
            return value.fields.wSecond;
    }
}

}  // namespace

extern "C" {

unsigned long __cdecl zento_cert_getvaliditystart(unsigned long certificate)
{
    return Guarded(0UL, [&] { return ValidityTime(certificate, false); });
}

unsigned long __cdecl zento_cert_getvalidityend(unsigned long certificate)
{
    return Guarded(0UL, [&] { return ValidityTime(certificate, true); });
}

unsigned long __cdecl zento_time_utc2local(unsigned long time)
{
    return Guarded(0UL, [&]() -> unsigned long {
        TimeValue value;
        // Only a UTC time has a local counterpart; converting a local time
        // again would shift it twice.
        if (!TimeTable::Instance().Get(time, value) || value.local) return 0;
        TimeValue local = value;
        if (!SystemTimeToTzSpecificLocalTime(nullptr, &value.fields, &local.fields)) return 0;
        local.local = true;
        return TimeTable::Instance().Add(local);
    });
}

int __cdecl zento_time_getyear(unsigned long time)
{
    return Field(time, 0);
}
int __cdecl zento_time_getmonth(unsigned long time)
{
    return Field(time, 1);
}
int __cdecl zento_time_getday(unsigned long time)
{
    return Field(time, 2);
}
int __cdecl zento_time_gethour(unsigned long time)
{
    return Field(time, 3);
}
int __cdecl zento_time_getminute(unsigned long time)
{
    return Field(time, 4);
}
int __cdecl zento_time_getsecond(unsigned long time)
{
    return Field(time, 5);
}

long __cdecl zento_time_getfraction(unsigned long time)
{
    TimeValue value;
    return TimeTable::Instance().Get(time, value) ? value.fraction : 0;
}

int __cdecl zento_time_islocal(unsigned long time)
{
    TimeValue value;
    return TimeTable::Instance().Get(time, value) && value.local ? 1 : 0;
}

unsigned long __cdecl zento_time_newutctime(int year, int month, int day, int hour, int minute, int second,
                                            long fraction)
{
    return Guarded(0UL, [&]() -> unsigned long {
        if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
            hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || fraction < 0 ||
            fraction > 999999999L)
            return 0;
        TimeValue value;
        value.fields.wYear = static_cast<WORD>(year);
        value.fields.wMonth = static_cast<WORD>(month);
        value.fields.wDay = static_cast<WORD>(day);
        value.fields.wHour = static_cast<WORD>(hour);
        value.fields.wMinute = static_cast<WORD>(minute);
        value.fields.wSecond = static_cast<WORD>(second);
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return 0;
        FILETIME ft;
        if (!SystemTimeToFileTime(&value.fields, &ft) || !FileTimeToSystemTime(&ft, &value.fields)) return 0;
        value.fraction = fraction;
        return TimeTable::Instance().Add(value);
    });
}

unsigned long __cdecl zento_time_nowutctime(void)
{
    return Guarded(0UL, [&] {
        FILETIME ft;
        GetSystemTimeAsFileTime(&ft);
        return FromFileTime(ft, 0);
    });
}

int __cdecl zento_time_cmp(unsigned long a, unsigned long b)
{
    TimeValue va, vb;
    long long sa = 0, sb = 0;
    if (!TimeTable::Instance().Get(a, va) || !TimeTable::Instance().Get(b, vb) || !UtcSeconds(va, sa) ||
        !UtcSeconds(vb, sb))
        return -2;
    if (sa != sb) return sa < sb ? -1 : 1;
    if (va.fraction != vb.fraction) return va.fraction < vb.fraction ? -1 : 1;
    return 0;
}

int __cdecl zento_time_free(unsigned long time)
{
    return TimeTable::Instance().Remove(time) ? 1 : 0;
}

long __cdecl zento_time_livecount(void)
{
    return TimeTable::Instance().Live();
}
long __cdecl zento_time_badfreecount(void)
{
    return TimeTable::Instance().BadFrees();
}

}  // extern "C"
