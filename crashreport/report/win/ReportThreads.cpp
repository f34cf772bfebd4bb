#include "ReportThreads.h"

#include <algorithm>
#include <optional>

#include "WinHandle.h"
#include "engine/win/ProcessLists.h"
#include "report/ThreadSection.h"
#include "threads/ThreadNames.h"

namespace {

struct TThreadState {
    bool suspended = false;
    int priority = 0;
};

TThreadState StateOf(uint32_t threadId)
{
    if (threadId == GetCurrentThreadId()) {
        const int priority = GetThreadPriority(GetCurrentThread());
        return {false, priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority};
    }
    const TWinHandle thread(OpenThreadHandle(threadId, THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION));
    if (!thread)
        return {};
    TThreadState state;
    const int priority = GetThreadPriority(thread.Get());
    state.priority = priority == THREAD_PRIORITY_ERROR_RETURN ? 0 : priority;
    const DWORD count = SuspendThread(thread.Get());
    if (count != static_cast<DWORD>(-1)) {
        ResumeThread(thread.Get());
        state.suspended = count > 0;
    }
    return state;
}

// ThreadQuerySetWin32StartAddress: the routine given when the thread was created.
constexpr ULONG kThreadStartAddressClass = 9;
using TQueryThread = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

UnicodeString NameOf(uint32_t threadId)
{
    const std::optional<TThreadEntryInfo> entry = GetThreadEntry(threadId);
    return entry ? entry->name : UnicodeString();
}

TReportThread Describe(uint32_t threadId, int innerLevel)
{
    TReportThread thread;
    thread.threadId = threadId;
    thread.innerLevel = innerLevel;
    const TThreadState state = StateOf(threadId);
    thread.title = ThreadSectionTitle({NameOf(threadId), threadId, innerLevel, state.suspended, state.priority});
    thread.creatorName = CreatorNameOf(threadId);
    thread.startAddress = ThreadStartAddressOf(threadId);
    return thread;
}

uint64_t CreationTime(uint32_t threadId)
{
    const TWinHandle thread(OpenThreadHandle(threadId, THREAD_QUERY_INFORMATION));
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!thread || !GetThreadTimes(thread.Get(), &created, &exited, &kernel, &user))
        return UINT64_MAX;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

UnicodeString CreatorNameOf(uint32_t threadId)
{
    const std::optional<TThreadEntryInfo> entry = GetThreadEntry(threadId);
    return entry && entry->creatorThreadId != 0 ? NameOf(entry->creatorThreadId) : UnicodeString();
}

uintptr_t ThreadStartAddressOf(uint32_t threadId)
{
    if (const std::optional<TThreadEntryInfo> entry = GetThreadEntry(threadId); entry && entry->startAddress)
        return reinterpret_cast<uintptr_t>(entry->startAddress);
    const auto query = reinterpret_cast<TQueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const TWinHandle thread(OpenThreadHandle(threadId, THREAD_QUERY_INFORMATION));
    void* start = nullptr;
    if (!query || !thread || query(thread.Get(), kThreadStartAddressClass, &start, sizeof start, nullptr) != 0)
        return 0;
    return reinterpret_cast<uintptr_t>(start);
}

uint32_t MainThreadId()
{
    uint32_t main = 0;
    uint64_t earliest = UINT64_MAX;
    for (const uint32_t threadId : EnumerateThreads()) {
        const uint64_t created = CreationTime(threadId);
        if (main == 0 || created < earliest) {
            main = threadId;
            earliest = created;
        }
    }
    return main;
}

std::vector<TReportThread> PlanThreads(const TReportSubject& subject)
{
    std::vector<TReportThread> threads;
    const uint32_t mainThread = MainThreadId();
    const bool exception = !subject.frozen && !subject.processTrace && subject.crashedThreadId != 0;
    if (exception) {
        TReportThread crashed = Describe(subject.crashedThreadId, 0);
        crashed.exceptionThread = true;
        threads.push_back(crashed);
        for (size_t i = 0; i < subject.innerExceptions.size(); ++i) {
            const TInnerExceptionFacts& inner = subject.innerExceptions[i];
            TReportThread entry = Describe(inner.threadId, static_cast<int>(i + 1));
            entry.innerClass = inner.className;
            entry.innerMessage = inner.message;
            threads.push_back(entry);
        }
    }
    if (!exception || subject.crashedThreadId != mainThread)
        threads.push_back(Describe(subject.frozen && subject.crashedThreadId ? subject.crashedThreadId : mainThread, 0));
    if (!subject.options.listThreads) {
        const uint32_t first = threads.front().threadId;
        threads.erase(std::find_if(threads.begin(), threads.end(),
                                   [first](const TReportThread& thread) { return thread.threadId != first; }),
                      threads.end());
        return threads;
    }
    for (const uint32_t threadId : EnumerateThreads()) {
        const bool listed = std::any_of(threads.begin(), threads.end(),
                                        [threadId](const TReportThread& thread) { return thread.threadId == threadId; });
        const bool hidden = std::find(subject.hiddenThreads.begin(), subject.hiddenThreads.end(), threadId) !=
                            subject.hiddenThreads.end();
        if (!listed && !hidden)
            threads.push_back(Describe(threadId, 0));
    }
    return threads;
}
