#pragma once
// The two worker threads of an open serial port: the event thread (line events and the
// poll of the input queue) and the write thread (drains the output ring into the device).
// Each owns its thread handle and is stopped and joined before it is destroyed.
#include "serial/ScCircularBuffer.h"
#include "serial/ScCoreEvent.h"
#include "WinHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

// The seven scheduling levels, in the order the settings number them.
enum class TScThreadPriority : uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

class TScComPortCoreThread {
public:
    TScComPortCoreThread(const TScComPortCoreThread&) = delete;
    TScComPortCoreThread& operator=(const TScComPortCoreThread&) = delete;
    virtual ~TScComPortCoreThread();

    // False when the system refuses the thread.
    bool Start();
    void SetPriority(TScThreadPriority priority);
    // Asks the body to end and waits until it has.
    virtual void StopThread();

protected:
    TScComPortCoreThread(TScComPortCore& core, const wchar_t* name);

    virtual void Execute() = 0;
    bool Terminated() const { return terminated_; }
    void Terminate() { terminated_ = true; }
    HANDLE StopEvent() const { return stopEvent_.Get(); }

    TScComPortCore& core_;
    const HANDLE device_;

private:
    static unsigned __stdcall Entry(void* self);
    void Join();

    const wchar_t* name_;
    TWinHandle stopEvent_;
    // Set as the body's last step.
    TWinHandle finished_;
    TWinHandle thread_;
    std::atomic<bool> terminated_{false};
};

class TScComPortEventThread : public TScComPortCoreThread {
public:
    TScComPortEventThread(TScComPortCore& core, TScCoreEventMethod callback);
    // Stops reports first, then completes the pending line-event wait, then joins.
    void StopThread() override;

protected:
    void Execute() override;

private:
    // Idle: no line-event wait outstanding; Pending: one is; PollOnly: the device cannot
    // report line events (or its report could not be fetched), so only the poll finds data.
    enum class TLineWaitState { Idle, Pending, PollOnly };

    void StartLineWait();
    void FetchLineEvent();
    void HandleLineMask(DWORD mask);
    // Arrivals are then found by the poll only.
    void EnterPollOnly();
    void PollInputQueue();
    void AbandonLineWait();
    void Report(TScCoreEvent kind, uint32_t data);
    void HandleException(std::exception_ptr exception);

    const TScCoreEventMethod callback_;
    std::atomic<bool> reporting_{true};
    TWinHandle lineWaitEvent_;
    OVERLAPPED lineWait_{};
    DWORD lineMask_ = 0;
    TLineWaitState state_ = TLineWaitState::Idle;
};

class TScComPortWriteThread : public TScComPortCoreThread {
public:
    TScComPortWriteThread(TScComPortCore& core, uint32_t ringSize);

    // Both run under the core's output lock.
    bool Enqueue(const void* data, uint32_t count);
    uint32_t FreeCount() const { return ring_.FreeCount(); }
    // Drops everything not yet written (the ring and the device's output queue); done by the
    // write thread itself, so no block is half sent. False when it does not answer in time.
    bool PurgeOutput();
    void StopThread() override;

protected:
    void Execute() override;

private:
    enum class TWriteOutcome { Completed, Stopped, PurgeRequested };

    void WriteNextBlock();
    TWriteOutcome AwaitWrite(DWORD& written);
    void CancelPendingWrite();
    void AfterWrite(DWORD written);
    void PurgeNow();

    TWinHandle purgeRequest_;
    TWinHandle purgeDone_;
    TWinHandle dataAvailable_;
    TWinHandle writeEvent_;
    OVERLAPPED write_{};
    TScCircularBuffer ring_;
    std::atomic<bool> purgeResult_{false};
};
