// The product's "now", in calendar seconds since 1970-01-01 UTC. All date
// arithmetic (certificate expiry, remaining days, reminder dates) asks here,
// so a test can pin the moment instead of depending on when it runs.
#pragma once

namespace Clock {

using Source = long long (*)();

long long NowUnixSeconds();
// Replaces where the time comes from (null: the system clock) and returns the
// source used before, so a caller can put it back.
Source SetSource(Source source);

}  // namespace Clock
