#pragma once
// The entries of a module's debug information. Addresses are absolute, 64 bits wide so that
// x86_64 modules above 4 GB fit; "valid" is 0 in the "not found" results of the look-ups.
#include <cstdint>

#include "text/ZelTypes.h"

struct TMfSegment {
    bool valid = false;
    bool code = false;
    uint64_t start = 0;
    uint32_t length = 0;
    UnicodeString unitName;
    bool hasLines = false;

    uint64_t End() const { return start + length; }
    bool Contains(uint64_t address) const { return address >= start && address - start < length; }
};

struct TMfPublic {
    bool valid = false;
    bool code = false;
    UnicodeString name; // unmangled, without its unit prefix
    uint64_t address = 0;
};

struct TMfLine {
    int32_t line = 0;
    uint64_t address = 0;
};

// Where a module's code and data lie, from its PE headers.
struct TModuleLayout {
    uint64_t codeStart = 0;
    uint64_t codeEnd = 0;
    uint64_t dataStart = 0;
    uint64_t dataEnd = 0;
    uint64_t entryPoint = 0; // 0 when none
    // From the first section's start to the second's, when both are code; else 0.
    uint64_t secondCodeSectionOffset = 0;
};
