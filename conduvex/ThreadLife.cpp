#include "ThreadLife.h"

#include <process.h>

namespace {

// The system routines the exit chains, by their addresses in the system's libraries (an
// import thunk would be code of this library).
struct TExitRoute {
    FARPROC setEvent = nullptr;
    FARPROC closeHandle = nullptr;
    FARPROC endThread = nullptr;

    bool Complete() const { return setEvent && closeHandle && endThread; }
};

TExitRoute ResolveExitRoute()
{
    TExitRoute route;
    if (const HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
        route.setEvent = GetProcAddress(kernel, "SetEvent");
        route.closeHandle = GetProcAddress(kernel, "CloseHandle");
    }
    if (const HMODULE runtime = GetModuleHandleA("msvcrt.dll"))
        route.endThread = GetProcAddress(runtime, "_endthreadex");
    return route;
}

// Resolved while the library loads: looking a module up takes the loader lock, which an
// unload holds while it waits for the threads to finish.
const TExitRoute kExitRoute = ResolveExitRoute();

} // namespace

HANDLE DuplicateForExit(HANDLE finished)
{
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), finished, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return duplicate;
}

void ExitThreadSetting(HANDLE ownedFinished)
{
    const TExitRoute& route = kExitRoute;
    if (!route.Complete()) {
        SetEvent(ownedFinished);
        CloseHandle(ownedFinished);
        _endthreadex(0);
    }
    // SetEvent(event) returns into CloseHandle(event), which returns into _endthreadex(0);
    // each stdcall routine takes its own argument off the stack.
    asm volatile("pushl $0\n\t"
                 "pushl $0\n\t"
                 "pushl %[event]\n\t"
                 "pushl %[endThread]\n\t"
                 "pushl %[event]\n\t"
                 "pushl %[closeHandle]\n\t"
                 "jmp *%[setEvent]"
                 :
                 : [event] "r"(ownedFinished), [endThread] "r"(route.endThread),
                   [closeHandle] "r"(route.closeHandle), [setEvent] "r"(route.setEvent)
                 : "memory");
    __builtin_unreachable();
}

void FinishThread(HANDLE finished)
{
    if (const HANDLE owned = DuplicateForExit(finished))
        ExitThreadSetting(owned);
    SetEvent(finished);
}
