#include "capture/win/FreezeReport.h"

#include "capture/win/ExceptionSink.h"

void ReportFreeze(void*)
{
    TCaughtException freeze;
    freeze.kind = TRequestKind::Freeze;
    freeze.source = TCaptureSource::Freeze;
    freeze.continueAllowed = true;
    try {
        ReportCaught(freeze);
    } catch (...) {
        // The watchdog goes on watching.
    }
}
