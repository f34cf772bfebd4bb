#include "ExceptionDispatcher.h"

#include <cstring>

#include "capture/win/RaiseRecord.h"
#include "dispatch/OptionSet.h"
#include "capture/win/ClassChain.h"
#include "dispatch/win/EmergencyReserve.h"
#include "engine/win/LiveObjectCheck.h"
#include "handlers/win/FreezeWatchdog.h"
#include "settings/win/DualText.h"
#include "win32/ContextRegisters.h"

namespace {

constexpr int kLoaderLockWaitMs = 250;
// A context whose instruction pointer lies this far below the address describes the raise.
constexpr uintptr_t kRaiseCallReach = 4;

// Set while the thread hands over a request of its own: what it raises meanwhile (its window
// procedures run while it pumps) is not reported again.
thread_local bool threadInHandling = false;

class TThreadHandling {
public:
    TThreadHandling() { threadInHandling = true; }
    ~TThreadHandling() { threadInHandling = false; }
    TThreadHandling(const TThreadHandling&) = delete;
    TThreadHandling& operator=(const TThreadHandling&) = delete;
};

// The freeze watchdog pings no one while an exception is handled.
class TWatchdogPause {
public:
    TWatchdogPause() { FreezeWatchdog().MarkHandling(true); }
    ~TWatchdogPause() { FreezeWatchdog().MarkHandling(false); }
    TWatchdogPause(const TWatchdogPause&) = delete;
    TWatchdogPause& operator=(const TWatchdogPause&) = delete;
};

class TReserveAround {
public:
    TReserveAround() { EmergencyReserve().Release(); }
    ~TReserveAround() { EmergencyReserve().Reserve(); }
    TReserveAround(const TReserveAround&) = delete;
    TReserveAround& operator=(const TReserveAround&) = delete;
};

// An access violation, as the class a host names it by or as the fault the capture converted.
bool IsAccessViolation(const TCaughtException& exception, const std::vector<UnicodeString>& classChain)
{
    return (exception.record && exception.record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) ||
           ChainHolds(classChain, u"EAccessViolation");
}

bool IsRecorded(const TCaughtException& exception)
{
    const TRaiseRecord& record = ThisThreadRaiseRecord();
    return exception.object && record.object == exception.object;
}

std::vector<UnicodeString> ClassChain(const TCaughtException& exception)
{
    std::vector<UnicodeString> chain;
    if (IsRecorded(exception) && ThisThreadRaiseRecord().type) {
        for (const AnsiString& name : ThrownClassChain(ThisThreadRaiseRecord().type))
            chain.push_back(SystemAnsiToWide(name));
    } else if (!exception.className.empty()) {
        chain.push_back(SystemAnsiToWide(exception.className));
    }
    return chain;
}

void TakeRegisters(const CONTEXT& context, THandlingRequest& request)
{
#if defined(__x86_64__)
    request.stackPointer = context.Rsp;
    request.framePointer = context.Rbp;
#else
    request.stackPointer = context.Esp;
    request.framePointer = context.Ebp;
#endif
}

TIntfPtr<TRequestCopies> CopyInputs(const TCaughtException& exception, std::vector<UnicodeString> classChain)
{
    auto copies = MakeObject<TRequestCopies>();
    if (exception.context) {
        copies->context = *exception.context;
        copies->hasContext = true;
    }
    copies->message = exception.message;
    copies->classChain = std::move(classChain);
    copies->wantsResultText = exception.resultText != nullptr;
    for (const auto& inner : exception.inner)
        copies->inner.push_back({SystemAnsiToWide(inner.className), SystemAnsiToWide(inner.message), inner.external,
                                 reinterpret_cast<uintptr_t>(inner.address)});
    return copies;
}

THandlingRequest FillRequest(const TCaughtException& exception, TRequestCopies& copies)
{
    THandlingRequest request{};
    request.threadId = GetCurrentThreadId();
    request.kind = static_cast<uint8_t>(exception.kind);
    // Only an object the library can read as one is passed on; a C++ object is described by
    // its class chain and message instead.
    request.object = exception.object && IsValidObject(exception.object)
                         ? reinterpret_cast<uintptr_t>(exception.object) : 0;
    request.address = reinterpret_cast<uintptr_t>(exception.address);
    request.continueAllowed = exception.continueAllowed;
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    request.stackPointer = here;
    request.framePointer = here;
    if (copies.hasContext) {
        request.context = &copies.context;
        const uintptr_t ip = InstructionPointerOf(copies.context);
        if (request.address >= ip && request.address - ip <= kRaiseCallReach)
            TakeRegisters(copies.context, request);
    }
    request.copies = &copies;
    request.source = static_cast<uint8_t>(exception.source);
    request.firstExtra = exception.firstExtra;
    request.secondExtra = exception.secondExtra;
    if (!copies.message.empty()) {
        request.messageText = copies.message.data();
        request.messageLength = static_cast<uint32_t>(copies.message.size());
    }
    request.inner = copies.inner.empty() ? nullptr : &copies.inner;
    request.resultText = copies.wantsResultText ? &copies.resultText : nullptr;
    return request;
}

} // namespace

bool TExceptionDispatcher::Ignored() const
{
    const DWORD self = GetCurrentThreadId();
    if (threadInHandling || self == thread_.ThreadId())
        return true;
    const DWORD mainThread = seams_.mainThreadId ? seams_.mainThreadId() : 0;
    if (self == mainThread && seams_.mainThreadBusy && seams_.mainThreadBusy())
        return true;
    return seams_.isReportThread && seams_.isReportThread(self);
}

void TExceptionDispatcher::HandleException(const TCaughtException& exception)
{
    if (Ignored())
        return;
    const TThreadHandling inHandling;
    const TReserveAround reserve;
    std::vector<UnicodeString> classChain = ClassChain(exception);
    if (ChainHolds(classChain, u"EAbort")) {
        // An abort is never reported.
        if (IsRecorded(exception))
            ClearRaiseRecord();
        if (!exception.continueAllowed && seams_.closeHost)
            seams_.closeHost();
        return;
    }
    // The system's fault reporting takes an access violation over: the host may not go on then.
    const bool reportedToSystem = IsAccessViolation(exception, classChain) && exception.record &&
                                  exception.context && seams_.reportSystemFault &&
                                  seams_.reportSystemFault(*exception.record, *exception.context);
    const TIntfPtr<TRequestCopies> copies = CopyInputs(exception, std::move(classChain));
    THandlingRequest request = FillRequest(exception, *copies);
    if (reportedToSystem)
        request.continueAllowed = false;
    const bool inlineOnly = seams_.loaderLocked && seams_.loaderLocked(kLoaderLockWaitMs);
    bool handled = false;
    {
        const TWatchdogPause watchdogPause;
        if (inlineOnly || !thread_.Running()) {
            // Without a handling thread only the loader-lock case is handled at all.
            if (inlineOnly && seams_.handleInline) {
                seams_.handleInline(request, *copies);
                handled = true;
            }
        } else {
            handled = Submit(request, *copies);
        }
    }
    // The handling thread is done with the copies once it was handled.
    if (handled && exception.resultText)
        *exception.resultText = copies->resultText;
    ClearRaiseRecord();
}

bool TExceptionDispatcher::Submit(const THandlingRequest& request, TRequestCopies& copies) const
{
    const TWinHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return false;
    HANDLE forHandler = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), event.Get(), GetCurrentProcess(), &forHandler, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    copies.event.Reset(forHandler);
    THandlingRequest sent = request;
    sent.event = forHandler;
    if (!thread_.Submit(sent))
        return false;
    const DWORD mainThread = seams_.mainThreadId ? seams_.mainThreadId() : 0;
    if (GetCurrentThreadId() == mainThread)
        return WaitPumping(event.Get());
    return WaitForSingleObject(event.Get(), INFINITE) == WAIT_OBJECT_0;
}

bool TExceptionDispatcher::WaitPumping(HANDLE event) const
{
    for (;;) {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The host is quitting: it gets its quit message back and stops waiting; the
                // request goes on with its own copies.
                PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0)
                return true;
        }
        if (MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
            return true;
    }
}
