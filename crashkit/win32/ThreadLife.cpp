#include "win32/ThreadLife.h"

#include <process.h>

#include <cstring>

namespace {

// The system routines the exit chains, by their addresses in the system's libraries (an
// import thunk would be code of this library).
struct TExitRoute {
    FARPROC setEvent = nullptr;
    FARPROC closeHandle = nullptr;
    FARPROC endThread = nullptr;
#if defined(__x86_64__)
    // Calls the three in turn; it lives outside this image so that it outlasts an unload.
    const void* chain = nullptr;
#endif

    bool Complete() const
    {
#if defined(__x86_64__)
        if (!chain)
            return false;
#endif
        return setEvent && closeHandle && endThread;
    }
};

#if defined(__x86_64__)
// With arguments in registers, a routine cannot return straight into the next one with its
// argument in place, so the chain is a few instructions of its own. They take the event in
// RBX and the routines in R12, RSI and RDI (registers every call preserves):
//   and rsp,-16 / sub rsp,32 / mov rcx,rbx / call r12 / mov rcx,rbx / call rsi /
//   xor ecx,ecx / call rdi / int3
constexpr unsigned char kExitChainCode[] = {0x48, 0x83, 0xE4, 0xF0, 0x48, 0x83, 0xEC, 0x20,
                                            0x48, 0x89, 0xD9, 0x41, 0xFF, 0xD4, 0x48, 0x89,
                                            0xD9, 0xFF, 0xD6, 0x31, 0xC9, 0xFF, 0xD7, 0xCC};

// One page for the life of the process: a thread may still run in it after this library
// is gone, so it is never freed.
const void* PlaceExitChain()
{
    void* page = VirtualAlloc(nullptr, sizeof kExitChainCode, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!page)
        return nullptr;
    memcpy(page, kExitChainCode, sizeof kExitChainCode);
    DWORD previous = 0;
    if (!VirtualProtect(page, sizeof kExitChainCode, PAGE_EXECUTE_READ, &previous)) {
        VirtualFree(page, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), page, sizeof kExitChainCode);
    return page;
}
#endif

TExitRoute ResolveExitRoute()
{
    TExitRoute route;
    if (const HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
        route.setEvent = GetProcAddress(kernel, "SetEvent");
        route.closeHandle = GetProcAddress(kernel, "CloseHandle");
    }
    if (const HMODULE runtime = GetModuleHandleA("msvcrt.dll"))
        route.endThread = GetProcAddress(runtime, "_endthreadex");
#if defined(__x86_64__)
    if (route.setEvent && route.closeHandle && route.endThread)
        route.chain = PlaceExitChain();
#endif
    return route;
}

// Resolved while the library loads: looking a module up takes the loader lock, which an
// unload holds while it waits for the threads to finish.
const TExitRoute kExitRoute = ResolveExitRoute();

// Runs SetEvent(event), CloseHandle(event) and _endthreadex(0) from system code only.
[[noreturn]] void EnterExitChain(const TExitRoute& route, HANDLE event)
{
#if defined(__i386__)
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
                 : [event] "r"(event), [endThread] "r"(route.endThread),
                   [closeHandle] "r"(route.closeHandle), [setEvent] "r"(route.setEvent)
                 : "memory");
#elif defined(__x86_64__)
    asm volatile("movq %[event], %%rbx\n\t"
                 "movq %[setEvent], %%r12\n\t"
                 "movq %[closeHandle], %%rsi\n\t"
                 "movq %[endThread], %%rdi\n\t"
                 "jmp *%[chain]"
                 :
                 : [event] "m"(event), [setEvent] "m"(route.setEvent),
                   [closeHandle] "m"(route.closeHandle), [endThread] "m"(route.endThread),
                   [chain] "m"(route.chain)
                 : "rbx", "rsi", "rdi", "r12", "memory");
#else
#error "the thread exit is written for i686 and x86_64"
#endif
    __builtin_unreachable();
}

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
    EnterExitChain(route, ownedFinished);
}

void FinishThread(HANDLE finished)
{
    if (const HANDLE owned = DuplicateForExit(finished))
        ExitThreadSetting(owned);
    SetEvent(finished);
}

bool WaitUntilFinished(HANDLE thread, HANDLE finished, DWORD timeoutMs)
{
    const HANDLE ends[] = {finished, thread};
    return WaitForMultipleObjects(2, ends, FALSE, timeoutMs) != WAIT_TIMEOUT;
}
