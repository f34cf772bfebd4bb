#pragma once
// The "cpu registers" section: one "name = value" line per register, the value in lower-case
// hex digits as wide as the architecture's registers.
#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

struct TRegisterValue {
    const char16_t* name;
    uint64_t value;
};

struct TRegisterSet {
    std::vector<TRegisterValue> registers; // in report order
    int digits = 8;                        // 8 for 32-bit registers, 16 for 64-bit ones
};

UnicodeString RegistersText(const TRegisterSet& set);
