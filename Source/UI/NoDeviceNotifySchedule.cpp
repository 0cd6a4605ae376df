// Postponing the absent-key reminder; see NoDeviceNotifySchedule.h.
#include "UI/NoDeviceNotifySchedule.h"

#include <cwchar>

namespace {

constexpr long long kTicksPerHour = 36000000000LL;  // 100 ns units

}  // namespace

int NoDeviceNotifyPostponeDays(int smallestRemainDays)
{
    if (smallestRemainDays >= 60) return 7;
    if (smallestRemainDays >= 30) return 4;
    if (smallestRemainDays >= 15) return 2;
    if (smallestRemainDays >= 10) return 1;
    return 0;
}

std::wstring FormatPostponedNotifyDate(const SYSTEMTIME& now, int days)
{
    // The wall-clock fields are moved as they are, without a time-zone round
    // trip, so the stored text is exactly now plus the span.
    FILETIME ft;
    if (!SystemTimeToFileTime(&now, &ft)) return std::wstring();
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    ticks.QuadPart += static_cast<unsigned long long>((days * 24LL - 2) * kTicksPerHour);
    ft.dwLowDateTime = ticks.LowPart;
    ft.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME next;
    if (!FileTimeToSystemTime(&ft, &next)) return std::wstring();
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", next.wYear, next.wMonth, next.wDay, next.wHour,
             next.wMinute, next.wSecond);
    return text;
}
