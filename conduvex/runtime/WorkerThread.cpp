#include "runtime/WorkerThread.h"

#include "runtime/FaultReport.h"
#include "runtime/LibraryUnload.h"
#include "ConduvexError.h"
#include "serial/SyncDispatch.h"
#include "win32/ThreadLife.h"

#include <process.h>

TWorkerThread::TWorkerThread(TBody body, TFailure onFailure)
    : body_(std::move(body)), onFailure_(std::move(onFailure)),
      started_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!started_ || !finished_)
        throw EConduvexError("Cannot start a worker thread.", kErrApi);
    const uintptr_t handle = _beginthreadex(nullptr, 0, &TWorkerThread::Entry, this, 0, nullptr);
    if (handle == 0)
        throw EConduvexError("Cannot start a worker thread.", kErrApi);
    thread_.Reset(reinterpret_cast<HANDLE>(handle));
    WaitForSingleObject(started_.Get(), kThreadStartWaitMs);
}

TWorkerThread::~TWorkerThread()
{
    Stop();
}

void TWorkerThread::Stop()
{
    if (!thread_)
        return;
    stopRequested_ = true;
    WaitDispatchingSentMessages(finished_.Get(), INFINITE);
    WaitForSingleObject(thread_.Get(), ThreadExitGraceMs());
    thread_.Reset();
}

unsigned __stdcall TWorkerThread::Entry(void* self)
{
    auto* worker = static_cast<TWorkerThread*>(self);
    SetEvent(worker->started_.Get());
    const std::exception_ptr fault = RunThreadBody([worker] { worker->body_(worker->stopRequested_); });
    if (fault && worker->onFailure_)
        RunThreadBody([worker, &fault] { worker->onFailure_(fault); });
    FinishThread(worker->finished_.Get());
    return 0;
}
