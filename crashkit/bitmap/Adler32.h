#pragma once
// Adler-32 of the zlib format; empty data gives 1.
#include <cstdint>
#include <span>

uint32_t Adler32(std::span<const uint8_t> data);
