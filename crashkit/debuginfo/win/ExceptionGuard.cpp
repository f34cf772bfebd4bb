#include "ExceptionGuard.h"

#include <windows.h>

#include <mutex>

namespace {

// The landing point, in the layout of __builtin_setjmp: frame pointer, resume address, stack
// pointer.
using TLanding = void* [5];

thread_local TLanding* guardLanding = nullptr;

// Errors (0xC...) and warnings (0x8...); C++ exceptions and debugger notices are neither.
bool IsGuarded(DWORD code)
{
    return (code & 0x80000000) != 0;
}

LONG CALLBACK ResumeAtLanding(EXCEPTION_POINTERS* pointers)
{
    TLanding* landing = guardLanding;
    if (landing == nullptr || !IsGuarded(pointers->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    guardLanding = nullptr;
    CONTEXT* context = pointers->ContextRecord;
#if defined(__x86_64__)
    context->Rbp = reinterpret_cast<DWORD64>((*landing)[0]);
    context->Rip = reinterpret_cast<DWORD64>((*landing)[1]);
    context->Rsp = reinterpret_cast<DWORD64>((*landing)[2]);
#else
    context->Ebp = reinterpret_cast<DWORD>((*landing)[0]);
    context->Eip = reinterpret_cast<DWORD>((*landing)[1]);
    context->Esp = reinterpret_cast<DWORD>((*landing)[2]);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandlerOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] { AddVectoredExceptionHandler(1, ResumeAtLanding); });
}

} // namespace

__attribute__((noinline)) bool RunUnderExceptionGuard(void (*body)(void*), void* context)
{
    InstallHandlerOnce();
    TLanding landing;
    TLanding* outer = guardLanding;
    if (__builtin_setjmp(landing) != 0) {
        guardLanding = outer;
        return false;
    }
    guardLanding = &landing;
    try {
        body(context);
    } catch (...) {
        guardLanding = outer; // no stale landing stays behind a C++ exception
        throw;
    }
    guardLanding = outer;
    return true;
}
