#include "capture/win/ThreadHooks.h"

#include <memory>
#include <mutex>

#include "capture/win/ImportHooks.h"
#include "capture/win/ThreadCreationCall.h"
#include "patch/CodePatchTable.h"
#include "threads/ThreadNames.h"

namespace {

using TCreateThread = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
using TQueueUserWorkItem = BOOL(WINAPI*)(LPTHREAD_START_ROUTINE, PVOID, ULONG);
using TCreateRemoteThread = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                            LPDWORD);
using TCreateRemoteThreadEx = HANDLE(WINAPI*)(HANDLE, LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID,
                                              DWORD, LPPROC_THREAD_ATTRIBUTE_LIST, LPDWORD);

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

// Creates the thread through create(start, record, flags, &id) with the library's start routine
// and enters it into the thread-name list before it runs.
template <class Create>
HANDLE CreateListedThread(Create&& create, LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags,
                          LPDWORD threadId)
{
    auto start = std::make_unique<TThreadStart>(TThreadStart{routine, parameter});
    DWORD id = 0;
    // Suspended until its entry stands, so that an early end cannot leave the entry behind.
    const HANDLE thread = create(&HookedThreadStart, start.get(), flags | CREATE_SUSPENDED, &id);
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

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE routine,
                               LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    const auto create = reinterpret_cast<TCreateThread>(createThreadHook.original);
    return CreateListedThread(
        [&](LPTHREAD_START_ROUTINE start, void* record, DWORD creationFlags, LPDWORD id) {
            return create(security, stackSize, start, record, creationFlags, id);
        },
        routine, parameter, flags, threadId);
}

// The redirected call inside CreateThread: its old target and the patch that undoes it.
const void* creatorOriginal = nullptr;
TCodePatchTable& RedirectPatches()
{
    static TCodePatchTable patches;
    return patches;
}

bool IsThisProcess(HANDLE process)
{
    return GetProcessId(process) == GetCurrentProcessId();
}

HANDLE WINAPI CreateRemoteThreadHook(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                     LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    const auto create = reinterpret_cast<TCreateRemoteThread>(creatorOriginal);
    if (!IsThisProcess(process))
        return create(process, security, stackSize, routine, parameter, flags, threadId);
    return CreateListedThread(
        [&](LPTHREAD_START_ROUTINE start, void* record, DWORD creationFlags, LPDWORD id) {
            return create(process, security, stackSize, start, record, creationFlags, id);
        },
        routine, parameter, flags, threadId);
}

HANDLE WINAPI CreateRemoteThreadExHook(HANDLE process, LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                       LPTHREAD_START_ROUTINE routine, LPVOID parameter, DWORD flags,
                                       LPPROC_THREAD_ATTRIBUTE_LIST attributes, LPDWORD threadId)
{
    const auto create = reinterpret_cast<TCreateRemoteThreadEx>(creatorOriginal);
    if (!IsThisProcess(process))
        return create(process, security, stackSize, routine, parameter, flags, attributes, threadId);
    return CreateListedThread(
        [&](LPTHREAD_START_ROUTINE start, void* record, DWORD creationFlags, LPDWORD id) {
            return create(process, security, stackSize, start, record, creationFlags, attributes, id);
        },
        routine, parameter, flags, threadId);
}

// Sends CreateThread's own call of the creating routine to the matching hook.
bool RedirectCreationCall()
{
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const std::optional<TCreationCall> call =
        FindCreationCall(kernel32 ? reinterpret_cast<const void*>(GetProcAddress(kernel32, "CreateThread")) : nullptr);
    if (!call)
        return false;
    const void* hook = call->extended ? reinterpret_cast<const void*>(&CreateRemoteThreadExHook)
                                      : reinterpret_cast<const void*>(&CreateRemoteThreadHook);
    creatorOriginal = call->target;
    const void* value = hook;
    if (!call->throughPointer) {
        const auto next = reinterpret_cast<uintptr_t>(call->site) + 4;
        value = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(hook) - next);
    }
    return RedirectPatches().PatchPointer(call->site, value);
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
    const bool threads = RedirectCreationCall() || HookImport(createThreadHook, true);
    const bool workItems = HookImport(workItemHook, true);
    installed = threads || workItems;
    return installed;
}

void RemoveThreadHooks()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (!installed)
        return;
    RedirectPatches().ClearPatches();
    UnhookImport(createThreadHook, true);
    UnhookImport(workItemHook, true);
    installed = false;
}

bool ThreadCreationRedirected()
{
    return RedirectPatches().Count() > 0;
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
