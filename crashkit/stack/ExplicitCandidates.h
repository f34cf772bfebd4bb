#pragma once
// A caller's own list of stack values to test instead of scanning the stack.
#include <string_view>
#include <vector>

#include "CodeReader.h"

struct TExplicitCandidate {
    CodeAddress value = 0;
    bool withoutCall = false; // an item even when no call ends at the value
};

// A 32-bit count, then per entry one flag byte (non-zero: withoutCall) and a 32-bit value,
// little-endian. A count beyond the bytes given yields the complete entries only.
std::vector<TExplicitCandidate> ParseExplicitCandidates(std::string_view bytes);
