#pragma once
// The checksum that a PE file's optional header may carry: a 16-bit one's-complement sum of
// every 16-bit word of the file except the checksum field itself, plus the file's length.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Where the CheckSum field lies in the file; none when the headers are cut short or malformed.
std::optional<size_t> PeChecksumOffset(std::span<const uint8_t> file);
// The checksum of the file as it should be stored at that offset.
uint32_t ComputePeChecksum(std::span<const uint8_t> file, size_t checksumOffset);

enum class TChecksumVerdict : uint8_t { Match, NoChecksum, Mismatch, NotAnImage };
// A stored checksum of 0 is never checked.
TChecksumVerdict CheckPeChecksum(std::span<const uint8_t> file);
