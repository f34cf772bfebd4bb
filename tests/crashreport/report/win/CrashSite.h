#pragma once
// A test process's crash: a thread that faults at one of two chosen sites and waits, inside the
// first exception handler, with its stack as it was at the fault, until the test releases it.
#include <windows.h>

#include <optional>
#include <thread>

#include "text/ZelTypes.h"

enum class TCrashSite { A, B };

class TCrash {
public:
    // Starts the thread, named as given (unnamed for an empty name), and waits for its fault.
    TCrash(TCrashSite site, const UnicodeString& name);
    ~TCrash();
    TCrash(const TCrash&) = delete;
    TCrash& operator=(const TCrash&) = delete;

    uint32_t ThreadId() const { return threadId_; }
    const CONTEXT& Context() const { return context_; }
    uintptr_t Address() const { return address_; }
    bool Captured() const { return captured_; }

private:
    static LONG CALLBACK Capture(EXCEPTION_POINTERS* pointers);
    void Run(TCrashSite site, const UnicodeString& name);

    HANDLE faulted_;
    HANDLE release_;
    std::thread thread_;
    uint32_t threadId_ = 0;
    CONTEXT context_{};
    uintptr_t address_ = 0;
    bool captured_ = false;
    void* handler_ = nullptr;
};

// Threads that wait a few calls deep until the object goes, each named as given.
class TWaitingThreads {
public:
    explicit TWaitingThreads(std::initializer_list<UnicodeString> names);
    ~TWaitingThreads();
    TWaitingThreads(const TWaitingThreads&) = delete;
    TWaitingThreads& operator=(const TWaitingThreads&) = delete;
    uint32_t ThreadId(size_t index) const { return ids_[index]; }
    HANDLE Handle(size_t index) { return pthread_gethandle(threads_[index].native_handle()); }

private:
    HANDLE release_;
    HANDLE ready_;
    std::vector<std::thread> threads_;
    std::vector<uint32_t> ids_;
};
