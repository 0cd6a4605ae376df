// Where a stopped exception is reported.
#include "BoundaryGuard.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace DuiLib {
namespace {
std::atomic<BoundaryReporter> g_reporter{nullptr};
}

void SetBoundaryReporter(BoundaryReporter reporter) noexcept { g_reporter.store(reporter); }

void ReportBoundaryException(const char* where, const char* what) noexcept
{
    BoundaryReporter reporter = g_reporter.load();
    if (reporter) {
        reporter(where ? where : "", what ? what : "");
        return;
    }
    ::OutputDebugStringA(where ? where : "");
    ::OutputDebugStringA(": exception stopped at the boundary: ");
    ::OutputDebugStringA(what ? what : "");
    ::OutputDebugStringA("\n");
}

}  // namespace DuiLib
