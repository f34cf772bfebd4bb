#pragma once
// An exception that was still being handled on the same thread when a newer one was raised.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

struct TInnerException {
    UnicodeString className;
    UnicodeString message;
    bool isExternal = false;    // the class chain holds EExternal
    bool isTermination = false; // the class chain holds BcbTermination
    uintptr_t address = 0;
    CONTEXT context{};
    bool contextValid = false;
};

using TDAInnerException = std::vector<TInnerException>;
