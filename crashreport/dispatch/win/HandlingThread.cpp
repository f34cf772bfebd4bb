#include "HandlingThread.h"

#include "dispatch/win/LoaderLockProbe.h"
#include "threads/ThreadNames.h"

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
    handler_ = std::move(handler);
    DWORD threadId = 0;
    thread_.Reset(CreateThread(nullptr, 0, &THandlingThread::ThreadMain, this, CREATE_SUSPENDED, &threadId));
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
        writeEnd_.Reset();
        WaitForSingleObject(thread_.Get(), kStopWaitMs);
    } else {
        writeEnd_.Reset();
    }
    readEnd_.Reset();
    if (WaitForSingleObject(thread_.Get(), kLastWaitMs) == WAIT_TIMEOUT)
        TerminateThread(thread_.Get(), 1);
    SetThreadEntry(threadId_.load(), nullptr, {}, 0, nullptr, {});
    thread_.Reset();
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

DWORD WINAPI THandlingThread::ThreadMain(void* self)
{
    try {
        static_cast<THandlingThread*>(self)->Loop();
    } catch (...) {
        // The thread ends; raising threads then find no reader and handle nothing.
    }
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
