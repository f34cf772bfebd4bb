#include "FaultGuard.h"

#include <windows.h>

#include <mutex>

namespace {

// The landing point of a guarded call, in the layout of __builtin_setjmp: frame pointer,
// resume address, stack pointer; and which exceptions land there.
struct TLanding {
    void* jump[5];
    bool (*caught)(uint32_t code);
};

thread_local TLanding* guardedLanding = nullptr;

bool IsReadFault(uint32_t code)
{
    return code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_GUARD_PAGE || code == EXCEPTION_IN_PAGE_ERROR;
}

// Sends an exception of the guarded code back to its landing point, where __builtin_setjmp
// returns 1; the system resumes there, so no frame is left behind.
LONG CALLBACK ResumeAtLanding(EXCEPTION_POINTERS* pointers)
{
    TLanding* landing = guardedLanding;
    if (landing == nullptr || !landing->caught(pointers->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    guardedLanding = nullptr;
    CONTEXT* context = pointers->ContextRecord;
#if defined(__x86_64__)
    context->Rbp = reinterpret_cast<DWORD64>(landing->jump[0]);
    context->Rip = reinterpret_cast<DWORD64>(landing->jump[1]);
    context->Rsp = reinterpret_cast<DWORD64>(landing->jump[2]);
#else
    context->Ebp = reinterpret_cast<DWORD>(landing->jump[0]);
    context->Eip = reinterpret_cast<DWORD>(landing->jump[1]);
    context->Esp = reinterpret_cast<DWORD>(landing->jump[2]);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandlerOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] { AddVectoredExceptionHandler(1, ResumeAtLanding); });
}

// Byte by byte through volatile pointers, so that the compiler keeps every access inside the
// guarded stretch.
struct TCopy {
    volatile unsigned char* destination;
    const volatile unsigned char* source;
    std::size_t count;
};

void CopyBytes(void* context)
{
    const TCopy& copy = *static_cast<const TCopy*>(context);
    for (std::size_t i = 0; i < copy.count; ++i)
        copy.destination[i] = copy.source[i];
}

} // namespace

__attribute__((noinline)) bool RunUnderFaultGuard(bool (*caught)(uint32_t code), void (*body)(void*), void* context)
{
    InstallHandlerOnce();
    TLanding landing{{}, caught};
    TLanding* outer = guardedLanding;
    if (__builtin_setjmp(landing.jump) != 0) {
        guardedLanding = outer;
        return false;
    }
    guardedLanding = &landing;
    try {
        body(context);
    } catch (...) {
        guardedLanding = outer; // no stale landing stays behind a C++ exception
        throw;
    }
    guardedLanding = outer;
    return true;
}

bool CopyUnderFaultGuard(void* destination, const void* source, std::size_t count)
{
    TCopy copy{static_cast<volatile unsigned char*>(destination), static_cast<const volatile unsigned char*>(source),
               count};
    return RunUnderFaultGuard(IsReadFault, CopyBytes, &copy);
}
