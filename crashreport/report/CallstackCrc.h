#pragma once
// The three call-stack checksums of a report: the first thread's first-item and call-stack
// CRCs, and a third that continues the second over the call-stack CRC of every further thread
// that matters. Duplicate detection keys on the text's first 31 characters.
#include <array>
#include <cstdint>

#include "text/ZelTypes.h"

class TCallstackCrc {
public:
    // From the first thread's trace; the third starts equal to the second.
    void Start(uint32_t firstItemCrc, uint32_t callStackCrc);
    // A further thread that the trace marks as relevant.
    void Continue(uint32_t threadCallStackCrc);

    uint32_t Value(int index) const { return index >= 0 && index < 3 ? values_[index] : 0; }
    // "$xxxxxxxx, $xxxxxxxx, $xxxxxxxx", lower-case digits.
    UnicodeString Text() const;

private:
    std::array<uint32_t, 3> values_{};
};
