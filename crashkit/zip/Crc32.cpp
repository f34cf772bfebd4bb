#include "zip/Crc32.h"

#include <zlib.h>

#include <algorithm>

uint32_t UpdateCrc32(uint32_t running, const void* data, int64_t length)
{
    // zlib inverts on entry and exit; undo both so the value runs on unchanged.
    uLong crc = ~running & 0xFFFFFFFFu;
    auto bytes = static_cast<const Bytef*>(data);
    while (length > 0) {
        const uInt chunk = static_cast<uInt>(std::min<int64_t>(length, 1 << 30));
        crc = crc32(crc, bytes, chunk);
        bytes += chunk;
        length -= chunk;
    }
    return ~static_cast<uint32_t>(crc);
}
