#pragma once
// A sink that keeps copies of what the capture hands it, installed while it lives.
#include <windows.h>

#include <mutex>
#include <vector>

#include "capture/win/ExceptionSink.h"

struct TRecordedException {
    TCaughtException caught;
    bool hadContext = false;
    DWORD thread = 0;
    DWORD faultCode = 0; // of the fault's record, when there was one
};

class TRecordingSink : public IExceptionSink {
public:
    TRecordingSink() { SetExceptionSink(this); }
    ~TRecordingSink() override { SetExceptionSink(nullptr); }
    TRecordingSink(const TRecordingSink&) = delete;
    TRecordingSink& operator=(const TRecordingSink&) = delete;

    void HandleException(const TCaughtException& exception) override
    {
        const std::lock_guard<std::mutex> guard(lock_);
        TRecordedException recorded{exception, exception.context != nullptr, GetCurrentThreadId()};
        recorded.caught.context = nullptr; // not ours to keep
        recorded.caught.record = nullptr;
        recorded.faultCode = exception.record ? exception.record->ExceptionCode : 0;
        recorded_.push_back(recorded);
    }
    DWORD HandlingThreadId() const override { return handlingThread; }

    std::vector<TRecordedException> Recorded() const
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return recorded_;
    }

    DWORD handlingThread = 0;

private:
    mutable std::mutex lock_;
    std::vector<TRecordedException> recorded_;
};
