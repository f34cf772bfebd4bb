#pragma once
// The call-stack text with aligned columns, and the CRCs of a call stack.
#include <vector>

#include "StackItem.h"

struct TNamedStackItem {
    TStackItem item;
    uint64_t functionStart = 0; // 0 when unknown
    bool forced = false;
};

// Lines joined with CR LF: the address as 8 hex digits, then the columns padded to their
// longest entry + 1, then the function name.
UnicodeString ComposeStackText(const std::vector<TNamedStackItem>& items, bool showRelativeAddresses,
                               bool showRelativeLines);

struct TCallStackCrcs {
    uint32_t firstItem = 0;
    uint32_t callStack = 0;
};

// Module-relative: an item with a function start, module and function name counts by its
// distance into the function and its lower-cased names; any other by its address.
TCallStackCrcs CallStackCrcs(const std::vector<TNamedStackItem>& items);

// At least 8 lower-case hex digits.
UnicodeString HexAddress(uint64_t address);
