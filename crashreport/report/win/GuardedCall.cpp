#include "GuardedCall.h"

#include <windows.h>

#include <mutex>

#include "FaultGuard.h"

namespace {

thread_local TGuardFailure* noted = nullptr;

// Errors and warnings only: C++ exceptions and debugger notices are no faults.
LONG CALLBACK NoteFault(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (noted && (record.ExceptionCode & 0x80000000) != 0) {
        noted->code = record.ExceptionCode;
        noted->address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Before the fault guard's own handler, which ends the search: that one is put in place first.
void InstallOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        char probe = 0;
        CopyUnderFaultGuard(&probe, &probe, 1);
        AddVectoredExceptionHandler(1, NoteFault);
    });
}

} // namespace

TFaultNote::TFaultNote(TGuardFailure& failure) : outer_(noted)
{
    InstallOnce();
    noted = &failure;
}

TFaultNote::~TFaultNote()
{
    noted = outer_;
}
