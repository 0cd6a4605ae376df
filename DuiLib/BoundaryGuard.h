// The one place where a C++ exception is stopped: every entry from outside
// (exports, host-called virtuals, window, hook, timer and thread procedures)
// runs its body through GuardBoundary, which turns any throw into one report
// and the entry's documented failure value. Nothing thrown reaches Windows
// or the host. It is also where an entry into our code is counted (see
// ModalLoop.h): while one runs, the library is not let go.
#pragma once

#include <exception>
#include <utility>

#include "DuiLib/ModalLoop.h"

namespace DuiLib {

// Receives (entry name, exception text). The plug-in points it at its log;
// until then reports go to OutputDebugString.
using BoundaryReporter = void (*)(const char* where, const char* what);
void SetBoundaryReporter(BoundaryReporter reporter) noexcept;
void ReportBoundaryException(const char* where, const char* what) noexcept;

template <class R, class F>
R GuardBoundary(const char* where, R failure, F&& body) noexcept
{
    CEntryScope entry;
    try {
        return std::forward<F>(body)();
    } catch (const std::exception& e) {
        ReportBoundaryException(where, e.what());
    } catch (...) {
        ReportBoundaryException(where, "unknown exception");
    }
    return failure;
}

// For entries with no result (void callbacks).
template <class F>
void GuardBoundaryVoid(const char* where, F&& body) noexcept
{
    CEntryScope entry;
    try {
        std::forward<F>(body)();
    } catch (const std::exception& e) {
        ReportBoundaryException(where, e.what());
    } catch (...) {
        ReportBoundaryException(where, "unknown exception");
    }
}

}  // namespace DuiLib
