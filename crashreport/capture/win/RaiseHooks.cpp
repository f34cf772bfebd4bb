#include "capture/win/RaiseHooks.h"

#include <memory>
#include <typeinfo>

#include "capture/win/RaiseRecord.h"
#include "capture/win/ThrowSnapshot.h"
#include "handlers/HandlerLists.h"

namespace {

struct TPendingFault {
    const void* address = nullptr;
    std::unique_ptr<CONTEXT> context;
    std::unique_ptr<EXCEPTION_RECORD> record;
};

thread_local TPendingFault pendingFault;
// A notification that raises itself is not notified again.
thread_local bool notifying = false;

void NotifyRaise()
{
    IExceptionSink* sink = ExceptionSink();
    if (!sink || notifying || HandlerLists().Empty(THandlerKind::RaiseNotify) ||
        sink->HandlingThreadId() == GetCurrentThreadId())
        return;
    const TRaiseRecord& raised = ThisThreadRaiseRecord();
    TCaughtException notification;
    notification.kind = TRequestKind::RaiseNotification;
    notification.source = TCaptureSource::RaiseNotification;
    notification.object = raised.object;
    notification.className = raised.className;
    notification.message = raised.message;
    notification.address = raised.address;
    notification.context = raised.context.get();
    notification.inner = raised.inner;
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
    if (pendingFault.address) {
        address = pendingFault.address;
        context = std::move(pendingFault.context);
        faultRecord = std::move(pendingFault.record);
        pendingFault.address = nullptr;
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
    pendingFault.address = record.ExceptionAddress;
    pendingFault.context = std::make_unique<CONTEXT>(context);
    pendingFault.record = std::make_unique<EXCEPTION_RECORD>(record);
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
    ThisThreadRaiseRecord().reraised = true;
    __real___cxa_rethrow();
}

void __wrap___cxa_free_exception(void* object)
{
    if (ThisThreadRaiseRecord().object == object)
        ClearRaiseRecord();
    __real___cxa_free_exception(object);
}
}
