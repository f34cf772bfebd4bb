// A thread's explicit candidate list over any bytes: never more entries than the bytes hold,
// each read from within them.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ExplicitCandidates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<TExplicitCandidate> entries = ParseExplicitCandidates(bytes);
    if (size < 4 ? !entries.empty() : entries.size() > (size - 4) / 5)
        __builtin_trap();
    return 0;
}
