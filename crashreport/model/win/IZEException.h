#pragma once
// The exception object of the crash library as others see it: the facts of one exception or
// freeze, the settings that govern its handling, the bug report in the making, its callbacks
// and the user actions. IZEExceptionEx holds what only the library's own units use.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "InterfacedObject.h"
#include "model/ReportCallbacks.h"
#include "model/ReportFields.h"
#include "settings/SettingAccessors.h"
#include "stack/StackItem.h"
#include "text/ZelTypes.h"

struct INVBitmap;
struct TInnerException;
using TDAInnerException = std::vector<TInnerException>;

// {5EE7E49B-571F-4504-B9E6-1EEF6587C51F}
inline constexpr GUID IID_IZEException = {
    0x5EE7E49B, 0x571F, 0x4504, {0xB9, 0xE6, 0x1E, 0xEF, 0x65, 0x87, 0xC5, 0x1F}};
// {0BCABCF1-B70F-4952-B907-A129A9BD19FD}
inline constexpr GUID IID_IZEExceptionEx = {
    0x0BCABCF1, 0xB70F, 0x4952, {0xB9, 0x07, 0xA1, 0x29, 0xA9, 0xBD, 0x19, 0xFD}};

// Handling phases: created, handlers told before and after showing, report complete.
enum class TExceptPhase : uint8_t { Created = 1, Before = 2, Shown = 3, Complete = 4 };
// What the report is about.
enum class TExceptType : uint8_t { Exception = 0, Frozen = 1 };

struct IZEException : public virtual IUnknown {
    // Every setting, looked up in the exception's own list, then in its module's settings.
    virtual IZEModuleSettings& Settings() = 0;

    virtual uint8_t GetPhase() = 0;
    virtual bool GetCanContinue() = 0;
    // True is kept only when continuing was possible at creation.
    virtual void SetCanContinue(bool value) = 0;
    virtual TExceptType GetExceptType() = 0;
    // The host's exception object (0 for a freeze or a process trace).
    virtual uintptr_t GetExceptObject() = 0;
    // "EFrozen" for a freeze; computed once.
    virtual UnicodeString GetExceptClass() = 0;
    // The setting FrozenMsg for a freeze; computed once.
    virtual UnicodeString GetExceptMessage() = 0;
    virtual void SetExceptMessage(const UnicodeString& text) = 0;
    virtual uintptr_t GetExceptAddress() = 0;
    virtual uint32_t GetCrashedThreadId() = 0;
    // Of the index-th thread section; 0 and empty beyond the end.
    virtual uint32_t GetThreadId(int index) = 0;
    virtual TStackTrace GetThreadStack(int index) = 0;
    // Index 0 to 2, else 0.
    virtual uint32_t GetCallstackCrc(int index) = 0;
    // Null without a valid context.
    virtual const CONTEXT* GetContext() = 0;
    virtual void GetExceptionRecord(EXCEPTION_RECORD& record) = 0;
    virtual void SetExceptionRecord(const EXCEPTION_RECORD& record) = 0;
    virtual uint8_t GetCreationFlag() = 0;
    virtual uintptr_t GetCreationValue1() = 0;
    virtual uintptr_t GetCreationValue2() = 0;

    // Filled on first call (when CreateBugReport is on).
    virtual TReportFieldsRef GetBugReportHeader() = 0;
    // Announced on first call (when CreateBugReport is on); starts the builder.
    virtual TReportFieldsRef GetBugReportSections() = 0;
    // The whole text, waiting for the builder.
    virtual UnicodeString GetBugReport() = 0;
    // Replaces the cached text and tells every callback at once.
    virtual void SetBugReport(const UnicodeString& text) = 0;
    // Without wait: as far as calculated, placeholders included.
    virtual UnicodeString GetBugReportText(bool wait) = 0;
    // Captured on first request when CreateScreenShot is on; a failed capture switches it off.
    virtual TIntfPtr<INVBitmap> GetScreenShot() = 0;
    virtual void SetScreenShot(const TIntfPtr<INVBitmap>& bitmap) = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // A new callback is called at once with (complete, text, this exception); registering it
    // again only replaces its flag. Changes are told to a plain callback as (complete, text),
    // its exception argument null; a method always gets the exception.
    virtual void RegisterBugReportCallback(TBugReportCallback callback, bool flag) = 0;
    virtual void RegisterBugReportCallbackOO(const TBugReportMethod& method, bool flag) = 0;
    virtual void UnregisterBugReportCallback(TBugReportCallback callback) = 0;
    virtual void UnregisterBugReportCallbackOO(const TBugReportMethod& method) = 0;

    virtual bool GetCreateBugReport() = 0;
    virtual void SetCreateBugReport(bool value) = 0;
    virtual bool GetCreateScreenShot() = 0;
    virtual void SetCreateScreenShot(bool value) = 0;
    virtual bool GetCallHandlers() = 0;
    virtual void SetCallHandlers(bool value) = 0;
    // SetPhase, then the exception handlers are fired.
    virtual void SetPhaseAndFire(uint8_t phase) = 0;
    virtual bool GetAppendScreenShot() = 0;
    virtual void SetAppendScreenShot(bool value) = 0;
    virtual uint8_t GetShowSetting() = 0;
    virtual void SetShowSetting(uint8_t value) = 0;
    virtual UnicodeString GetAssistant() = 0;
    virtual void SetAssistant(const UnicodeString& name) = 0;

    virtual void Show() = 0;
    // Reopens the exception dialog (window 0: this process's) with the report shown.
    virtual void ShowBugReportDetails(HWND window) = 0;
    // User actions; window 0 means this process's exception dialog.
    virtual void SendBugReport(HWND window) = 0;
    virtual void SaveBugReport(HWND window) = 0;
    virtual void PrintBugReport(HWND window) = 0;
    virtual void ContinueApplication(HWND window) = 0;
    virtual void RestartApplication(HWND window) = 0;
    virtual void CloseApplication(HWND window) = 0;
};

struct IZEExceptionEx : public virtual IUnknown {
    // Any callback registered with its flag set: the report is completed before restart/close.
    virtual bool AnyCallbackFlagged() = 0;
    virtual uint32_t GetBuilderThreadId() = 0;
    // Shown (3) is stored as Complete (4) when the report already is.
    virtual void SetPhase(uint8_t phase) = 0;
    virtual bool GetSent() = 0;
    virtual void SetSent(bool value) = 0;
    virtual bool GetSaved() = 0;
    virtual void SetSaved(bool value) = 0;
    // True for the first call only, whichever thread makes it.
    virtual bool ClaimOnce1() = 0;
    virtual bool ClaimOnce2() = 0;
    // The background sender's thread of an earlier send: closed before the next send and at
    // destruction.
    virtual HANDLE* OwnedHandleRef() = 0;
    virtual void SetInnerExceptions(const TDAInnerException& list) = 0;
};
