#include "capture/win/RaiseHooks.h"

#include <memory>
#include <typeinfo>

#include "capture/win/RaiseRecord.h"
#include "capture/win/ThrowSnapshot.h"
#include "handlers/HandlerLists.h"
#include "win32/ThreadSlot.h"

namespace {

struct TPendingFault {
    const void* address = nullptr;
    std::unique_ptr<CONTEXT> context;
    std::unique_ptr<EXCEPTION_RECORD> record;
};

constinit TThreadSlot<TPendingFault> pendingFaults;
// A notification that raises itself is not notified again.
thread_local bool notifying = false;

void NotifyRaise()
{
    IExceptionSink* sink = ExceptionSink();
    if (!sink || notifying || HandlerLists().Empty(THandlerKind::RaiseNotify) ||
        sink->HandlingThreadId() == GetCurrentThreadId())
        return;
    const TRaiseRecord* raised = FindThisThreadRaiseRecord();
    if (!raised)
        return;
    TCaughtException notification;
    notification.kind = TRequestKind::RaiseNotification;
    notification.source = TCaptureSource::RaiseNotification;
    notification.object = raised->object;
    notification.className = raised->className;
    notification.message = raised->message;
    notification.address = raised->address;
    notification.context = raised->context.get();
    notification.inner = raised->inner;
    notifying = true;
    try {
        sink->HandleException(notification);
    } catch (...) {
        // The raise goes on whatever the notification did.
    }
    notifying = false;
}

void OnRaise(void* object, std::type_info* type, const void* returnAddress, const void* callerStack)
{
    const void* address = returnAddress;
    std::unique_ptr<CONTEXT> context;
    std::unique_ptr<EXCEPTION_RECORD> faultRecord;
    if (TPendingFault* pending = pendingFaults.Find(); pending && pending->address) {
        address = pending->address;
        context = std::move(pending->context);
        faultRecord = std::move(pending->record);
        pending->address = nullptr;
    }
    if (TThrowSnapshot* snapshot = ThisThreadThrowSnapshot()) {
        if (context)
            snapshot->Take(object, *context);
        else
            snapshot->TakeThrower(object, returnAddress, callerStack);
    }
    RecordRaise(object, type, address, context.get(), IsExternalException(object, type), faultRecord.get());
    NotifyRaise();
}

} // namespace

void SetPendingFault(const EXCEPTION_RECORD& record, const CONTEXT& context)
{
    TPendingFault* pending = pendingFaults.TryMine();
    if (!pending)
        return;
    pending->address = record.ExceptionAddress;
    pending->context = std::make_unique<CONTEXT>(context);
    pending->record = std::make_unique<EXCEPTION_RECORD>(record);
}

// The linker sends the image's calls of the runtime's routines here (--wrap).
extern "C" {

[[noreturn]] void __real___cxa_throw(void* object, std::type_info* type, void (*destructor)(void*));
[[noreturn]] void __real___cxa_rethrow();
void __real___cxa_free_exception(void* object);

[[noreturn]] void __wrap___cxa_throw(void* object, std::type_info* type, void (*destructor)(void*))
{
    try {
        OnRaise(object, type, __builtin_return_address(0), __builtin_dwarf_cfa());
    } catch (...) {
        // Recording never keeps the exception from being raised.
    }
    __real___cxa_throw(object, type, destructor);
}

[[noreturn]] void __wrap___cxa_rethrow()
{
    if (TRaiseRecord* record = FindThisThreadRaiseRecord())
        record->reraised = true;
    __real___cxa_rethrow();
}

void __wrap___cxa_free_exception(void* object)
{
    if (const TRaiseRecord* record = FindThisThreadRaiseRecord(); record && record->object == object)
        ClearRaiseRecord();
    __real___cxa_free_exception(object);
}
}
