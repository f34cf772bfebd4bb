#include "ProcessProbe.h"

#include "WinHandle.h"

#include <tlhelp32.h>

namespace {

// The system hands out the lowest free handle values, so a test process stays far below.
constexpr uintptr_t kHighestProbedHandle = 0x4000;

double Milliseconds(const FILETIME& kernel, const FILETIME& user)
{
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

} // namespace

size_t OpenHandleCount()
{
    size_t count = 0;
    for (uintptr_t value = 4; value < kHighestProbedHandle; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

std::vector<DWORD> ThreadIdsOfProcess()
{
    std::vector<DWORD> ids;
    TWinHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ids.push_back(entry.th32ThreadID);
    }
    return ids;
}

double ThreadCpuMs(DWORD threadId)
{
    TWinHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
    FILETIME creation, exit, kernel, user;
    if (!thread || !GetThreadTimes(thread.Get(), &creation, &exit, &kernel, &user))
        return 0;
    return Milliseconds(kernel, user);
}

double ProcessCpuMs()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    return Milliseconds(kernel, user);
}
