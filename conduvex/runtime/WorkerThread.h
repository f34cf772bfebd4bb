#pragma once
// A thread owned by an object: started by the constructor, which returns once it runs
// (ThreadLife.h), asked to stop and joined by Stop and by the destructor. The body polls
// the stop request; what it throws ends the thread, reported (FaultReport.h), and is told to
// the owner on the thread.
#include "WinHandle.h"

#include <atomic>
#include <exception>
#include <functional>

class TWorkerThread {
public:
    using TBody = std::function<void(const std::atomic<bool>& stopRequested)>;
    using TFailure = std::function<void(std::exception_ptr fault)>;

    // Throws EConduvexError when the thread cannot be started.
    explicit TWorkerThread(TBody body, TFailure onFailure = {});
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // Requests the stop and waits until the body has finished, handling messages other
    // threads send to this one meanwhile, so a worker blocked in such a send cannot
    // deadlock the join.
    void Stop();

private:
    static unsigned __stdcall Entry(void* self);

    TBody body_;
    TFailure onFailure_;
    std::atomic<bool> stopRequested_ = false;
    // Set as the thread's first step and as the body's last.
    TWinHandle started_;
    TWinHandle finished_;
    TWinHandle thread_;
};
