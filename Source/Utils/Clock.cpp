// The system clock, replaceable; see Clock.h.
#include "Utils/Clock.h"

#include <windows.h>

#include <atomic>

namespace Clock {
namespace {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
const long long kUnixEpochTicks = 116444736000000000LL;

long long SystemNow()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER ticks;
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    return (static_cast<long long>(ticks.QuadPart) - kUnixEpochTicks) / 10000000LL;
}

std::atomic<Source> g_source{nullptr};

}  // namespace

long long NowUnixSeconds()
{
    Source source = g_source.load();
    return source ? source() : SystemNow();
}

Source SetSource(Source source)
{
    return g_source.exchange(source);
}

}  // namespace Clock
