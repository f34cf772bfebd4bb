#include "capture/win/CurrentExceptionReport.h"

#include "capture/win/RaiseRecord.h"

void ReportCurrentToSink() noexcept
{
    try {
        ReportCaught(DescribeCurrentException(TCaptureSource::ReportCurrent, true));
    } catch (...) {
        // Reporting failed; the toolkit's window procedure returns all the same.
    }
}
