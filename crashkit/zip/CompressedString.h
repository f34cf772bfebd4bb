#pragma once
// Compressed strings: a 12-byte header (uncompressed length, 4 unused bytes, CRC-32 of the
// uncompressed data, all little-endian) followed by raw deflate data.
#include <string>
#include <string_view>

// Empty when the input is too large for the 32-bit length field.
std::string CompressStr(std::string_view data);
// Empty when the string is too short, malformed, longer than its header says or fails its CRC.
std::string UncompressStr(std::string_view compressed);
