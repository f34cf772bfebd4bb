#include "capture/win/ThreadHooks.h"

#include <memory>
#include <mutex>

#include "capture/win/ImportHooks.h"
#include "threads/ThreadNames.h"

namespace {

using TCreateThread = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
using TQueueUserWorkItem = BOOL(WINAPI*)(LPTHREAD_START_ROUTINE, PVOID, ULONG);

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
BOOL WINAPI QueueUserWorkItemHook(LPTHREAD_START_ROUTINE, PVOID, ULONG);

TImportHook createThreadHook{"kernel32.dll", "CreateThread", reinterpret_cast<const void*>(&CreateThread),
                             reinterpret_cast<const void*>(&CreateThreadHook)};
TImportHook workItemHook{"kernel32.dll", "QueueUserWorkItem", reinterpret_cast<const void*>(&QueueUserWorkItem),
                         reinterpret_cast<const void*>(&QueueUserWorkItemHook)};
std::mutex installLock;
bool installed = false;

struct TThreadStart {
    LPTHREAD_START_ROUTINE routine;
    void* parameter;
};

DWORD WINAPI HookedThreadStart(void* parameter)
{
    const std::unique_ptr<TThreadStart> start(static_cast<TThreadStart*>(parameter));
    const DWORD result = CallThreadRoutine(start->routine, start->parameter);
    SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {});
    return result;
}

DWORD WINAPI HookedWorkItem(void* parameter)
{
    const std::unique_ptr<TThreadStart> start(static_cast<TThreadStart*>(parameter));
    return CallThreadRoutine(start->routine, start->parameter);
}

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                               LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    const auto create = reinterpret_cast<TCreateThread>(createThreadHook.original);
    auto start = std::make_unique<TThreadStart>(TThreadStart{routine, parameter});
    DWORD id = 0;
    // Suspended until its entry stands, so that an early end cannot leave the entry behind.
    const HANDLE thread = create(security, stackSize, &HookedThreadStart, start.get(), flags | CREATE_SUSPENDED, &id);
    if (!thread)
        return nullptr;
    start.release(); // the thread owns it now
    SetThreadEntry(id, thread, {}, GetCurrentThreadId(), reinterpret_cast<const void*>(routine), {});
    if ((flags & CREATE_SUSPENDED) == 0)
        ResumeThread(thread);
    if (threadId)
        *threadId = id;
    SetLastError(0);
    return thread;
}

BOOL WINAPI QueueUserWorkItemHook(LPTHREAD_START_ROUTINE routine, PVOID context, ULONG flags)
{
    const auto queue = reinterpret_cast<TQueueUserWorkItem>(workItemHook.original);
    auto start = std::make_unique<TThreadStart>(TThreadStart{routine, context});
    if (!queue(&HookedWorkItem, start.get(), flags))
        return FALSE;
    start.release(); // the work item owns it now
    return TRUE;
}

} // namespace

bool InstallThreadHooks()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (installed)
        return true;
    if (!LibraryInMainProgram())
        return false;
    const bool threads = HookImport(createThreadHook, true);
    const bool workItems = HookImport(workItemHook, true);
    installed = threads || workItems;
    return installed;
}

void RemoveThreadHooks()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (!installed)
        return;
    UnhookImport(createThreadHook, true);
    UnhookImport(workItemHook, true);
    installed = false;
}

#if defined(__i386__)
DWORD CallThreadRoutine(LPTHREAD_START_ROUTINE routine, void* parameter)
{
    // The stack pointer is kept in a callee-saved register across the call and restored after
    // it, whatever the routine took off the stack.
    DWORD result;
    asm volatile("movl %%esp, %%esi\n\t"
                 "pushl %2\n\t"
                 "call *%1\n\t"
                 "movl %%esi, %%esp"
                 : "=a"(result)
                 : "r"(routine), "r"(parameter)
                 : "esi", "ecx", "edx", "memory", "cc");
    return result;
}
#else
DWORD CallThreadRoutine(LPTHREAD_START_ROUTINE routine, void* parameter)
{
    return routine(parameter);
}
#endif
