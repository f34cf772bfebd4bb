#pragma once
// The messages of operating-system exceptions, as the library's exception objects carry them.
#include <cstdint>
#include <utility>

#include "text/ZelTypes.h"

struct TSystemFault {
    uint32_t code = 0;
    uint64_t address = 0;         // where it happened
    AnsiString moduleName;        // of that address, without folder
    uint64_t accessKind = 0;      // access violation: 0 read, otherwise write
    uint64_t accessedAddress = 0; // access violation: the address touched
    unsigned pointerDigits = 8;   // hexadecimal digits of an address
};

AnsiString SystemExceptionMessage(const TSystemFault& fault);

// The fault an exception record of the system tells, in whichever module the address lies.
template <class TRecord> TSystemFault SystemFaultOf(const TRecord& record, AnsiString moduleName)
{
    TSystemFault fault;
    fault.code = record.ExceptionCode;
    fault.address = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
    fault.moduleName = std::move(moduleName);
    if (record.NumberParameters >= 2) {
        fault.accessKind = record.ExceptionInformation[0];
        fault.accessedAddress = record.ExceptionInformation[1];
    }
    fault.pointerDigits = 2 * sizeof(void*);
    return fault;
}
