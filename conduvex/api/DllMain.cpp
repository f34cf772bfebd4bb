// Library entry: the handle table lives from process attach to process detach.
#include "DiagnosticTrace.h"
#include "api/ApiFrame.h"
#include "capture/win/ExportFaultReport.h"
#include "capture/win/LibraryThread.h"
#include "capture/win/SystemExceptions.h"
#include "capture/win/WindowProcReport.h"
#include "FaultGuard.h"
#include "startup/win/CrashLibrary.h"
#include "ftdi/Ftd2xx.h"
#include "links/GlobalHandles.h"
#include "runtime/FaultReport.h"
#include "runtime/LibraryUnload.h"

#include <windows.h>

namespace {

// A fault in the host's memory or code raises the crash library's exception of it, which the
// export reports as it reports a fault of its own code.
void RaiseGuardedFault(const TGuardedFault& fault)
{
    RaiseCaughtFault(fault.record, fault.context);
}

// An exception that a thread of the library survives (a host callback's fault on it) is reported
// as one that escaped a thread, continuing allowed.
void ReportSurvivedThreadException() noexcept
{
    try {
        ReportEscapedException();
    } catch (...) {
        // The thread goes on all the same.
    }
}

// The library's threads, its window procedures and the host code it calls report through the
// crash library: what ends a thread is traced at the raising code.
void InstallFaultReporting()
{
    SetFaultReporting({&RunLibraryThreadWork, &ReportWindowProcException, &ReportSurvivedThreadException,
                       &ReportCaughtSystemException});
    SetHostFaultReporter(&ReportFaultWhereItRuns);
}

void RemoveFaultReporting()
{
    SetHostFaultReporter(nullptr);
    SetFaultReporting({});
}

BOOL Attach()
{
    try {
        ScanProcessCommandLineForTrace();
    } catch (...) {
        // Tracing is a diagnostic aid; the library works without it.
    }
    // A corrupt library file was told to the user when the crash library started: it does not load.
    if (CrashLibraryState() == TLibraryState::Corrupt)
        return FALSE;
    try {
        InstallFaultGuard();
        SetFaultRaiser(&RaiseGuardedFault);
        InstallFaultReporting();
        ftd2xx::LoadFtd2xx();
        CreateGlobalHandles();
        // A fault inside an export is reported before the export fails with it.
        SetCaughtExceptionObserver(&ReportCaughtSystemException);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void Detach(bool processExiting)
{
    try {
        SetCaughtExceptionObserver(nullptr);
        // At process exit every other thread is already gone: links waiting for their
        // threads would hang, so their memory goes back with the process instead.
        if (processExiting) {
            AbandonGlobalHandles();
        } else {
            MarkLibraryUnloading();
            FreeGlobalHandles();
        }
        RemoveFaultReporting();
        SetFaultRaiser(nullptr);
        RemoveFaultGuard();
    } catch (...) {
        // Nothing may leave the loader's call.
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        return Attach();
    case DLL_PROCESS_DETACH:
        Detach(reserved != nullptr);
        break;
    default:
        break;
    }
    return TRUE;
}
