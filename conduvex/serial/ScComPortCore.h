#pragma once
// One open COM device and the two worker threads that serve it. It knows nothing of
// components or notifications: everything it observes goes to one callback on its event
// thread (TScCoreEvent).
#include "ConduvexError.h"
#include "CriticalSection.h"
#include "serial/ScComPortCoreThread.h"
#include "serial/ScCoreEvent.h"
#include "WinHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

// Failures of opening a port.
class EScComPortCoreError : public EConduvexError {
public:
    using EConduvexError::EConduvexError;
};

class TScComPortCore {
public:
    // Received character, CTS, DSR, RLSD, break, line error, ring.
    static constexpr uint32_t kDefaultEventMask = 0x1F9;
    static constexpr uint32_t kDefaultInBufSize = 8192;
    static constexpr uint32_t kDefaultOutBufSize = 4096;
    // How long a wait for input lasts at most where the device cannot report arrivals.
    static constexpr uint32_t kInputCheckMs = 1;

    TScComPortCore();
    ~TScComPortCore();
    TScComPortCore(const TScComPortCore&) = delete;
    TScComPortCore& operator=(const TScComPortCore&) = delete;

    // False (nothing done) when already open; raises EScComPortCoreError when opening fails.
    // What is left of a port whose worker failed is closed first.
    bool OpenComPort(int32_t number);
    void CloseComPort();

    // False when closed or when the block does not fit the output ring (nothing queued).
    bool WriteData(const void* buffer, uint32_t count);
    // -1 when closed; otherwise the bytes read (never more than are queued; 0 at once when
    // nothing is).
    int32_t ReadData(void* buffer, uint32_t count);
    // Returns once bytes arrived since the last such return, or after maxMs. The event thread
    // signals arrivals: at once where the device reports received characters, else when its
    // poll finds queued input; a device that cannot report them is looked at again after at
    // most kInputCheckMs. False, at once, when closed.
    bool AwaitInput(uint32_t maxMs);
    // Zeroed when closed; collects the line errors it reports.
    COMSTAT ComStatus();
    uint32_t ReadAndClearErrors();
    uint32_t ModemStatus();
    bool EscapeComm(uint32_t function);
    bool PurgeRx();
    bool PurgeTx();
    uint32_t OutBufFree();

    const DCB& GetDCB() const { return dcb_; }
    // Applied at once when active; raises "Error setting parameters from DCB" when the device
    // refuses it (after reading the device's settings back).
    void SetDCB(const DCB& dcb);

    bool Active() const { return active_; }
    bool Opened() const { return opened_; }
    // A worker thread ended with an exception (reported as ceThreadFault): the port serves
    // nothing more until it is closed or opened again.
    bool Failed() const { return failed_; }
    int32_t ComNumber() const { return comNumber_; }
    HANDLE Handle() const { return handle_.Get(); }

    uint32_t EventMask() const { return eventMask_; }
    void SetEventMask(uint32_t mask) { eventMask_ = mask; }
    uint32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(uint32_t size) { inBufSize_ = size; }
    uint32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(uint32_t size) { outBufSize_ = size; }
    TScThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TScThreadPriority priority);
    TScThreadPriority WriteThreadPriority() const { return writeThreadPriority_; }
    void SetWriteThreadPriority(TScThreadPriority priority);

    // Set by the owner before opening; called on the event thread.
    void SetOnPortEvent(TScCoreEventMethod method) { onPortEvent_ = method; }

private:
    friend class TScComPortCoreThread;
    friend class TScComPortEventThread;
    friend class TScComPortWriteThread;

    void OpenDevice();
    void SetUpDevice();
    void ApplyDCB();
    void StartThreads();
    void StartThread(TScComPortCoreThread& thread, TScThreadPriority priority);
    void CloseSequence();
    COMSTAT QueryStatusLocked();
    // Called by the event thread: wakes AwaitInput.
    void SignalInput();
    // Set by the event thread as it learns whether the device reports received characters,
    // and cleared on closing.
    void SetArrivalsReported(bool reported);
    // Called by a worker thread that ended with the exception.
    void ThreadFailed(std::exception_ptr fault) noexcept;
    DWORD AwaitRead(DWORD requested);
    [[noreturn]] void Fail(const char* format) const;

    std::atomic<bool> active_{false};
    std::atomic<bool> failed_{false};
    int32_t comNumber_ = 0;
    DCB dcb_{};
    uint32_t eventMask_ = kDefaultEventMask;
    TWinHandle handle_;
    bool opened_ = false;
    uint32_t errors_ = 0;
    uint32_t inBufSize_ = kDefaultInBufSize;
    uint32_t outBufSize_ = kDefaultOutBufSize;
    TScCoreEventMethod onPortEvent_;
    TCriticalSection deviceLock_;
    TCriticalSection outputLock_;
    std::unique_ptr<TScComPortEventThread> eventThread_;
    TWinHandle startedEvent_;
    TWinHandle outputEmptyEvent_;
    std::unique_ptr<TScComPortWriteThread> writeThread_;
    TScThreadPriority writeThreadPriority_ = TScThreadPriority::tpHigher;
    TScThreadPriority eventThreadPriority_ = TScThreadPriority::tpNormal;
    // Set at each arrival the event thread learns of; AwaitInput waits on it.
    TWinHandle inputEvent_;
    std::atomic<bool> arrivalsReported_{false};
    // The device lock's own read record: reads happen on the owner's thread only.
    TWinHandle readEvent_;
    OVERLAPPED read_{};
};
