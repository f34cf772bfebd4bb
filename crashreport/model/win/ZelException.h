#pragma once
// The exception object: one per handled exception, freeze or process trace, alive while any
// reference to it is held. It is a settings object whose own settings come first, then those of
// the module that owns it; its setters change its own alone. The creator stores the facts and
// switches before handing it on; the report builder keeps its threads, checksums and progress
// here.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "InterfacedObject.h"
#include "WinHandle.h"
#include "bitmap/win/INVBitmap.h"
#include "model/ReportCallbacks.h"
#include "model/ReportFields.h"
#include "model/ReportTextCache.h"
#include "model/ThreadStack.h"
#include "model/win/ExceptionHooks.h"
#include "model/win/IZEException.h"
#include "model/win/InnerException.h"
#include "model/win/OwnSettings.h"
#include "progress/win/IProgressAlert.h"
#include "settings/win/ZeSettings.h"

// The facts handed over at creation.
struct TExceptionFacts {
    TExceptType type = TExceptType::Exception;
    uintptr_t exceptObject = 0;
    uintptr_t exceptAddress = 0;
    uint32_t crashedThreadId = 0; // 0: the creating thread
    uintptr_t stackPointer = 0;   // 0: the creator's
    uintptr_t framePointer = 0;   // 0: the creator's
    const CONTEXT* context = nullptr;
    const EXCEPTION_RECORD* exceptionRecord = nullptr;
    uint8_t creationFlag = 0;
    uintptr_t creationValue1 = 0;
    uintptr_t creationValue2 = 0;
    bool continuePossible = true;
    bool buildOnDemand = false;
};

class TIZEException final : public TIZESettings,
                            public TMyInterfacedObject,
                            public IZEException,
                            public IZEExceptionEx,
                            private IReportChangeSink {
public:
    // Inherits the settings of the module (0: the main program).
    TIZEException(TSettingsRef ownerSettings, const TExceptionFacts& facts);
    ~TIZEException() override;

    // TIZESettings
    TFoundSetting FindSetting(TSettingName name, bool fallback, TSettingKind kind, bool append) override;

    // IZEException
    IZEModuleSettings& Settings() override { return *this; }
    uint8_t GetPhase() override { return phase_.load(); }
    bool GetCanContinue() override { return canContinue_.load(); }
    void SetCanContinue(bool value) override;
    TExceptType GetExceptType() override { return facts_.type; }
    uintptr_t GetExceptObject() override { return facts_.exceptObject; }
    UnicodeString GetExceptClass() override;
    UnicodeString GetExceptMessage() override;
    void SetExceptMessage(const UnicodeString& text) override;
    // The class as the raise path named it, for an object that is no runtime object of its own.
    void SetExceptClass(const UnicodeString& name);
    uintptr_t GetExceptAddress() override { return facts_.exceptAddress; }
    uint32_t GetCrashedThreadId() override { return facts_.crashedThreadId; }
    uint32_t GetThreadId(int index) override;
    TStackTrace GetThreadStack(int index) override;
    uint32_t GetCallstackCrc(int index) override;
    const CONTEXT* GetContext() override { return contextValid_ ? &context_ : nullptr; }
    void GetExceptionRecord(EXCEPTION_RECORD& record) override;
    void SetExceptionRecord(const EXCEPTION_RECORD& record) override;
    uint8_t GetCreationFlag() override { return facts_.creationFlag; }
    uintptr_t GetCreationValue1() override { return facts_.creationValue1; }
    uintptr_t GetCreationValue2() override { return facts_.creationValue2; }
    TReportFieldsRef GetBugReportHeader() override;
    TReportFieldsRef GetBugReportSections() override;
    UnicodeString GetBugReport() override { return GetBugReportText(true); }
    void SetBugReport(const UnicodeString& text) override;
    UnicodeString GetBugReportText(bool wait) override;
    TIntfPtr<INVBitmap> GetScreenShot() override;
    void SetScreenShot(const TIntfPtr<INVBitmap>& bitmap) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    void RegisterBugReportCallback(TBugReportCallback callback, bool flag) override;
    void RegisterBugReportCallbackOO(const TBugReportMethod& method, bool flag) override;
    void UnregisterBugReportCallback(TBugReportCallback callback) override;
    void UnregisterBugReportCallbackOO(const TBugReportMethod& method) override;
    bool GetCreateBugReport() override { return createBugReport_.load(); }
    void SetCreateBugReport(bool value) override { createBugReport_ = value; }
    bool GetCreateScreenShot() override { return createScreenShot_.load(); }
    void SetCreateScreenShot(bool value) override { createScreenShot_ = value; }
    bool GetCallHandlers() override { return callHandlers_.load(); }
    void SetCallHandlers(bool value) override { callHandlers_ = value; }
    void SetPhaseAndFire(uint8_t phase) override;
    bool GetAppendScreenShot() override { return appendScreenShot_.load(); }
    void SetAppendScreenShot(bool value) override { appendScreenShot_ = value; }
    uint8_t GetShowSetting() override { return showSetting_.load(); }
    void SetShowSetting(uint8_t value) override { showSetting_ = value; }
    UnicodeString GetAssistant() override;
    void SetAssistant(const UnicodeString& name) override;
    void Show() override;
    void ShowBugReportDetails(HWND window) override;
    void SendBugReport(HWND window) override;
    void SaveBugReport(HWND window) override;
    void PrintBugReport(HWND window) override;
    void ContinueApplication(HWND window) override;
    void RestartApplication(HWND window) override;
    void CloseApplication(HWND window) override;

    // IZEExceptionEx
    bool AnyCallbackFlagged() override;
    uint32_t GetBuilderThreadId() override { return builderThreadId_.load(); }
    void SetPhase(uint8_t phase) override;
    bool GetSent() override { return sent_.load(); }
    void SetSent(bool value) override { sent_ = value; }
    bool GetSaved() override { return saved_.load(); }
    void SetSaved(bool value) override { saved_ = value; }
    bool ClaimOnce1() override { return ++onceClaim1_ == 0; }
    bool ClaimOnce2() override { return ++onceClaim2_ == 0; }
    HANDLE* OwnedHandleRef() override { return &ownedHandle_; }
    void SetInnerExceptions(const TDAInnerException& list) override;

    // For the report builder.
    const SYSTEMTIME& ExceptTime() const { return exceptTime_; }
    uintptr_t StackPointer() const { return facts_.stackPointer; }
    uintptr_t FramePointer() const { return facts_.framePointer; }
    TDAInnerException InnerExceptions();
    bool BuildOnDemand() const { return facts_.buildOnDemand; }
    // Held while this report is built on demand, so that two waiters do not both build it;
    // each report has its own, so a build never waits for another report's.
    std::mutex& OnDemandBuildLock() { return onDemandBuildLock_; }
    // A report callback was ever registered: the builder always runs in its own thread.
    bool BuildAsync() const { return buildAsync_.load(); }
    bool IsComplete() const { return complete_.load(); }
    // Sets Complete; true when that moved the phase from Shown to Complete, so that the caller
    // fires the exception handlers once more.
    bool MarkComplete();
    // Set by the destructor: the builder stops at its next check.
    bool IsTerminating() const { return terminating_.load(); }
    // The builder thread, created suspended or running; waited for by the destructor.
    void SetBuilderThread(TWinHandle thread, uint32_t threadId);
    HANDLE BuilderThread() const { return builderThread_.Get(); }
    // The builder thread's registration record, freed (LocalFree) only when the destructor has
    // to terminate that thread.
    void SetBuilderRegistration(void* registration) { builderRegistration_ = registration; }
    void SetCallstackCrc(int index, uint32_t value);
    // The thread sections; the builder fills them before it announces the sections.
    template <class Edit>
    void EditThreads(Edit&& edit)
    {
        const std::lock_guard guard(threadsLock_);
        edit(threads_);
    }
    TIntfPtr<IProgressAlert> PleaseWaitAlert();
    void SetPleaseWaitAlert(const TIntfPtr<IProgressAlert>& alert);

protected:
    void* FindInterface(REFIID iid) override;

private:
    // IReportChangeSink: the lists' changes.
    bool Pin() override { return TryAddRef(); }
    void Unpin() override { Release(); }
    void ReportChanged() override;
    void NotifyCallbacks();
    void CallNewCallback(const std::function<void(bool, const UnicodeString&)>& call);
    // Fires the action handlers and says whether the work is still to be done.
    bool ActionWanted(HWND window, TUserAction action);
    // Fetches the whole report and hands it to the work, between the two action codes.
    void ReportAction(HWND window, TUserAction before, TUserAction after,
                      const std::function<void(const UnicodeString&)>& work);
    void StopBuilder();

    TSettingsRef ownerSettings_;
    TOwnSettings ownSettings_;
    TExceptionFacts facts_;
    std::mutex phaseLock_; // phase and Complete move together
    std::atomic<uint8_t> phase_{static_cast<uint8_t>(TExceptPhase::Created)};
    std::atomic<bool> canContinue_{true};
    std::atomic<bool> createBugReport_{false};
    std::atomic<bool> createScreenShot_{false};
    std::atomic<bool> callHandlers_{false};
    std::atomic<bool> appendScreenShot_{false};
    std::atomic<uint8_t> showSetting_{0};
    std::atomic<bool> complete_{false};
    std::atomic<bool> terminating_{false};
    std::atomic<bool> sent_{false};
    std::atomic<bool> saved_{false};
    std::atomic<bool> buildAsync_{false};
    std::atomic<int32_t> onceClaim1_{-1};
    std::atomic<int32_t> onceClaim2_{-1};
    std::atomic<uint32_t> builderThreadId_{0};

    CONTEXT context_{};
    bool contextValid_ = false;
    EXCEPTION_RECORD exceptionRecord_{};
    SYSTEMTIME exceptTime_{};
    std::atomic<uint32_t> callstackCrc_[3] = {};

    std::mutex factsLock_; // the texts computed or replaced later, the alert
    bool classKnown_ = false;
    bool messageKnown_ = false;
    UnicodeString exceptClass_;
    UnicodeString exceptMessage_;
    UnicodeString assistant_;
    std::mutex screenShotLock_; // held while the screen is captured
    TIntfPtr<INVBitmap> screenShot_;
    TIntfPtr<IProgressAlert> pleaseWaitAlert_;
    TDAInnerException innerExceptions_;

    std::mutex listsLock_;
    TReportFieldsRef header_;
    TReportFieldsRef sections_;
    bool headerFilled_ = false;
    bool sectionsStarted_ = false;

    std::mutex threadsLock_;
    std::mutex onDemandBuildLock_;
    TDAThreadStack threads_;

    TReportTextCache text_;
    TReportCallbacks callbacks_;
    TWinHandle builderThread_;
    void* builderRegistration_ = nullptr;
    HANDLE ownedHandle_ = nullptr;
};

// A new exception object with the facts stored.
TIntfPtr<TIZEException> NewZelException(TSettingsRef ownerSettings, const TExceptionFacts& facts);
