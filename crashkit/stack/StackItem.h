#pragma once
// One line of a call stack, most recent call first in a TStackTrace.
#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

struct TStackItem {
    uint64_t address = 0;         // return address, or the exception address for the first item
    uint32_t relativeAddress = 0; // address - function start; 0 when unknown
    UnicodeString moduleName;
    UnicodeString unitName;
    int32_t line = 0;         // absolute line when the function's first line is known, else 0
    int32_t relativeLine = 0; // line - the function's first line, or the plain line
    UnicodeString functionName;
};

using TStackTrace = std::vector<TStackItem>;
