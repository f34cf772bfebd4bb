#include "handlers/win/MainThreadHandlers.h"

#include "handlers/win/ThreadPause.h"
#include "win32/MsgHandlerWindows.h"

namespace {

constexpr WPARAM kProbe = 1;
constexpr WPARAM kRun = 0;
// The run itself may take as long as its handlers need.
constexpr UINT kRunTimeoutMs = 0x7FFFFFFE;

TMsgHandlerMethod MethodOf(TMainThreadHandlers* self,
                           void (*code)(void*, HWND, UINT, WPARAM, LPARAM, LRESULT&))
{
    return {code, self};
}

bool SendAndExpectAnswer(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT timeoutMs)
{
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &answer) != 0 &&
           answer == static_cast<DWORD_PTR>(TMainThreadHandlers::kAnswer);
}

bool IsAssistedAction(uint8_t action)
{
    return action == HandlerAction::Send || action == HandlerAction::Save || action == HandlerAction::Print;
}

// Takes the owner off the topmost band while a modal assistant shows.
class TNotTopmost {
public:
    explicit TNotTopmost(HWND window)
        : window_((window && (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST)) ? window : nullptr)
    {
        if (window_)
            SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    ~TNotTopmost()
    {
        if (window_)
            SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    TNotTopmost(const TNotTopmost&) = delete;
    TNotTopmost& operator=(const TNotTopmost&) = delete;

private:
    HWND window_;
};

void RunHandlersEverywhere(THandlerRun& run)
{
    const THandlerLists& lists = HandlerLists();
    TMainThreadHandlers& mainThread = MainThreadHandlers();
    run.onMainThread = mainThread.OnMainThread();
    lists.Run(run);
    const uint8_t phase = run.exception.Phase();
    const bool allRun = run.kind == THandlerKind::Exception && phase > 2;
    if (run.onMainThread || (run.handled && !allRun) || !lists.NeedsMainThread(run.kind, phase))
        return;
    bool answered = false;
    if (mainThread.Window() && !run.exception.IsFreezeReport()) {
        const bool opened = run.exception.PausesThreads() && ThreadPause().LetMainThreadPass();
        answered = mainThread.RunOnMainThread(run);
        if (opened)
            ThreadPause().CloseMainThreadGate();
    }
    if (!answered) {
        run.onMainThread = false;
        run.mainThreadSilent = true;
        lists.Run(run);
    }
}

} // namespace

bool TMainThreadHandlers::Start()
{
    if (window_)
        return true;
    threadId_ = GetCurrentThreadId();
    const HWND window = GetMsgHandlerWindow();
    if (!window)
        return false;
    message_ = AddMsgHandler(MethodOf(this, &OnMessage), 0);
    if (message_ == 0)
        return false;
    window_ = window;
    return true;
}

void TMainThreadHandlers::Stop()
{
    if (window_)
        DelMsgHandler(MethodOf(this, &OnMessage), message_, threadId_);
    window_ = nullptr;
    threadId_ = 0;
    message_ = 0;
}

bool TMainThreadHandlers::RunOnMainThread(THandlerRun& run)
{
    if (!window_ || !SendAndExpectAnswer(window_, message_, kProbe, 0, kProbeTimeoutMs))
        return false;
    return SendAndExpectAnswer(window_, message_, kRun, reinterpret_cast<LPARAM>(&run), kRunTimeoutMs);
}

void TMainThreadHandlers::Wake() const
{
    if (window_)
        PostMessageA(window_, message_, kProbe, 0);
}

void TMainThreadHandlers::OnMessage(void* object, HWND, UINT, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    auto* self = static_cast<TMainThreadHandlers*>(object);
    if (wParam == kRun && lParam) {
        auto& run = *reinterpret_cast<THandlerRun*>(lParam);
        self->busy_ = true;
        run.onMainThread = true;
        HandlerLists().Run(run);
        run.onMainThread = false;
        self->busy_ = false;
    }
    result = kAnswer;
}

TMainThreadHandlers& MainThreadHandlers()
{
    static TMainThreadHandlers handlers;
    return handlers;
}

void FireHandlers(HWND owner, THandlerKind kind, uint8_t action, bool& handled, IHandlerException& exception)
{
    // Restart and close end the process: whoever needs the finished report gets it first.
    const bool finishing = action == HandlerAction::Restart || action == HandlerAction::Close;
    if (kind == THandlerKind::Action && finishing && (!HandlerLists().Empty(kind) || exception.ReportAwaited()))
        exception.CompleteReport();
    if (exception.HandlersAllowed() && !HandlerLists().Empty(kind)) {
        THandlerRun run{kind, action, exception, handled};
        RunHandlersEverywhere(run);
        handled = run.handled;
    }
    if (handled || kind != THandlerKind::Action || !owner || !IsAssistedAction(action))
        return;
    TAssistantOutcome outcome;
    {
        const TNotTopmost notTopmost(owner);
        outcome = exception.RunAssistant(action, owner);
    }
    if (outcome == TAssistantOutcome::Declined)
        handled = true;
    if (!handled)
        FireHandlers(owner, kind, static_cast<uint8_t>(action + HandlerAction::SendAssisted), handled, exception);
}
