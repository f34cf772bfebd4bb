#include "RequestHandler.h"

#include "capture/win/ImportHooks.h"
#include "delivery/win/DeliveryHooks.h"
#include "delivery/win/SaveBugReport.h"
#include "dispatch/OptionSet.h"
#include "dispatch/win/ExceptionAddressCheck.h"
#include "dispatch/win/LoaderLockProbe.h"
#include "dispatch/win/RequestEntry.h"
#include "engine/win/Clipboard.h"
#include "engine/win/LibraryFolders.h"
#include "handlers/win/MainThreadHandlers.h"
#include "handlers/win/ThreadPause.h"
#include "model/win/HandlerExceptionView.h"
#include "settings/win/DualText.h"

namespace {

constexpr uint8_t kShowNothing = 4;
constexpr uint64_t kFileTimeTicksPerSecond = 10000000;

uint64_t SystemSeconds()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
    return ticks / kFileTimeTicksPerSecond;
}

TInnerException ToModelInner(const TRequestInner& inner)
{
    TInnerException result;
    result.className = inner.className;
    result.message = inner.message;
    result.isExternal = inner.external;
    result.address = inner.address;
    return result;
}

// The option set of the exception's class, applied while the object is new.
void ApplyOptionSet(TIZEException& exception, const std::vector<UnicodeString>& classChain)
{
    struct TSet {
        bool noBugRep, noScrShot, noSuspend, noHandlers;
        int32_t showCfg;
        UnicodeString assis;
    };
    IZEModuleSettings& settings = exception.Settings();
    TSet set{};
    switch (ChooseOptionSet(classChain, settings.F1Classes(), settings.F2Classes())) {
    case TOptionSet::F1:
        set = {settings.F1NoBugRep(), settings.F1NoScrShot(), settings.F1NoSuspend(), settings.F1NoHandlers(),
               settings.F1ShowCfg(), settings.F1Assis()};
        break;
    case TOptionSet::F2:
        set = {settings.F2NoBugRep(), settings.F2NoScrShot(), settings.F2NoSuspend(), settings.F2NoHandlers(),
               settings.F2ShowCfg(), settings.F2Assis()};
        break;
    case TOptionSet::Gn:
        set = {settings.GnNoBugRep(), settings.GnNoScrShot(), settings.GnNoSuspend(), settings.GnNoHandlers(),
               settings.GnShowCfg(), settings.GnAssis()};
        break;
    }
    exception.SetCreateBugReport(!set.noBugRep);
    const bool screenShot = !set.noScrShot && settings.ScrShotDepth() > 0;
    exception.SetCreateScreenShot(screenShot);
    exception.SetAppendScreenShot(screenShot);
    if (set.noSuspend)
        exception.SetPauseThreads(false);
    exception.SetCallHandlers(!set.noHandlers);
    exception.SetShowSetting(static_cast<uint8_t>(set.showCfg & 0xFF));
    exception.SetAssistant(set.assis);
}

class TFiring {
public:
    explicit TFiring(TIntfPtr<TIZEException> exception) : exception_(exception), view_(exception) {}

    void Fire(THandlerKind kind, uint8_t action, bool& handled, HWND owner = nullptr)
    {
        FireHandlers(owner, kind, action, handled, view_);
    }
    bool FireAction(uint8_t action)
    {
        bool handled = false;
        Fire(THandlerKind::Action, action, handled);
        return handled;
    }

private:
    TIntfPtr<TIZEException> exception_;
    THandlerExceptionView view_;
};

bool PausesHere(TIZEException& exception)
{
    return exception.GetExceptType() != TExceptType::Frozen && exception.PauseThreads() && LibraryInMainProgram();
}

TBugReportMethod AutoSendMethod()
{
    return {[](void*, bool complete, const UnicodeString& text, IZEException* exception) {
                AutoSendCallback(complete, text, exception);
            },
            nullptr};
}

TIZEException* ModelObject(IZEException* exception)
{
    // Every exception object of this library is the model's.
    return dynamic_cast<TIZEException*>(exception);
}

} // namespace

TExceptionHistory TRequestHandler::History() const
{
    const std::lock_guard guard(lock_);
    return history_;
}

void TRequestHandler::SetHistory(const TExceptionHistory& history)
{
    const std::lock_guard guard(lock_);
    history_ = history;
}

void TRequestHandler::SetClock(TClock clock)
{
    const std::lock_guard guard(lock_);
    clock_ = std::move(clock);
}

bool TRequestHandler::IsDue(int32_t value) const
{
    const uint64_t now = Now();
    return History().IsDue(value, now);
}

bool TRequestHandler::IsReportThread(DWORD threadId) const
{
    const std::lock_guard guard(lock_);
    if (!current_)
        return false;
    if (current_->GetBuilderThreadId() == threadId)
        return true;
    const HANDLE sender = *current_->OwnedHandleRef();
    return sender && GetThreadId(sender) == threadId;
}

void TRequestHandler::SetConsoleMode(bool on)
{
    const std::lock_guard guard(lock_);
    consoleMode_ = on;
}

bool TRequestHandler::ConsoleMode() const
{
    const std::lock_guard guard(lock_);
    return consoleMode_;
}

void TRequestHandler::SetNoInterface(bool on)
{
    const std::lock_guard guard(lock_);
    noInterface_ = on;
}

bool TRequestHandler::NoInterface() const
{
    const std::lock_guard guard(lock_);
    return noInterface_;
}

uint64_t TRequestHandler::Now() const
{
    const std::lock_guard guard(lock_);
    return clock_ ? clock_() : SystemSeconds();
}

TIntfPtr<TIZEException> TRequestHandler::CreateException(const THandlingRequest& request,
                                                         TRequestCopies& copies) const
{
    const auto kind = static_cast<TRequestKindCode>(request.kind);
    TExceptionFacts facts;
    facts.type = kind == TRequestKindCode::Freeze ? TExceptType::Frozen : TExceptType::Exception;
    facts.exceptObject = request.object;
    facts.exceptAddress = request.address;
    // A freeze is reported by the watchdog about the main thread.
    facts.crashedThreadId = kind == TRequestKindCode::Freeze && MainThreadHandlers().ThreadId()
                                ? MainThreadHandlers().ThreadId()
                                : request.threadId;
    facts.stackPointer = request.stackPointer;
    facts.framePointer = request.framePointer;
    facts.context = request.context;
    facts.creationFlag = request.source;
    facts.creationValue1 = request.firstExtra;
    facts.creationValue2 = request.secondExtra;
    facts.continuePossible = request.continueAllowed != 0;
    const TSettingsRef settings = GetSettingsOfAddress(reinterpret_cast<const void*>(request.address));
    if (NoInterface())
        settings->SetPlWaitBox(false);
    auto exception = NewZelException(settings, facts);
    if (!copies.classChain.empty() && !request.object)
        exception->SetExceptClass(copies.classChain.front());
    if (request.messageText && !request.object)
        exception->SetExceptMessage(SystemAnsiToWide(std::string_view(request.messageText, request.messageLength)));
    ApplyOptionSet(*exception, copies.classChain);
    return exception;
}

// The exception being handled, known to IsReportThread while it lives.
class TRequestHandler::TCurrentException {
public:
    TCurrentException(TRequestHandler& handler, const TIntfPtr<TIZEException>& exception) : handler_(handler)
    {
        const std::lock_guard guard(handler_.lock_);
        previous_ = std::exchange(handler_.current_, exception);
    }
    ~TCurrentException()
    {
        const std::lock_guard guard(handler_.lock_);
        handler_.current_ = std::move(previous_);
    }
    TCurrentException(const TCurrentException&) = delete;
    TCurrentException& operator=(const TCurrentException&) = delete;

private:
    TRequestHandler& handler_;
    TIntfPtr<TIZEException> previous_;
};

void TRequestHandler::Handle(const THandlingRequest& request, TRequestCopies& copies)
{
    EmptyLibraryTempFolder();
    THandlingRequest checked = request;
    checked.address = CheckedExceptionAddress(request.address);
    const TIntfPtr<TIZEException> exception = CreateException(checked, copies);
    const TCurrentException current(*this, exception);
    TFiring firing(exception);
    exception->SetPhase(static_cast<uint8_t>(TExceptPhase::Created));
    TDAInnerException inner;
    for (const TRequestInner& item : copies.inner)
        inner.push_back(ToModelInner(item));
    exception->SetInnerExceptions(inner);
    // The builder starts with the announced sections.
    exception->GetBugReportSections();

    bool handled = false;
    if (static_cast<TRequestKindCode>(request.kind) == TRequestKindCode::RaiseNotification) {
        // A notification is never reported, whatever its handlers say.
        firing.Fire(THandlerKind::RaiseNotify, 0, handled);
        handled = true;
    } else {
        {
            const std::lock_guard guard(lock_);
            history_.Record(clock_ ? clock_() : SystemSeconds());
        }
        firing.Fire(THandlerKind::Exception, 0, handled);
    }
    exception->SetPhase(static_cast<uint8_t>(TExceptPhase::Before));
    const bool pauses = PausesHere(*exception);
    if (!handled) {
        if (pauses)
            ThreadPause().Pause(true, request.threadId);
        if (exception->GetCreateScreenShot())
            exception->GetScreenShot();
        if (exception->GetCreateBugReport())
            exception->GetBugReportText(false);
        firing.Fire(THandlerKind::Exception, 0, handled);
    }
    exception->SetPhase(static_cast<uint8_t>(TExceptPhase::Shown));
    if (!handled)
        firing.Fire(THandlerKind::Exception, 0, handled);
    if (!handled || !exception->GetCanContinue())
        EndOfHandling(*exception, handled, copies);
    if (pauses)
        ThreadPause().Pause(false, request.threadId);
}

void TRequestHandler::EndOfHandling(TIZEException& exception, bool handled, TRequestCopies& copies)
{
    IZEModuleSettings& settings = exception.Settings();
    if (!handled) {
        if (settings.AutoSave() || settings.AutoSend() || settings.AutoClip())
            exception.RegisterBugReportCallbackOO(AutoSendMethod(), false);
        // ShowSetting 4 shows nothing: the automatic actions below decide. In console mode
        // showing writes to standard output; without an interface the report is the answer.
        if (exception.GetShowSetting() != kShowNothing) {
            if (!NoInterface())
                exception.Show();
            else if (copies.wantsResultText)
                copies.resultText = exception.GetBugReport();
        }
    }
    // Nobody answered a dialog in console mode or without an interface: the automatic actions
    // decide there as well.
    if (exception.GetCanContinue() && exception.GetShowSetting() != kShowNothing && !ConsoleMode() &&
        !NoInterface()) {
        if (!handled)
            FinishReport(exception, false);
        return;
    }
    TFiring firing{TIntfPtr<TIZEException>(&exception)};
    const bool closeDue = IsDue(settings.AutoClose());
    const bool restartDue = IsDue(settings.AutoRestart());
    const TExceptionHooks& hooks = ExceptionHooks();
    if (!closeDue && (exception.GetCanContinue() || restartDue)) {
        if (restartDue) {
            firing.FireAction(HandlerAction::Restart);
            FinishReport(exception, true);
            if (hooks.restart)
                hooks.restart(exception);
        } else {
            firing.FireAction(HandlerAction::Continue);
        }
    } else {
        firing.FireAction(HandlerAction::Close);
        FinishReport(exception, true);
        if (hooks.close)
            hooks.close(exception);
    }
    if (!handled)
        FinishReport(exception, false);
}

TRequestHandler& RequestHandler()
{
    static TRequestHandler handler;
    return handler;
}

void AutoSaveReport(TIZEException& exception, bool afterSending)
{
    IZEModuleSettings& settings = exception.Settings();
    if (!settings.AutoSave())
        return;
    if (settings.AutoSaveIfNotSent() && (!afterSending || exception.GetSent()))
        return;
    if (!exception.ClaimOnce1())
        return;
    const UnicodeString report = exception.GetBugReport();
    if (report.empty())
        return;
    TFiring firing{TIntfPtr<TIZEException>(&exception)};
    if (firing.FireAction(HandlerAction::Save))
        return;
    TSaveHooks hooks;
    hooks.loaderLocked = [] { return IsLoaderLocked(250); };
    hooks.markSaved = [&exception] { exception.SetSaved(true); };
    SaveBugReport(u"", report, nullptr, true, settings, hooks);
    firing.FireAction(HandlerAction::Saved);
}

void AutoSendCallback(bool complete, const UnicodeString& text, IZEException* exception)
{
    TIZEException* object = ModelObject(exception);
    if (!complete || !object)
        return;
    IZEModuleSettings& settings = object->Settings();
    if (object->ClaimOnce2() && settings.AutoSend() && !text.empty()) {
        TFiring firing{TIntfPtr<TIZEException>(object)};
        if (!firing.FireAction(HandlerAction::Send)) {
            const TIntfPtr<INVBitmap> screenShot = object->GetAppendScreenShot() ? object->GetScreenShot() : nullptr;
            HANDLE* owned = object->OwnedHandleRef();
            if (*owned)
                CloseHandle(std::exchange(*owned, nullptr));
            SendExceptionReport(*object, text, screenShot, nullptr, true, owned);
            firing.FireAction(HandlerAction::Sent);
        }
    }
    if (!settings.AutoClip())
        object->UnregisterBugReportCallbackOO(AutoSendMethod());
    else if (!text.empty())
        CopyTextToClipboard(text);
}

void FinishReport(TIZEException& exception, bool wait)
{
    IZEModuleSettings& settings = exception.Settings();
    const bool wanted = settings.AutoSave() || settings.AutoSend() || settings.AutoClip() ||
                        exception.AnyCallbackFlagged() ||
                        HandlerLists().NeedsMainThread(THandlerKind::Exception, exception.GetPhase());
    if (wanted)
        exception.GetBugReport();
    AutoSaveReport(exception, true);
    HANDLE* sender = exception.OwnedHandleRef();
    // A sender is never waited for under the loader lock: it could not end.
    if (wait && *sender && !IsLoaderLocked(0)) {
        WaitForSingleObject(*sender, INFINITE);
        CloseHandle(std::exchange(*sender, nullptr));
    }
}

void HandleRequest(const THandlingRequest& request, TRequestCopies& copies)
{
    RequestHandler().Handle(request, copies);
}

bool AutoEndDue(int32_t value)
{
    return RequestHandler().IsDue(value);
}

bool IsReportThread(DWORD threadId)
{
    return RequestHandler().IsReportThread(threadId);
}

std::array<uint8_t, 80> SaveExceptionHistory()
{
    return RequestHandler().History().Save();
}

void LoadExceptionHistory(std::span<const uint8_t> state)
{
    TExceptionHistory history;
    history.Load(state);
    RequestHandler().SetHistory(history);
}
