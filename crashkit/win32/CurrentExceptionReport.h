#pragma once
// The toolkit's own window procedures catch everything; what they catch goes to the crash
// library's report of the exception being handled, which the library gives at its start.
// Until then (and in images without the library) nothing is reported. Header-only, so that every
// part of the toolkit reaches the one report of its image without linking more.
#include <atomic>

using TCurrentExceptionReport = void (*)() noexcept;

inline std::atomic<TCurrentExceptionReport> g_currentExceptionReport{nullptr};

inline void SetCurrentExceptionReport(TCurrentExceptionReport report)
{
    g_currentExceptionReport = report;
}

// Inside a catch: reports the exception being handled.
inline void ReportCurrentException() noexcept
{
    if (const TCurrentExceptionReport report = g_currentExceptionReport)
        report();
}
