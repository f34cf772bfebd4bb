#include "SinkInstallation.h"

#include "capture/win/ExceptionSink.h"
#include "capture/win/FreezeReport.h"
#include "dispatch/win/ExceptionDispatcher.h"
#include "dispatch/win/HostEnd.h"
#include "dispatch/win/LoaderLockProbe.h"
#include "dispatch/win/RequestEntry.h"
#include "handlers/win/FreezeWatchdog.h"
#include "handlers/win/MainThreadHandlers.h"
#include "startup/win/SystemFaultReporting.h"

namespace {

TExceptionDispatcher& Dispatcher()
{
    static TExceptionDispatcher dispatcher(
        HandlingThread(), {.handleInline = &HandleRequest,
                           .closeHost = [] { CloseApplication(); },
                           .isReportThread = &IsReportThread,
                           .mainThreadId = [] { return MainThreadHandlers().ThreadId(); },
                           .mainThreadBusy = [] { return MainThreadHandlers().Busy(); },
                           .loaderLocked = &IsLoaderLocked,
                           .reportSystemFault = &ReportToSystem});
    return dispatcher;
}

} // namespace

void StartExceptionDispatch()
{
    HandlingThread().Start(&HandleRequest);
    SetExceptionSink(&Dispatcher());
}

void StopExceptionDispatch()
{
    SetExceptionSink(nullptr);
    HandlingThread().Stop();
}

bool StartFreezeWatch(int32_t freezeTimeoutMs)
{
    return FreezeWatchdog().Start(MainThreadHandlers().Window(), freezeTimeoutMs, &ReportFreeze, nullptr);
}
