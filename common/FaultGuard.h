#pragma once
// Work that may fault where the library cannot help it runs under a guard: a read or write of
// the host's memory, a call of the host's or a driver's code. A fault inside the guarded work,
// whatever module the faulting instruction lies in, returns the thread to its guard, which gives
// the fault back as a failure with its record and registers. The frames in between are
// abandoned, not unwound: neither the system's nor the C runtime's frames can be unwound by a
// C++ exception, and the host's code has nothing of ours to clean up.
//
// The guard acts on the first chance, before any handler inside the guarded work; faults only
// (system errors, not software exceptions), so a host's own exceptions pass untouched. Each
// library image installs the handler for its own guards; where guards of two images nest on a
// thread, the innermost guard takes the fault.
#include <windows.h>

#include <string>
#include <type_traits>

struct TGuardedFault {
    EXCEPTION_RECORD record{};
    CONTEXT context{};
};

// From the library's attach to its detach.
void InstallFaultGuard();
void RemoveFaultGuard();

// Runs work(data), which must not throw; false when a fault ended it, described in `fault`.
bool RunGuarded(void (*work)(void*), void* data, TGuardedFault& fault) noexcept;

// The fault's message: "Access violation at address ... in module '...'. Read of address ..."
// and the like.
std::string FaultMessage(const EXCEPTION_RECORD& record);

// What a fault of guarded work becomes. By default an EConduvexError "exception raised" with the
// fault's message; a library with a crash reporter raises its own exception, which carries the
// fault's registers to the report. The raiser must throw.
using TFaultRaiser = void (*)(const TGuardedFault& fault);
void SetFaultRaiser(TFaultRaiser raiser);
[[noreturn]] void RaiseFault(const TGuardedFault& fault);

// Runs the callable under a guard; a fault is raised as above.
template <class Work>
void Guarded(Work&& work)
{
    TGuardedFault fault;
    const auto run = [](void* data) { (*static_cast<std::remove_reference_t<Work>*>(data))(); };
    if (!RunGuarded(run, &work, fault))
        RaiseFault(fault);
}

// Host code that the library survives (a notification callback): a fault inside it is raised as
// above and told, inside the catch, to the reporter of the host's faults; the call then returns as
// if the host's code had. Without a reporter the fault is only survived.
using THostFaultReporter = void (*)() noexcept;
void SetHostFaultReporter(THostFaultReporter reporter);
void ReportHostFault() noexcept;

template <class Work>
void CallHostSurviving(Work&& work) noexcept
{
    try {
        Guarded(work);
    } catch (...) {
        ReportHostFault();
    }
}
