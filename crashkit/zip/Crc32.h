#pragma once
// CRC-32 of zlib and the zip format, continued without inversions: start with 0xFFFFFFFF
// and invert the final value.
#include <cstdint>

uint32_t UpdateCrc32(uint32_t running, const void* data, int64_t length);
