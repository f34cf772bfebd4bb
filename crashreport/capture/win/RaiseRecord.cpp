#include "capture/win/RaiseRecord.h"

#include <cxxabi.h>

#include <cstdlib>
#include <exception>

#include "capture/win/ThrowSnapshot.h"
#include "text/ZelException.h"
#include "win32/ThreadSlot.h"

namespace {

constinit TThreadSlot<TRaiseRecord> records;

// The object as a pointer to the base class when the type derives from it.
template <class Base>
const Base* AsBase(const void* object, const std::type_info* type)
{
    if (!object || !type)
        return nullptr;
    void* adjusted = const_cast<void*>(object);
    return typeid(Base).__do_catch(type, &adjusted, 1) ? static_cast<const Base*>(adjusted) : nullptr;
}

} // namespace

TRaiseRecord& ThisThreadRaiseRecord()
{
    return records.Mine();
}

TRaiseRecord* FindThisThreadRaiseRecord() noexcept
{
    return records.Find();
}

void RecordRaise(const void* object, const std::type_info* type, const void* address, const CONTEXT* context,
                 bool external, const EXCEPTION_RECORD* faultRecord)
{
    TRaiseRecord* kept = records.TryMine();
    if (!kept || kept->suspended)
        return;
    TRaiseRecord& record = *kept;
    if (record.object && record.object != object)
        record.inner.push_back({record.className, record.message, record.external, record.address});
    record.object = object;
    record.type = type;
    record.className = ThrownClassName(type);
    record.message = ThrownMessage(object, type);
    record.address = address;
    record.external = external;
    record.reraised = false;
    record.context = context ? std::make_unique<CONTEXT>(*context) : nullptr;
    record.faultRecord = faultRecord ? std::make_unique<EXCEPTION_RECORD>(*faultRecord) : nullptr;
    if (record.faultRecord)
        record.faultRecord->ExceptionRecord = nullptr; // the chain is not kept
}

void ClearRaiseRecord()
{
    TRaiseRecord* record = records.Find();
    if (!record)
        return;
    const bool suspended = record->suspended;
    *record = TRaiseRecord{};
    record->suspended = suspended;
}

AnsiString ThrownClassName(const std::type_info* type)
{
    if (!type)
        return {};
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    if (!demangled)
        return type->name();
    AnsiString name(demangled);
    std::free(demangled); // the demangler's own allocation
    return name;
}

AnsiString ThrownMessage(const void* object, const std::type_info* type)
{
    const std::exception* exception = AsBase<std::exception>(object, type);
    return exception ? AnsiString(exception->what()) : AnsiString();
}

bool IsExternalException(const void* object, const std::type_info* type)
{
    return AsBase<EExternal>(object, type) != nullptr;
}

bool CurrentExceptionIsExternal()
{
    // Known from the raise record when it holds the type (the library's own errors, caught by
    // the exports in normal operation, are not thrown again to find out).
    const TRaiseRecord* record = records.Find();
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type && record && record->type && *record->type == *type)
        return record->external;
    try {
        throw;
    } catch (const EExternal&) {
        return true;
    } catch (...) {
        return false;
    }
}

TCaughtException DescribeCurrentException(TCaptureSource source, bool continueAllowed)
{
    TCaughtException caught;
    caught.source = source;
    caught.continueAllowed = continueAllowed;
    const std::type_info* type = abi::__cxa_current_exception_type();
    caught.className = ThrownClassName(type);
    try {
        if (std::current_exception())
            std::rethrow_exception(std::current_exception());
    } catch (const std::exception& exception) {
        caught.message = exception.what();
    } catch (...) {
        // Not a std::exception: no message.
    }
    const TRaiseRecord* record = records.Find();
    if (record && record->object && record->type && type && *record->type == *type) {
        caught.object = record->object;
        caught.address = record->address;
        caught.context = record->context.get();
        caught.record = record->faultRecord.get();
        if (!caught.context)
            if (const TThrowSnapshot* snapshot = ThisThreadThrowSnapshot())
                caught.context = snapshot->ContextFor(record->object);
        caught.inner = record->inner;
    }
    return caught;
}
