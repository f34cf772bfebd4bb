#pragma once
// The per-thread record of the exception being raised: filled on the raise path, cleared
// when its object is freed, read back by the capture points. Touched only by its own thread;
// made on the thread's first raise, freed when the thread ends or the image unloads.
#include <windows.h>

#include <memory>
#include <typeinfo>
#include <vector>

#include "capture/win/ExceptionSink.h"

struct TRaiseRecord {
    const void* object = nullptr;
    const std::type_info* type = nullptr;
    AnsiString className;
    AnsiString message;
    const void* address = nullptr;
    bool external = false; // an operating-system exception turned into an object
    bool reraised = false;
    std::unique_ptr<CONTEXT> context; // of a fault
    std::unique_ptr<EXCEPTION_RECORD> faultRecord;
    std::vector<TCaughtInner> inner;
    bool suspended = false; // recording is off
};

// The thread's record, made on first use (std::bad_alloc once the image is unloading).
TRaiseRecord& ThisThreadRaiseRecord();
// The thread's record when it has one; null otherwise. Makes nothing and raises nothing, for the
// raise path itself.
TRaiseRecord* FindThisThreadRaiseRecord() noexcept;

// Makes the object the thread's current exception; one that was current goes onto the chain
// of inner exceptions.
void RecordRaise(const void* object, const std::type_info* type, const void* address, const CONTEXT* context,
                 bool external, const EXCEPTION_RECORD* faultRecord = nullptr);
void ClearRaiseRecord();

// The demangled name of a thrown type.
AnsiString ThrownClassName(const std::type_info* type);
// what() of an object of that type when it is a std::exception; empty otherwise.
AnsiString ThrownMessage(const void* object, const std::type_info* type);
// Whether an object of that type is one of the library's operating-system exceptions.
bool IsExternalException(const void* object, const std::type_info* type);
// Whether the exception being handled (inside a catch) is one of them.
bool CurrentExceptionIsExternal();

// A description of the exception being handled on this thread (inside a catch), with what the
// raise path recorded for it.
TCaughtException DescribeCurrentException(TCaptureSource source, bool continueAllowed);
