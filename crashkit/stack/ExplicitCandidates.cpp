#include "ExplicitCandidates.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t kCountSize = 4;
constexpr size_t kEntrySize = 5;

uint32_t LittleEndian32(std::string_view bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

} // namespace

std::vector<TExplicitCandidate> ParseExplicitCandidates(std::string_view bytes)
{
    std::vector<TExplicitCandidate> entries;
    if (bytes.size() < kCountSize)
        return entries;
    const size_t count = std::min<size_t>(LittleEndian32(bytes, 0), (bytes.size() - kCountSize) / kEntrySize);
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kCountSize + i * kEntrySize;
        entries.push_back({LittleEndian32(bytes, at + 1), bytes[at] != 0});
    }
    return entries;
}
