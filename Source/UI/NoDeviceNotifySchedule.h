// "Remind me later" of the absent-key reminder as plain date arithmetic: how
// long the reminder waits for a given smallest remaining-day count, and the
// moment it may come back, as the text NextNotifyDate stores.
#pragma once

#include <windows.h>

#include <string>

// Days to wait: 60 or more → 7, 30-59 → 4, 15-29 → 2, 10-14 → 1; below 10
// the reminder is not put off (0).
int NoDeviceNotifyPostponeDays(int smallestRemainDays);

// now + days − 2 hours as "%Y-%m-%d %H:%M:%S" (local wall-clock time, as now).
std::wstring FormatPostponedNotifyDate(const SYSTEMTIME& now, int days);
