#include "model/win/ZelException.h"

#include "engine/win/LiveObjectCheck.h"
#include "model/win/DialogWindow.h"
#include "settings/BuiltinSettings.h"

namespace {

constexpr UINT kWaitForeverMs = INFINITE;
constexpr int kLoaderLockWaitMs = 250;

HMODULE ModuleOf(const TSettingsRef& settings)
{
    return settings ? settings->Module() : nullptr;
}

bool LoaderLocked()
{
    const auto& check = ExceptionHooks().isLoaderLocked;
    return check && check(kLoaderLockWaitMs);
}

HWND ResolveWindow(HWND window)
{
    return window ? window : FindDialogWindow();
}

void RestoreArrowCursor()
{
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

} // namespace

TIZEException::TIZEException(TSettingsRef ownerSettings, const TExceptionFacts& facts)
    : TIZESettings(ModuleOf(ownerSettings), true), ownerSettings_(std::move(ownerSettings)), facts_(facts)
{
    GetLocalTime(&exceptTime_);
    canContinue_ = facts_.continuePossible;
    if (!facts_.crashedThreadId)
        facts_.crashedThreadId = GetCurrentThreadId();
    if (!facts_.stackPointer)
        facts_.stackPointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (!facts_.framePointer)
        facts_.framePointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (facts_.context) {
        context_ = *facts_.context;
        contextValid_ = true;
    }
    if (facts_.exceptionRecord)
        exceptionRecord_ = *facts_.exceptionRecord;
    // The pointers were only lent for the copy.
    facts_.context = nullptr;
    facts_.exceptionRecord = nullptr;
}

TIZEException::~TIZEException()
{
    terminating_ = true;
    StopBuilder();
    const std::lock_guard guard(listsLock_);
    // Lists still held elsewhere no longer tell this object of their changes.
    if (header_)
        header_->ForgetOwner();
    if (sections_)
        sections_->ForgetOwner();
    if (ownedHandle_)
        CloseHandle(ownedHandle_);
}

void TIZEException::StopBuilder()
{
    if (!builderThread_)
        return;
    // The builder may drop the last reference itself: it must not wait for its own end.
    if (GetCurrentThreadId() == builderThreadId_.load())
        return;
    if (!LoaderLocked()) {
        WaitForSingleObject(builderThread_.Get(), kWaitForeverMs);
        return;
    }
    TerminateThread(builderThread_.Get(), 1);
    if (builderRegistration_)
        LocalFree(builderRegistration_);
}

void* TIZEException::FindInterface(REFIID iid)
{
    if (IsEqualGUID(iid, IID_IZEException))
        return static_cast<IZEException*>(this);
    if (IsEqualGUID(iid, IID_IZEExceptionEx))
        return static_cast<IZEExceptionEx*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

TFoundSetting TIZEException::FindSetting(TSettingName name, bool fallback, TSettingKind kind, bool append)
{
    if (TSettingRecord* own = ownSettings_.Find(name))
        return {own, nullptr};
    // A setter changes this exception alone: the module's records are shared by its later
    // exceptions and by every copy of the library in the process.
    if (append)
        return {ownSettings_.FindOrAdd(name, kind), nullptr};
    if (ownerSettings_) {
        const TFoundSetting found = ownerSettings_->FindSetting(name, false, kind, false);
        if (found.record)
            return found;
    }
    return fallback ? TFoundSetting{nullptr, FindBuiltinSetting(name)} : TFoundSetting{};
}

void TIZEException::SetCanContinue(bool value)
{
    canContinue_ = value && facts_.continuePossible;
}

UnicodeString TIZEException::GetExceptClass()
{
    const std::lock_guard guard(factsLock_);
    if (!classKnown_) {
        exceptClass_ = facts_.type == TExceptType::Frozen
                           ? UnicodeString(u"EFrozen")
                           : GetExceptionClassName(reinterpret_cast<const void*>(facts_.exceptObject));
        classKnown_ = true;
    }
    return exceptClass_;
}

UnicodeString TIZEException::GetExceptMessage()
{
    const std::lock_guard guard(factsLock_);
    if (!messageKnown_) {
        exceptMessage_ = facts_.type == TExceptType::Frozen
                             ? FrozenMsg()
                             : GetExceptionMessage(reinterpret_cast<const void*>(facts_.exceptObject));
        messageKnown_ = true;
    }
    return exceptMessage_;
}

void TIZEException::SetExceptMessage(const UnicodeString& text)
{
    const std::lock_guard guard(factsLock_);
    exceptMessage_ = text;
    messageKnown_ = true;
}

void TIZEException::SetExceptClass(const UnicodeString& name)
{
    const std::lock_guard guard(factsLock_);
    exceptClass_ = name;
    classKnown_ = true;
}

uint32_t TIZEException::GetThreadId(int index)
{
    const std::lock_guard guard(threadsLock_);
    return index >= 0 && index < static_cast<int>(threads_.size()) ? threads_[index].threadId : 0;
}

TStackTrace TIZEException::GetThreadStack(int index)
{
    const std::lock_guard guard(threadsLock_);
    return index >= 0 && index < static_cast<int>(threads_.size()) ? threads_[index].stack : TStackTrace();
}

uint32_t TIZEException::GetCallstackCrc(int index)
{
    return index >= 0 && index < 3 ? callstackCrc_[index].load() : 0;
}

void TIZEException::SetCallstackCrc(int index, uint32_t value)
{
    if (index >= 0 && index < 3)
        callstackCrc_[index] = value;
}

void TIZEException::GetExceptionRecord(EXCEPTION_RECORD& record)
{
    const std::lock_guard guard(factsLock_);
    record = exceptionRecord_;
}

void TIZEException::SetExceptionRecord(const EXCEPTION_RECORD& record)
{
    const std::lock_guard guard(factsLock_);
    exceptionRecord_ = record;
}

TReportFieldsRef TIZEException::GetBugReportHeader()
{
    IZEReportBuilder* builder = ExceptionHooks().builder;
    TReportFieldsRef header;
    bool fill = false;
    {
        const std::lock_guard guard(listsLock_);
        if (!header_)
            header_ = std::make_shared<TZelReportFields>(static_cast<IReportChangeSink*>(this));
        header = header_;
        fill = builder && !headerFilled_ && createBugReport_.load() && header->Count() == 0;
        headerFilled_ = headerFilled_ || fill;
    }
    if (fill) {
        header->SetReady();
        builder->FillHeader(*this, *header);
    }
    return header;
}

TReportFieldsRef TIZEException::GetBugReportSections()
{
    IZEReportBuilder* builder = ExceptionHooks().builder;
    TReportFieldsRef sections;
    bool start = false;
    {
        const std::lock_guard guard(listsLock_);
        if (!sections_)
            sections_ = std::make_shared<TZelReportFields>(static_cast<IReportChangeSink*>(this));
        sections = sections_;
        start = builder && !sectionsStarted_ && createBugReport_.load() && sections->Count() == 0;
        sectionsStarted_ = sectionsStarted_ || start;
    }
    if (start) {
        sections->SetReady();
        builder->StartSections(*this, *sections);
    }
    return sections;
}

UnicodeString TIZEException::GetBugReportText(bool wait)
{
    const TReportTextCache::TSnapshot cached = text_.Read();
    IZEReportBuilder* builder = ExceptionHooks().builder;
    if (!createBugReport_.load() || !builder || (!cached.text.empty() && (!wait || complete_.load())))
        return cached.text;
    const TReportFieldsRef header = GetBugReportHeader();
    const TReportFieldsRef sections = GetBugReportSections();
    if (wait && !complete_.load())
        builder->WaitForReport(*this);
    const UnicodeString text = builder->AssembleText(header->Snapshot(), sections->Snapshot());
    text_.StoreIfUnchanged(cached.changeCounter, text);
    return text;
}

void TIZEException::SetBugReport(const UnicodeString& text)
{
    text_.Replace(text);
    NotifyCallbacks();
}

TIntfPtr<INVBitmap> TIZEException::GetScreenShot()
{
    const std::lock_guard guard(screenShotLock_);
    if (screenShot_ || !createScreenShot_.load())
        return screenShot_;
    const auto& capture = ExceptionHooks().captureScreen;
    if (capture)
        screenShot_ = capture(ScrShotAppOnly());
    if (!screenShot_)
        createScreenShot_ = false;
    return screenShot_;
}

void TIZEException::SetScreenShot(const TIntfPtr<INVBitmap>& bitmap)
{
    const std::lock_guard guard(screenShotLock_);
    screenShot_ = bitmap;
}

void TIZEException::BeginUpdate()
{
    text_.BeginUpdate();
}

void TIZEException::EndUpdate()
{
    if (text_.EndUpdate())
        NotifyCallbacks();
}

void TIZEException::ReportChanged()
{
    if (text_.Change())
        NotifyCallbacks();
}

void TIZEException::NotifyCallbacks()
{
    const TReportCallbacks::TCopy callbacks = callbacks_.Copy();
    // A change while the object is being destroyed tells no one.
    if (callbacks.Empty() || !TryAddRef())
        return;
    const auto self = TIntfPtr<TIZEException>::Attach(this);
    const UnicodeString text = GetBugReportText(false);
    try {
        CallReportCallbacks(callbacks, complete_.load(), text, this);
    } catch (...) {
        // A host callback that throws must not take the builder thread with it.
    }
}

void TIZEException::CallNewCallback(const std::function<void(bool, const UnicodeString&)>& call)
{
    buildAsync_ = true;
    const UnicodeString text = GetBugReportText(false);
    try {
        call(complete_.load(), text);
    } catch (...) {
        // As for every callback: the caller goes on.
    }
}

void TIZEException::RegisterBugReportCallback(TBugReportCallback callback, bool flag)
{
    if (callback && callbacks_.Register(callback, flag))
        CallNewCallback([&](bool complete, const UnicodeString& text) { callback(complete, text, this); });
}

void TIZEException::RegisterBugReportCallbackOO(const TBugReportMethod& method, bool flag)
{
    if (method.code && callbacks_.Register(method, flag))
        CallNewCallback(
            [&](bool complete, const UnicodeString& text) { method.code(method.object, complete, text, this); });
}

void TIZEException::UnregisterBugReportCallback(TBugReportCallback callback)
{
    callbacks_.Unregister(callback);
}

void TIZEException::UnregisterBugReportCallbackOO(const TBugReportMethod& method)
{
    callbacks_.Unregister(method);
}

bool TIZEException::AnyCallbackFlagged()
{
    return callbacks_.AnyFlagged();
}

void TIZEException::SetPhase(uint8_t phase)
{
    const std::lock_guard guard(phaseLock_);
    const auto shown = static_cast<uint8_t>(TExceptPhase::Shown);
    phase_ = phase == shown && complete_.load() ? static_cast<uint8_t>(TExceptPhase::Complete) : phase;
}

bool TIZEException::MarkComplete()
{
    const std::lock_guard guard(phaseLock_);
    complete_ = true;
    if (phase_.load() != static_cast<uint8_t>(TExceptPhase::Shown))
        return false;
    phase_ = static_cast<uint8_t>(TExceptPhase::Complete);
    return true;
}

void TIZEException::SetPhaseAndFire(uint8_t phase)
{
    SetPhase(phase);
    if (const auto& fire = ExceptionHooks().fireExceptionHandlers)
        fire(*this);
}

UnicodeString TIZEException::GetAssistant()
{
    const std::lock_guard guard(factsLock_);
    return assistant_;
}

void TIZEException::SetAssistant(const UnicodeString& name)
{
    const std::lock_guard guard(factsLock_);
    assistant_ = name;
}

void TIZEException::SetInnerExceptions(const TDAInnerException& list)
{
    const std::lock_guard guard(factsLock_);
    innerExceptions_ = list;
}

TDAInnerException TIZEException::InnerExceptions()
{
    const std::lock_guard guard(factsLock_);
    return innerExceptions_;
}

void TIZEException::SetBuilderThread(TWinHandle thread, uint32_t threadId)
{
    builderThread_ = std::move(thread);
    builderThreadId_ = threadId;
}

TIntfPtr<IProgressAlert> TIZEException::PleaseWaitAlert()
{
    const std::lock_guard guard(factsLock_);
    return pleaseWaitAlert_;
}

void TIZEException::SetPleaseWaitAlert(const TIntfPtr<IProgressAlert>& alert)
{
    const std::lock_guard guard(factsLock_);
    pleaseWaitAlert_ = alert;
}

void TIZEException::Show()
{
    if (const auto& show = ExceptionHooks().show)
        show(*this);
}

void TIZEException::ShowBugReportDetails(HWND window)
{
    if (const HWND target = ResolveWindow(window))
        PostMessageW(target, kShowBugReportMessage, 0, 0);
}

bool TIZEException::ActionWanted(HWND window, TUserAction action)
{
    const auto& fire = ExceptionHooks().fireActionHandlers;
    return !fire || !fire(*this, window, action);
}

void TIZEException::ReportAction(HWND window, TUserAction before, TUserAction after,
                                 const std::function<void(const UnicodeString&)>& work)
{
    window = ResolveWindow(window);
    if (!ActionWanted(window, before))
        return;
    work(GetBugReport());
    ActionWanted(window, after);
    RestoreArrowCursor();
}

void TIZEException::SendBugReport(HWND window)
{
    ReportAction(window, TUserAction::SendBefore, TUserAction::SendAfter, [&](const UnicodeString& report) {
        const TIntfPtr<INVBitmap> screenShot = appendScreenShot_.load() ? GetScreenShot() : nullptr;
        if (ownedHandle_)
            CloseHandle(std::exchange(ownedHandle_, nullptr));
        if (const auto& send = ExceptionHooks().send)
            send(*this, report, screenShot, ResolveWindow(window), &ownedHandle_);
    });
}

void TIZEException::SaveBugReport(HWND window)
{
    ReportAction(window, TUserAction::SaveBefore, TUserAction::SaveAfter, [&](const UnicodeString& report) {
        if (const auto& save = ExceptionHooks().save)
            save(*this, report, ResolveWindow(window));
    });
}

void TIZEException::PrintBugReport(HWND window)
{
    ReportAction(window, TUserAction::PrintBefore, TUserAction::PrintAfter, [&](const UnicodeString& report) {
        if (const auto& print = ExceptionHooks().print)
            print(*this, report, ResolveWindow(window));
    });
}

void TIZEException::ContinueApplication(HWND window)
{
    window = ResolveWindow(window);
    if (!ActionWanted(window, TUserAction::ContinueBefore))
        return;
    if (window)
        SendMessageW(window, kCloseDialogMessage, 0, 0);
}

void TIZEException::RestartApplication(HWND window)
{
    window = ResolveWindow(window);
    if (!ActionWanted(window, TUserAction::RestartBefore))
        return;
    if (window)
        SendMessageW(window, kCloseDialogMessage, 0, 0);
    const TExceptionHooks& hooks = ExceptionHooks();
    if (hooks.endOfHandling)
        hooks.endOfHandling(*this, true);
    if (hooks.restart)
        hooks.restart(*this);
}

void TIZEException::CloseApplication(HWND window)
{
    window = ResolveWindow(window);
    if (!ActionWanted(window, TUserAction::CloseBefore))
        return;
    if (window)
        SendMessageW(window, kCloseDialogMessage, 0, 0);
    const TExceptionHooks& hooks = ExceptionHooks();
    if (hooks.endOfHandling)
        hooks.endOfHandling(*this, false);
    if (hooks.close)
        hooks.close(*this);
}

TIntfPtr<TIZEException> NewZelException(TSettingsRef ownerSettings, const TExceptionFacts& facts)
{
    return MakeObject<TIZEException>(std::move(ownerSettings), facts);
}
