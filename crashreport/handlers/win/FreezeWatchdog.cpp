#include "handlers/win/FreezeWatchdog.h"

#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"
#include "win32/MsgHandlerWindows.h"
#include "win32/ThreadLife.h"

#include <process.h>

namespace {

constexpr char16_t kThreadName[] = u"zelExcept - AntiFreezeThread";

TMsgHandlerMethod PingMethod(TFreezeWatchdog* self,
                             void (*code)(void*, HWND, UINT, WPARAM, LPARAM, LRESULT&))
{
    return {code, self};
}

// Another watchdog of the process may hold it; the stop event ends the wait. Null when stopped
// or when the process has no thread-name buffer (then nothing competes).
class TWatchdogMutex {
public:
    TWatchdogMutex(HANDLE stop, bool& stopped)
    {
        const TThreadNameBufferData* data = ThreadNameBuffer().Data();
        if (!data || !data->watchdogMutex)
            return;
        const HANDLE waits[] = {stop, data->watchdogMutex};
        const DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (result == WAIT_OBJECT_0 + 1 || result == WAIT_ABANDONED_0 + 1)
            mutex_ = data->watchdogMutex;
        else
            stopped = true;
    }
    ~TWatchdogMutex()
    {
        if (mutex_)
            ReleaseMutex(mutex_);
    }
    TWatchdogMutex(const TWatchdogMutex&) = delete;
    TWatchdogMutex& operator=(const TWatchdogMutex&) = delete;

private:
    HANDLE mutex_ = nullptr;
};

} // namespace

bool TFreezeWatchdog::Start(HWND window, int32_t freezeTimeoutMs, TFreezeReport report, void* context)
{
    if (thread_ || !window || !report)
        return false;
    windowThread_ = GetWindowThreadProcessId(window, nullptr);
    pingMessage_ = AddMsgHandler(PingMethod(this, &OnPing), 0, windowThread_);
    if (pingMessage_ == 0)
        return false;
    window_ = window;
    report_ = report;
    context_ = context;
    counter_ = std::make_unique<TFreezeCounter>(freezeTimeoutMs);
    busyCount_ = -1;
    stop_ = MakeManualEvent();
    idle_ = MakeManualEvent(true);
    finished_ = MakeManualEvent();
    unsigned id = 0;
    if (stop_ && idle_ && finished_)
        thread_ = TKernelHandle(
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadMain, this, CREATE_SUSPENDED, &id)));
    if (!thread_) {
        Stop();
        return false;
    }
    threadId_ = id;
    running_ = true;
    NameThread(id, kThreadName);
    SetThreadPriority(thread_.Get(), THREAD_PRIORITY_HIGHEST);
    ResumeThread(thread_.Get());
    return true;
}

void TFreezeWatchdog::Stop()
{
    {
        const std::lock_guard<std::mutex> guard(busyLock_);
        running_ = false;
        busyCount_ = -1;
    }
    if (stop_)
        SetEvent(stop_.Get());
    if (idle_)
        SetEvent(idle_.Get());
    if (pingMessage_)
        DelMsgHandler(PingMethod(this, &OnPing), pingMessage_, windowThread_);
    pingMessage_ = 0;
    if (thread_) {
        // Finished from system code, it may still have to wait for an unload to end.
        if (!WaitUntilFinished(thread_.Get(), finished_.Get(), kStopWaitMs))
            TerminateThread(thread_.Get(), 0);
        thread_.Reset();
        NameThread(threadId_, u"");
    }
    threadId_ = 0;
    stop_.Reset();
    idle_.Reset();
    finished_.Reset();
    window_ = nullptr;
}

void TFreezeWatchdog::MarkHandling(bool begin)
{
    const std::lock_guard<std::mutex> guard(busyLock_);
    if (!running_ || GetCurrentThreadId() == threadId_)
        return;
    counter_->ClearMisses();
    if (begin) {
        if (++busyCount_ == 0)
            ResetEvent(idle_.Get());
    } else if (--busyCount_ < 0) {
        busyCount_ = -1;
        SetEvent(idle_.Get());
    }
}

uint32_t TFreezeWatchdog::Interval() const
{
    return running_ ? counter_->Interval() : 0;
}

uint32_t TFreezeWatchdog::Misses() const
{
    return running_ ? counter_->Misses() : 0;
}

unsigned __stdcall TFreezeWatchdog::ThreadMain(void* self)
{
    auto* watchdog = static_cast<TFreezeWatchdog*>(self);
    try {
        watchdog->Watch();
    } catch (...) {
        // The watchdog ends; the host goes on unwatched.
    }
    FinishThread(watchdog->finished_.Get());
    return 0;
}

void TFreezeWatchdog::Watch()
{
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue that answers come to
    bool stopped = false;
    const TWatchdogMutex mutex(stop_.Get(), stopped);
    while (!stopped && WaitUntilIdle()) {
        const bool pinged = PostMessageA(window_, pingMessage_, 0, 0) != 0;
        if (WaitForSingleObject(stop_.Get(), counter_->Interval()) != WAIT_TIMEOUT)
            break;
        if (MainThreadAnswered())
            counter_->Answered();
        else if (pinged && counter_->Missed())
            report_(context_);
    }
}

// False when the watchdog is to stop.
bool TFreezeWatchdog::WaitUntilIdle() const
{
    const HANDLE waits[] = {stop_.Get(), idle_.Get()};
    return WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
}

// Empties the thread's queue; the answer is message 0 to no window with 777 in both values.
bool TFreezeWatchdog::MainThreadAnswered() const
{
    bool answered = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!message.hwnd && message.message == 0 && message.wParam == kAnswer && message.lParam == kAnswer)
            answered = true;
    }
    return answered;
}

void TFreezeWatchdog::OnPing(void* object, HWND, UINT, WPARAM wParam, LPARAM, LRESULT& result)
{
    const auto* self = static_cast<TFreezeWatchdog*>(object);
    if (wParam)
        PostMessageA(reinterpret_cast<HWND>(wParam), 0, kAnswer, kAnswer);
    else
        PostThreadMessageA(self->threadId_, 0, kAnswer, kAnswer);
    result = kAnswer;
}

TFreezeWatchdog& FreezeWatchdog()
{
    static TFreezeWatchdog watchdog;
    return watchdog;
}
