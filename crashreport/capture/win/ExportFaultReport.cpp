#include "capture/win/ExportFaultReport.h"

#include "capture/win/RaiseRecord.h"

void ReportCaughtSystemException() noexcept
{
    try {
        if (CurrentExceptionIsExternal())
            ReportCaught(DescribeCurrentException(TCaptureSource::SystemException, true));
    } catch (...) {
        // The boundary handles the exception all the same.
    }
}
