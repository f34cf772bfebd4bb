// Time to trace every thread of a process with 10 threads, each waiting a few calls deep.
// Not a test: prints its figures.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "LiveStackTrace.h"
#include "ProcessNamer.h"

namespace {

constexpr int kThreads = 10;
constexpr int kRounds = 5;

__attribute__((noinline)) void Wait(HANDLE release, int depth)
{
    if (depth > 0)
        Wait(release, depth - 1);
    else
        WaitForSingleObject(release, INFINITE);
    asm volatile("" ::: "memory");
}

} // namespace

int main()
{
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> workers;
    std::vector<HANDLE> handles;
    for (int i = 0; i < kThreads - 1; ++i) {
        workers.emplace_back([release, i] { Wait(release, 3 + i); });
        HANDLE handle = nullptr;
        DuplicateHandle(GetCurrentProcess(), pthread_gethandle(workers.back().native_handle()), GetCurrentProcess(),
                        &handle, 0, FALSE, DUPLICATE_SAME_ACCESS);
        handles.push_back(handle);
    }
    Sleep(200);
    const TProcessNamer namer;
    size_t items = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        items = TraceCurrentThread(namer, {}).items.size();
        for (HANDLE handle : handles)
            items += TraceOtherThread(handle, namer, {}).items.size();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRounds;
    std::printf("%d threads traced in %.1f ms (%zu items listed)\n", kThreads, seconds * 1e3, items);
    SetEvent(release);
    for (std::thread& worker : workers)
        worker.join();
    for (HANDLE handle : handles)
        CloseHandle(handle);
    CloseHandle(release);
    return 0;
}
