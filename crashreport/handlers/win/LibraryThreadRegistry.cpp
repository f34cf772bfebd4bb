#include "handlers/win/LibraryThreadRegistry.h"

#include <algorithm>
#include <mutex>

#include "handlers/win/KernelHandle.h"

namespace {

struct TRegisteredThread {
    uint32_t threadId;
    TKernelHandle thread; // held so that the id is not given to another thread meanwhile
};

struct TRegistry {
    std::mutex lock;
    std::vector<TRegisteredThread> threads;

    // Drops the threads that ended without leaving (terminated); under the lock.
    void Prune()
    {
        std::erase_if(threads, [](const TRegisteredThread& entry) {
            return WaitForSingleObject(entry.thread.Get(), 0) == WAIT_OBJECT_0;
        });
    }
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

} // namespace

TLibraryThreadRegistration::TLibraryThreadRegistration()
{
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    registry.Prune();
    registry.threads.push_back({GetCurrentThreadId(), TKernelHandle(thread)});
}

TLibraryThreadRegistration::~TLibraryThreadRegistration()
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    const uint32_t self = GetCurrentThreadId();
    std::erase_if(registry.threads, [self](const TRegisteredThread& entry) { return entry.threadId == self; });
}

std::vector<uint32_t> RegisteredLibraryThreads()
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    registry.Prune();
    std::vector<uint32_t> ids;
    for (const TRegisteredThread& entry : registry.threads)
        ids.push_back(entry.threadId);
    return ids;
}

bool IsRegisteredLibraryThread(uint32_t threadId)
{
    const std::vector<uint32_t> ids = RegisteredLibraryThreads();
    return std::find(ids.begin(), ids.end(), threadId) != ids.end();
}
