#include "ThreadNamingAhead.h"

#include <windows.h>

#include <atomic>

#include "capture/win/SystemExceptions.h"

namespace {

constexpr DWORD kThreadNameException = 0x406D1388;

std::atomic<void*> handler{nullptr};

LONG CALLBACK NameFromRecord(EXCEPTION_POINTERS* pointers)
{
    try {
        if (pointers->ExceptionRecord->ExceptionCode == kThreadNameException)
            NameThreadFromRecord(*pointers->ExceptionRecord);
    } catch (...) {
        // A thread left unnamed; the exception goes on as it would.
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void InstallThreadNamingAhead()
{
    if (!handler.load())
        handler = AddVectoredExceptionHandler(1, NameFromRecord);
}

void RemoveThreadNamingAhead()
{
    if (void* installed = handler.exchange(nullptr))
        RemoveVectoredExceptionHandler(installed);
}
