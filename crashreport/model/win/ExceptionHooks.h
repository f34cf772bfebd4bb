#pragma once
// What the exception object asks of the units built around it: the report builder, the handler
// lists, delivery and the dialog. Each unit installs its part at start-up; a hook left empty
// makes the operation do nothing (no report, no handlers, no dialog).
#include <windows.h>

#include <functional>

#include "InterfacedObject.h"
#include "handlers/HandlerException.h"
#include "model/ReportFields.h"
#include "text/ZelTypes.h"

class TIZEException;
struct INVBitmap;

// Action codes told to the action handlers before and after a user action.
enum class TUserAction : uint8_t {
    SendBefore = 0, SaveBefore = 1, PrintBefore = 2, SendAfter = 6, SaveAfter = 7, PrintAfter = 8,
    ContinueBefore = 11, RestartBefore = 12, CloseBefore = 13
};

class IZEReportBuilder {
public:
    // Fills the empty, ready header list (first call of GetBugReportHeader).
    virtual void FillHeader(TIZEException& exception, TZelReportFields& header) = 0;
    // Announces the sections in the empty, ready list and starts building them (first call of
    // GetBugReportSections).
    virtual void StartSections(TIZEException& exception, TZelReportFields& sections) = 0;
    // Returns once the report is complete or the caller may not wait longer (loader lock).
    virtual void WaitForReport(TIZEException& exception) = 0;
    // The report text from the two lists.
    virtual UnicodeString AssembleText(const TReportFieldList& header, const TReportFieldList& sections) = 0;

protected:
    ~IZEReportBuilder() = default;
};

struct TExceptionHooks {
    IZEReportBuilder* builder = nullptr;
    // The exception handlers (window 0 when none).
    std::function<void(TIZEException& exception)> fireExceptionHandlers;
    // The action handlers; true when one of them handled the action.
    std::function<bool(TIZEException& exception, HWND window, TUserAction action)> fireActionHandlers;
    std::function<void(TIZEException& exception, const UnicodeString& report, const TIntfPtr<INVBitmap>& screenShot,
                       HWND window, HANDLE* ownedHandle)>
        send;
    std::function<void(TIZEException& exception, const UnicodeString& report, HWND window)> save;
    std::function<void(TIZEException& exception, const UnicodeString& report, HWND window)> print;
    // The automatic end-of-handling actions; after is set for a restart.
    std::function<void(TIZEException& exception, bool after)> endOfHandling;
    std::function<void(TIZEException& exception)> restart;
    std::function<void(TIZEException& exception)> close;
    std::function<void(TIZEException& exception)> show;
    // Runs the send (0), save (1) or print (2) assistant over the owner window.
    std::function<TAssistantOutcome(TIZEException& exception, uint8_t action, void* owner)> runAssistant;
    // Whether the system's loader lock stays held for up to that many milliseconds; a builder
    // thread is neither started nor waited for then.
    std::function<bool(int milliseconds)> isLoaderLocked;
    // Captures the screen (only the application's windows when appOnly); null on failure.
    std::function<TIntfPtr<INVBitmap>(bool appOnly)> captureScreen;
};

// The process-wide hooks; each unit sets its members at start-up, before any exception exists.
TExceptionHooks& ExceptionHooks();

// Window messages of the exception dialog.
inline constexpr UINT kShowBugReportMessage = 1802;
inline constexpr UINT kCloseDialogMessage = 1803;
// The dialog's window class, by which window 0 is resolved.
inline constexpr wchar_t kExceptionDialogClass[] = L"zelExceptWndClass";
