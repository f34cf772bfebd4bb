#pragma once
// Raw deflate (no zlib header, 32 KB window, memory level 8) and raw inflate between stream
// ends. Sizes are 64-bit; a failed run gives no value. The optional running CRC-32 (see
// UpdateCrc32) is continued over the uncompressed side.
#include <cstdint>
#include <optional>

#include "zip/StreamEnds.h"

std::optional<uint64_t> DeflateStream(TStreamSource& source, TStreamSink& sink, uint32_t* crc = nullptr);
std::optional<uint64_t> InflateStream(TStreamSource& source, TStreamSink& sink, uint32_t* crc = nullptr);

// Memory to memory: the length written, or none when the data is bad or the destination too
// small (nothing is written beyond its capacity).
std::optional<uint64_t> Compress(const void* source, void* destination, uint64_t sourceLength,
                                 uint64_t destinationCapacity);
std::optional<uint64_t> Uncompress(const void* source, void* destination, uint64_t sourceLength,
                                   uint64_t destinationCapacity);
