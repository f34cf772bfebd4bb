#include "bitmap/Adler32.h"

#include <algorithm>

namespace {

constexpr uint32_t kModulus = 65521;
// Small enough that neither sum can overflow 32 bits before it is reduced.
constexpr size_t kBlock = 3854;

} // namespace

uint32_t Adler32(std::span<const uint8_t> data)
{
    uint32_t low = 1;
    uint32_t high = 0;
    while (!data.empty()) {
        const size_t count = std::min(kBlock, data.size());
        for (const uint8_t byte : data.first(count)) {
            low += byte;
            high += low;
        }
        low %= kModulus;
        high %= kModulus;
        data = data.subspan(count);
    }
    return high << 16 | low;
}
