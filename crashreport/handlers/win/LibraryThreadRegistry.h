#pragma once
// The crash library's own passing threads (report builders) that announce themselves: reports
// leave them out and the thread pausing never holds them, since the handling of an exception
// waits for them. A thread that is terminated before it can leave is forgotten once it ended.
#include <windows.h>

#include <cstdint>
#include <vector>

// Registers the calling thread for the object's life.
class TLibraryThreadRegistration {
public:
    TLibraryThreadRegistration();
    ~TLibraryThreadRegistration();
    TLibraryThreadRegistration(const TLibraryThreadRegistration&) = delete;
    TLibraryThreadRegistration& operator=(const TLibraryThreadRegistration&) = delete;
};

// The ids of the registered threads that still run.
std::vector<uint32_t> RegisteredLibraryThreads();
bool IsRegisteredLibraryThread(uint32_t threadId);
