#include "serial/ScComPortCoreThread.h"

#include "runtime/FaultProbe.h"
#include "runtime/FaultReport.h"
#include "runtime/LibraryUnload.h"
#include "serial/ScComPortCore.h"
#include "serial/SyncDispatch.h"
#include "win32/ThreadLife.h"
#include "Ticks.h"

#include <process.h>

#include <array>

namespace {

constexpr DWORD kPollIntervalMs = 200;
constexpr DWORD kPurgeAnswerTimeoutMs = 2000;
// After cancelling an overlapped operation, how long to wait for the system to let go of
// its record.
constexpr DWORD kCancelTimeoutMs = 2000;
// A device that refuses writes is retried at this pace rather than at full speed.
constexpr DWORD kFailedWriteRetryMs = 50;

constexpr std::array<int, 7> kSystemPriorities{
    THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
    THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
};

TWinHandle NewEvent(bool manualReset)
{
    TWinHandle event(CreateEventA(nullptr, manualReset, FALSE, nullptr));
    if (!event)
        throw EScComPortCoreError("Error creating threads");
    return event;
}

// Names the thread for debuggers where the system offers it.
void NameCurrentThread(const wchar_t* name)
{
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto setDescription =
        reinterpret_cast<SetDescription>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
    if (setDescription)
        setDescription(GetCurrentThread(), name);
}

// Lets the system finish with an overlapped record before it is reused or freed.
void CancelAndWait(HANDLE device, const OVERLAPPED& overlapped)
{
    CancelIo(device);
    WaitForSingleObject(overlapped.hEvent, kCancelTimeoutMs);
}

} // namespace

// ---- TScComPortCoreThread

TScComPortCoreThread::TScComPortCoreThread(TScComPortCore& core, const wchar_t* name)
    : core_(core), device_(core.Handle()), name_(name), stopEvent_(NewEvent(true)), finished_(NewEvent(true))
{
}

TScComPortCoreThread::~TScComPortCoreThread()
{
    Join();
}

bool TScComPortCoreThread::Start()
{
    thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Entry, this, 0, nullptr)));
    return thread_.Valid();
}

void TScComPortCoreThread::SetPriority(TScThreadPriority priority)
{
    if (thread_)
        SetThreadPriority(thread_.Get(), kSystemPriorities.at(static_cast<size_t>(priority)));
}

void TScComPortCoreThread::StopThread()
{
    Terminate();
    Join();
}

void TScComPortCoreThread::Join()
{
    if (!thread_)
        return;
    SetEvent(stopEvent_.Get());
    WaitDispatchingSentMessages(finished_.Get(), INFINITE);
    WaitForSingleObject(thread_.Get(), ThreadExitGraceMs());
    thread_.Reset();
}

unsigned __stdcall TScComPortCoreThread::Entry(void* self)
{
    auto* thread = static_cast<TScComPortCoreThread*>(self);
    // Whatever ends the body, the port stays usable for closing.
    if (const std::exception_ptr fault = RunThreadBody([thread] {
            NameCurrentThread(thread->name_);
            thread->Execute();
        }))
        thread->core_.ThreadFailed(fault);
    FinishThread(thread->finished_.Get());
    return 0;
}

// ---- TScComPortEventThread

TScComPortEventThread::TScComPortEventThread(TScComPortCore& core, TScCoreEventMethod callback)
    : TScComPortCoreThread(core, L"{ScComPortCore} TScComPortEventThread"),
      callback_(callback),
      lineWaitEvent_(NewEvent(true))
{
}

void TScComPortEventThread::StopThread()
{
    reporting_ = false;
    Terminate();
    SetCommMask(device_, 0);
    PurgeComm(device_, PURGE_RXABORT | PURGE_RXCLEAR);
    TScComPortCoreThread::StopThread();
}

// Incoming bytes are found by the poll of the input queue at least every interval, even
// while line events or output-empty reports keep the wait busy.
void TScComPortEventThread::Execute()
{
    ResetEvent(core_.outputEmptyEvent_.Get());
    SetEvent(core_.startedEvent_.Get());
    TTickDeadline nextPoll(GetTickCount(), kPollIntervalMs);
    while (!Terminated()) {
        FaultPoint("serial-event");
        if (state_ == TLineWaitState::Idle)
            StartLineWait();
        const std::array<HANDLE, 3> handles{StopEvent(), core_.outputEmptyEvent_.Get(), lineWaitEvent_.Get()};
        const DWORD count = state_ == TLineWaitState::Pending ? 3 : 2;
        const DWORD result =
            WaitForMultipleObjects(count, handles.data(), FALSE, nextPoll.Remaining(GetTickCount()));
        if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) {
            Terminate();
            break;
        }
        if (result == WAIT_OBJECT_0 + 1)
            Report(TScCoreEvent::ceOutFree, 0);
        else if (result == WAIT_OBJECT_0 + 2)
            FetchLineEvent();
        if (nextPoll.Remaining(GetTickCount()) == 0) {
            PollInputQueue();
            nextPoll.Restart(GetTickCount(), kPollIntervalMs);
        }
    }
    AbandonLineWait();
}

void TScComPortEventThread::StartLineWait()
{
    lineWait_ = {};
    lineWait_.hEvent = lineWaitEvent_.Get();
    ResetEvent(lineWaitEvent_.Get());
    lineMask_ = 0;
    if (WaitCommEvent(device_, &lineMask_, &lineWait_)) {
        HandleLineMask(lineMask_);
    } else if (GetLastError() == ERROR_IO_PENDING) {
        state_ = TLineWaitState::Pending;
        core_.SetArrivalsReported((core_.EventMask() & EV_RXCHAR) != 0);
    } else {
        EnterPollOnly(); // e.g. a device that cannot report line events
    }
}

void TScComPortEventThread::EnterPollOnly()
{
    state_ = TLineWaitState::PollOnly;
    core_.SetArrivalsReported(false);
}

void TScComPortEventThread::FetchLineEvent()
{
    DWORD transferred = 0;
    const bool fetched = GetOverlappedResult(device_, &lineWait_, &transferred, FALSE);
    ResetEvent(lineWaitEvent_.Get());
    if (fetched)
        HandleLineMask(lineMask_);
    else
        EnterPollOnly(); // a result that cannot be fetched would spin
}

void TScComPortEventThread::HandleLineMask(DWORD mask)
{
    if (mask == 0) {
        EnterPollOnly();
        return;
    }
    state_ = TLineWaitState::Idle;
    if (mask & EV_RXCHAR)
        core_.SignalInput();
    Report(TScCoreEvent::ceLineEvent, mask);
}

void TScComPortEventThread::PollInputQueue()
{
    const COMSTAT status = core_.ComStatus();
    if (status.cbInQue > 0) {
        core_.SignalInput();
        Report(TScCoreEvent::ceNeedReadData, status.cbInQue);
    }
}

void TScComPortEventThread::AbandonLineWait()
{
    if (state_ == TLineWaitState::Pending)
        CancelAndWait(device_, lineWait_);
}

void TScComPortEventThread::Report(TScCoreEvent kind, uint32_t data)
{
    if (!reporting_ || !callback_)
        return;
    try {
        callback_(&core_, TScCoreEventRecord{kind, data, nullptr});
    } catch (...) {
        HandleException(std::current_exception());
    }
}

// The exception travels to the owner as a report of its own; a failure to deliver that
// report is dropped, so one bad report never stops the thread.
void TScComPortEventThread::HandleException(std::exception_ptr exception)
{
    if (!reporting_ || !callback_)
        return;
    try {
        callback_(&core_, TScCoreEventRecord{TScCoreEvent::ceException, 0, exception});
    } catch (...) {
    }
}

// ---- TScComPortWriteThread

TScComPortWriteThread::TScComPortWriteThread(TScComPortCore& core, uint32_t ringSize)
    : TScComPortCoreThread(core, L"{ScComPortCore} TScComPortWriteThread"),
      purgeRequest_(NewEvent(false)),
      purgeDone_(NewEvent(false)),
      dataAvailable_(NewEvent(false)),
      writeEvent_(NewEvent(true)),
      ring_(ringSize)
{
}

bool TScComPortWriteThread::Enqueue(const void* data, uint32_t count)
{
    if (!ring_.Write(data, count))
        return false;
    SetEvent(dataAvailable_.Get());
    return true;
}

bool TScComPortWriteThread::PurgeOutput()
{
    ResetEvent(purgeDone_.Get());
    SetEvent(purgeRequest_.Get());
    if (WaitForSingleObject(purgeDone_.Get(), kPurgeAnswerTimeoutMs) != WAIT_OBJECT_0)
        return false;
    return purgeResult_;
}

void TScComPortWriteThread::StopThread()
{
    PurgeOutput();
    TScComPortCoreThread::StopThread();
}

void TScComPortWriteThread::Execute()
{
    SetEvent(core_.startedEvent_.Get());
    const std::array<HANDLE, 3> handles{StopEvent(), purgeRequest_.Get(), dataAvailable_.Get()};
    while (!Terminated()) {
        const DWORD result = WaitForMultipleObjects(3, handles.data(), FALSE, INFINITE);
        if (result == WAIT_OBJECT_0 + 1)
            PurgeNow();
        else if (result == WAIT_OBJECT_0 + 2)
            WriteNextBlock();
        else
            Terminate();
    }
}

void TScComPortWriteThread::WriteNextBlock()
{
    const uint8_t* block = nullptr;
    DWORD length = 0;
    {
        TLockGuard guard(core_.outputLock_);
        block = ring_.ReadPointer();
        length = ring_.LinearReadCount();
    }
    if (length == 0)
        return;
    FaultPoint("serial-write");
    write_ = {};
    write_.hEvent = writeEvent_.Get();
    ResetEvent(writeEvent_.Get());
    DWORD written = 0;
    if (!WriteFile(device_, block, length, &written, &write_)) {
        written = 0;
        if (GetLastError() == ERROR_IO_PENDING) {
            const TWriteOutcome outcome = AwaitWrite(written);
            if (outcome == TWriteOutcome::Stopped) {
                Terminate();
                return;
            }
            if (outcome == TWriteOutcome::PurgeRequested) {
                PurgeNow();
                return;
            }
        }
    }
    AfterWrite(written);
}

TScComPortWriteThread::TWriteOutcome TScComPortWriteThread::AwaitWrite(DWORD& written)
{
    const std::array<HANDLE, 3> handles{StopEvent(), purgeRequest_.Get(), writeEvent_.Get()};
    const DWORD result = WaitForMultipleObjects(3, handles.data(), FALSE, INFINITE);
    if (result == WAIT_OBJECT_0 + 2) {
        if (!GetOverlappedResult(device_, &write_, &written, FALSE))
            written = 0;
        return TWriteOutcome::Completed;
    }
    CancelPendingWrite();
    return result == WAIT_OBJECT_0 + 1 ? TWriteOutcome::PurgeRequested : TWriteOutcome::Stopped;
}

void TScComPortWriteThread::CancelPendingWrite()
{
    CancelAndWait(device_, write_);
}

// Whatever went out leaves the ring; the rest is written next, so nothing is sent twice.
void TScComPortWriteThread::AfterWrite(DWORD written)
{
    bool empty = false;
    {
        TLockGuard guard(core_.outputLock_);
        ring_.Remove(written);
        empty = ring_.UsedCount() == 0;
    }
    if (empty) {
        SetEvent(core_.outputEmptyEvent_.Get());
        return;
    }
    if (written == 0)
        WaitForSingleObject(StopEvent(), kFailedWriteRetryMs);
    SetEvent(dataAvailable_.Get());
}

void TScComPortWriteThread::PurgeNow()
{
    {
        TLockGuard guard(core_.outputLock_);
        ResetEvent(dataAvailable_.Get());
        ring_.Clear();
    }
    purgeResult_ = PurgeComm(device_, PURGE_TXABORT | PURGE_TXCLEAR) != FALSE;
    SetEvent(purgeDone_.Get());
}
