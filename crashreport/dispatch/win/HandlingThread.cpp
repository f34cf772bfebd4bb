#include "HandlingThread.h"

#include "dispatch/win/LoaderLockProbe.h"
#include "threads/ThreadNames.h"
#include "win32/ThreadLife.h"

#include <process.h>

namespace {

constexpr DWORD kNoThread = static_cast<DWORD>(-1);

} // namespace

bool THandlingThread::Start(THandler handler)
{
    if (thread_)
        return false;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0))
        return false;
    readEnd_.Reset(readEnd);
    writeEnd_.Reset(writeEnd);
    finished_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    handler_ = std::move(handler);
    unsigned threadId = 0;
    if (finished_)
        thread_.Reset(reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, 0, &THandlingThread::ThreadMain, this, CREATE_SUSPENDED, &threadId)));
    if (!thread_) {
        readEnd_.Reset();
        writeEnd_.Reset();
        return false;
    }
    threadId_ = threadId;
    NameThread(threadId, u"zelExcept - HandleExceptionThread");
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_HIGHEST);
    ResumeThread(thread_.Get());
    return true;
}

void THandlingThread::Stop()
{
    if (!thread_)
        return;
    ResumeThread(thread_.Get());
    if (!IsLoaderLocked(0)) {
        const THandlingRequest stop{};
        WriteRaw(&stop, sizeof stop);
    }
    // Without a writer the thread's read fails and it finishes.
    writeEnd_.Reset();
    // Under the loader lock the thread cannot end before the unload is over, but its
    // finished event tells that it runs nothing of this library any more. Only a thread
    // stuck in a report is terminated.
    if (!WaitUntilFinished(thread_.Get(), finished_.Get(), kStopWaitMs))
        TerminateThread(thread_.Get(), 1);
    readEnd_.Reset();
    SetThreadEntry(threadId_.load(), nullptr, {}, 0, nullptr, {});
    thread_.Reset();
    finished_.Reset();
    threadId_ = kNoThread;
}

bool THandlingThread::WriteRaw(const void* bytes, DWORD size)
{
    DWORD written = 0;
    return writeEnd_ && WriteFile(writeEnd_.Get(), bytes, size, &written, nullptr) && written == size;
}

DWORD THandlingThread::PendingBytes() const
{
    DWORD available = 0;
    if (!readEnd_ || !PeekNamedPipe(readEnd_.Get(), nullptr, 0, nullptr, &available, nullptr))
        return 0;
    return available;
}

bool THandlingThread::Submit(const THandlingRequest& request)
{
    if (!request.copies)
        return false;
    request.copies->AddRef();
    if (WriteRaw(&request, sizeof request))
        return true;
    request.copies->Release();
    return false;
}

unsigned __stdcall THandlingThread::ThreadMain(void* self)
{
    auto* thread = static_cast<THandlingThread*>(self);
    try {
        thread->Loop();
    } catch (...) {
        // The thread ends; raising threads then find no reader and handle nothing.
    }
    FinishThread(thread->finished_.Get());
    return 0;
}

void THandlingThread::Loop()
{
    for (;;) {
        THandlingRequest request{};
        DWORD read = 0;
        if (!ReadFile(readEnd_.Get(), &request, sizeof request, &read, nullptr))
            return;
        if (read == sizeof request && !request.event)
            return;
        if (read == sizeof request)
            HandleOne(request);
    }
}

void THandlingThread::HandleOne(const THandlingRequest& request)
{
    // The request's reference to its copies is ours now.
    const auto copies = TIntfPtr<TRequestCopies>::Attach(request.copies);
    if (!copies)
        return;
    try {
        if (handler_)
            handler_(request, *copies);
    } catch (...) {
        // One failed report must not end the handling of the next ones.
    }
    if (copies->event)
        SetEvent(copies->event.Get());
    PostThreadMessageA(request.threadId, WM_NULL, 0, 0);
}

THandlingThread& HandlingThread()
{
    static THandlingThread thread;
    return thread;
}
