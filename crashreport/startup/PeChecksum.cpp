#include "PeChecksum.h"

namespace {

constexpr size_t kNewHeaderPointer = 0x3C;
constexpr size_t kFileHeaderSize = 20;
// The field's place in the optional header, the same for 32-bit and 64-bit headers.
constexpr size_t kChecksumInOptionalHeader = 64;

uint32_t ReadU32(std::span<const uint8_t> bytes, size_t offset)
{
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

} // namespace

std::optional<size_t> PeChecksumOffset(std::span<const uint8_t> file)
{
    if (file.size() < kNewHeaderPointer + 4 || file[0] != 'M' || file[1] != 'Z')
        return std::nullopt;
    const size_t peHeader = ReadU32(file, kNewHeaderPointer);
    const size_t optionalHeader = peHeader + 4 + kFileHeaderSize;
    // Guard the sums against a pointer near the top of the address range.
    if (peHeader > file.size() || optionalHeader + kChecksumInOptionalHeader + 4 > file.size())
        return std::nullopt;
    if (file[peHeader] != 'P' || file[peHeader + 1] != 'E' || file[peHeader + 2] != 0 || file[peHeader + 3] != 0)
        return std::nullopt;
    return optionalHeader + kChecksumInOptionalHeader;
}

uint32_t ComputePeChecksum(std::span<const uint8_t> file, size_t checksumOffset)
{
    uint32_t sum = 0;
    for (size_t offset = 0; offset < file.size(); offset += 2) {
        if (offset >= checksumOffset && offset < checksumOffset + 4)
            continue;
        uint32_t word = file[offset];
        if (offset + 1 < file.size())
            word |= static_cast<uint32_t>(file[offset + 1]) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return sum + static_cast<uint32_t>(file.size());
}

TChecksumVerdict CheckPeChecksum(std::span<const uint8_t> file)
{
    const std::optional<size_t> offset = PeChecksumOffset(file);
    if (!offset)
        return TChecksumVerdict::NotAnImage;
    const uint32_t stored = ReadU32(file, *offset);
    if (stored == 0)
        return TChecksumVerdict::NoChecksum;
    return ComputePeChecksum(file, *offset) == stored ? TChecksumVerdict::Match : TChecksumVerdict::Mismatch;
}
