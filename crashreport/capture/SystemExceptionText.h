#pragma once
// The messages of operating-system exceptions, as the library's exception objects carry them.
#include <cstdint>

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
