#include "serial/ScComPortCore.h"

#include "win32/ThreadLife.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace {

// A read only asks for queued bytes, so it completes at once; the bound only keeps a device
// that misbehaves from holding the device lock.
constexpr DWORD kReadWaitMs = 500;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

// Reads return at once with whatever is queued; writes never time out.
constexpr COMMTIMEOUTS kNonBlockingTimeouts{MAXDWORD, 0, 0, 0, 0};

TWinHandle NewEvent(bool manualReset)
{
    return TWinHandle(CreateEventA(nullptr, manualReset, FALSE, nullptr));
}

} // namespace

TScComPortCore::TScComPortCore()
    : startedEvent_(NewEvent(false)), outputEmptyEvent_(NewEvent(false)), inputEvent_(NewEvent(false)),
      readEvent_(NewEvent(true))
{
    dcb_.DCBlength = sizeof(DCB);
}

TScComPortCore::~TScComPortCore()
{
    CloseSequence();
}

bool TScComPortCore::OpenComPort(int32_t number)
{
    if (opened_ && !failed_)
        return false;
    CloseSequence();
    comNumber_ = number;
    if (number < 1)
        Fail("Invalid port number (COM%d)");
    OpenDevice();
    try {
        SetUpDevice();
        StartThreads();
    } catch (...) {
        CloseSequence();
        throw;
    }
    opened_ = true;
    return true;
}

void TScComPortCore::OpenDevice()
{
    const std::string name = "\\\\.\\COM" + std::to_string(comNumber_);
    handle_.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr));
    if (handle_)
        return;
    handle_.Release();
    if (GetLastError() == ERROR_FILE_NOT_FOUND)
        Fail("Invalid port number (COM%d)");
    Fail("Can't open device COM%d");
}

void TScComPortCore::SetUpDevice()
{
    COMMTIMEOUTS timeouts = kNonBlockingTimeouts;
    if (!SetCommTimeouts(Handle(), &timeouts))
        throw EScComPortCoreError("Error setting timeouts");
    if (!SetupComm(Handle(), inBufSize_, outBufSize_))
        throw EScComPortCoreError("Error initializing buffers");
    if (!SetCommMask(Handle(), eventMask_))
        throw EScComPortCoreError(" Error setting EventMask");
    ApplyDCB();
    errors_ = 0;
}

void TScComPortCore::ApplyDCB()
{
    dcb_.DCBlength = sizeof(DCB);
    if (SetCommState(Handle(), &dcb_))
        return;
    GetCommState(Handle(), &dcb_);
    throw EScComPortCoreError("Error setting parameters from DCB");
}

void TScComPortCore::StartThreads()
{
    writeThread_ = std::make_unique<TScComPortWriteThread>(*this, outBufSize_);
    StartThread(*writeThread_, writeThreadPriority_);
    active_ = true;
    eventThread_ = std::make_unique<TScComPortEventThread>(*this, onPortEvent_);
    StartThread(*eventThread_, eventThreadPriority_);
}

void TScComPortCore::StartThread(TScComPortCoreThread& thread, TScThreadPriority priority)
{
    if (!thread.Start() || WaitForSingleObject(startedEvent_.Get(), kThreadStartWaitMs) != WAIT_OBJECT_0)
        throw EScComPortCoreError("Error creating threads");
    thread.SetPriority(priority);
}

void TScComPortCore::CloseComPort()
{
    if (!opened_)
        return;
    CloseSequence();
}

// The threads are joined without the device lock: the event thread's poll takes it.
void TScComPortCore::CloseSequence()
{
    if (!handle_)
        return;
    active_ = false;
    SetArrivalsReported(false);
    {
        TLockGuard guard(deviceLock_);
        PurgeComm(Handle(), kPurgeAll);
    }
    if (eventThread_)
        eventThread_->StopThread();
    if (writeThread_)
        writeThread_->StopThread();
    eventThread_.reset();
    writeThread_.reset();
    TLockGuard guard(deviceLock_);
    handle_.Reset();
    opened_ = false;
    failed_ = false;
}

// Only the first failure of an open port counts; one during the close sequence is the close's.
// The device and the other worker stay until the port is closed.
void TScComPortCore::ThreadFailed(std::exception_ptr fault) noexcept
{
    if (!active_.exchange(false))
        return;
    failed_ = true;
    SetArrivalsReported(false);
    try {
        if (onPortEvent_)
            onPortEvent_(this, TScCoreEventRecord{TScCoreEvent::ceThreadFault, 0, fault});
    } catch (...) {
        // The owner learns of it when it next looks at the port.
    }
}

bool TScComPortCore::WriteData(const void* buffer, uint32_t count)
{
    if (!active_)
        return false;
    TLockGuard guard(outputLock_);
    return writeThread_ && writeThread_->Enqueue(buffer, count);
}

int32_t TScComPortCore::ReadData(void* buffer, uint32_t count)
{
    if (!active_)
        return -1;
    TLockGuard guard(deviceLock_);
    const DWORD requested = std::min<DWORD>(count, QueryStatusLocked().cbInQue);
    if (requested == 0)
        return 0;
    read_ = {};
    read_.hEvent = readEvent_.Get();
    ResetEvent(readEvent_.Get());
    DWORD got = 0;
    if (ReadFile(Handle(), buffer, requested, &got, &read_))
        return static_cast<int32_t>(got);
    if (GetLastError() != ERROR_IO_PENDING)
        return 0;
    return static_cast<int32_t>(AwaitRead(requested));
}

// Waits a bounded time for a pending read; one that does not complete is cancelled, so the
// read record is free again when the device lock is released.
DWORD TScComPortCore::AwaitRead(DWORD requested)
{
    if (WaitForSingleObject(readEvent_.Get(), kReadWaitMs) != WAIT_OBJECT_0) {
        CancelIo(Handle());
        WaitForSingleObject(readEvent_.Get(), kReadWaitMs);
    }
    DWORD got = 0;
    if (!GetOverlappedResult(Handle(), &read_, &got, FALSE))
        return 0;
    return std::min(got, requested);
}

bool TScComPortCore::AwaitInput(uint32_t maxMs)
{
    if (!active_)
        return false;
    const DWORD wait = arrivalsReported_ ? maxMs : std::min<DWORD>(maxMs, kInputCheckMs);
    WaitForSingleObject(inputEvent_.Get(), wait);
    return true;
}

void TScComPortCore::SignalInput()
{
    SetEvent(inputEvent_.Get());
}

void TScComPortCore::SetArrivalsReported(bool reported)
{
    if (arrivalsReported_.exchange(reported) && !reported)
        SignalInput(); // a waiter that counted on the reports looks again
}

COMSTAT TScComPortCore::ComStatus()
{
    if (!active_)
        return {};
    TLockGuard guard(deviceLock_);
    return QueryStatusLocked();
}

COMSTAT TScComPortCore::QueryStatusLocked()
{
    COMSTAT status{};
    DWORD errors = 0;
    if (ClearCommError(Handle(), &errors, &status))
        errors_ |= errors;
    return status;
}

uint32_t TScComPortCore::ReadAndClearErrors()
{
    if (!active_)
        return 0;
    TLockGuard guard(deviceLock_);
    return std::exchange(errors_, 0);
}

uint32_t TScComPortCore::ModemStatus()
{
    DWORD status = 0;
    if (!active_ || !GetCommModemStatus(Handle(), &status))
        return 0;
    return status;
}

bool TScComPortCore::EscapeComm(uint32_t function)
{
    return active_ && EscapeCommFunction(Handle(), function);
}

bool TScComPortCore::PurgeRx()
{
    if (!active_)
        return false;
    TLockGuard guard(deviceLock_);
    return PurgeComm(Handle(), PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TScComPortCore::PurgeTx()
{
    return active_ && writeThread_ && writeThread_->PurgeOutput();
}

uint32_t TScComPortCore::OutBufFree()
{
    if (!active_)
        return 0;
    TLockGuard guard(outputLock_);
    return writeThread_ ? writeThread_->FreeCount() : 0;
}

void TScComPortCore::SetDCB(const DCB& dcb)
{
    dcb_ = dcb;
    if (active_)
        ApplyDCB();
}

void TScComPortCore::SetEventThreadPriority(TScThreadPriority priority)
{
    eventThreadPriority_ = priority;
    if (active_ && eventThread_)
        eventThread_->SetPriority(priority);
}

void TScComPortCore::SetWriteThreadPriority(TScThreadPriority priority)
{
    writeThreadPriority_ = priority;
    if (active_ && writeThread_)
        writeThread_->SetPriority(priority);
}

void TScComPortCore::Fail(const char* format) const
{
    char text[64];
    std::snprintf(text, sizeof text, format, comNumber_);
    throw EScComPortCoreError(text);
}
