#include "system/PeImage.h"

#include <algorithm>

namespace {

constexpr uint16_t kDosMagic = 0x5A4D;       // "MZ"
constexpr uint32_t kNtSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kMaxDirectories = 16;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kFileHeaderSize = 20;

template <typename T>
bool ReadAt(const IMemoryReader& reader, uint64_t address, T& value)
{
    return reader.Read(address, &value, sizeof value);
}

} // namespace

std::optional<TPeHeaders> ReadPeHeaders(const IMemoryReader& reader, uint64_t imageStart)
{
    uint16_t dosMagic = 0;
    uint32_t ntOffset = 0;
    if (!ReadAt(reader, imageStart, dosMagic) || dosMagic != kDosMagic || !ReadAt(reader, imageStart + 60, ntOffset))
        return std::nullopt;
    const uint64_t nt = imageStart + ntOffset;
    uint32_t signature = 0;
    uint16_t machine = 0;
    uint16_t sectionCount = 0;
    uint16_t optionalSize = 0;
    uint16_t magic = 0;
    if (!ReadAt(reader, nt, signature) || signature != kNtSignature || !ReadAt(reader, nt + 4, machine) ||
        !ReadAt(reader, nt + 6, sectionCount) || !ReadAt(reader, nt + 20, optionalSize))
        return std::nullopt;
    const uint64_t optional = nt + 4 + kFileHeaderSize;
    if (!ReadAt(reader, optional, magic) || (magic != kPe32Magic && magic != kPe32PlusMagic))
        return std::nullopt;

    TPeHeaders headers;
    headers.ntHeadersOffset = ntOffset;
    headers.is64 = magic == kPe32PlusMagic;
    headers.machine = machine;
    uint32_t directoryCount = 0;
    const uint64_t countAt = optional + (headers.is64 ? 108 : 92);
    if (!ReadAt(reader, optional + 56, headers.sizeOfImage) || !ReadAt(reader, optional + 60, headers.sizeOfHeaders) ||
        !ReadAt(reader, countAt, directoryCount))
        return std::nullopt;
    directoryCount = std::min(directoryCount, kMaxDirectories);
    headers.directories.resize(directoryCount);
    for (uint32_t i = 0; i < directoryCount; ++i) {
        if (!ReadAt(reader, countAt + 4 + 8 * i, headers.directories[i].rva) ||
            !ReadAt(reader, countAt + 8 + 8 * i, headers.directories[i].size))
            return std::nullopt;
    }
    const uint64_t sectionTable = optional + optionalSize;
    headers.sections.resize(sectionCount);
    for (uint32_t i = 0; i < sectionCount; ++i) {
        TPeSection& section = headers.sections[i];
        const uint64_t at = sectionTable + kSectionHeaderSize * i;
        if (!ReadAt(reader, at + 8, section.virtualSize) || !ReadAt(reader, at + 12, section.virtualAddress) ||
            !ReadAt(reader, at + 16, section.rawSize) || !ReadAt(reader, at + 20, section.rawOffset))
            return std::nullopt;
    }
    return headers;
}

std::optional<std::string> TImageView::ReadText(uint32_t rva, size_t maxLength) const
{
    std::string text;
    for (size_t i = 0; i <= maxLength; ++i) {
        char c = 0;
        if (!ReadRva(static_cast<uint32_t>(rva + i), &c, 1))
            return std::nullopt;
        if (c == 0)
            return text;
        text += c;
    }
    return std::nullopt;
}

bool TLoadedImage::ReadRva(uint32_t rva, void* out, size_t size) const
{
    if (uint64_t{rva} + size > headers_.sizeOfImage)
        return false;
    return reader_.Read(start_ + rva, out, size);
}

bool TFileImage::ReadRva(uint32_t rva, void* out, size_t size) const
{
    const uint64_t end = uint64_t{rva} + size;
    if (end <= headers_.sizeOfHeaders)
        return reader_.Read(start_ + rva, out, size);
    for (const TPeSection& section : headers_.sections) {
        const uint64_t extent = std::max(section.virtualSize, section.rawSize);
        if (rva < section.virtualAddress || end > section.virtualAddress + extent)
            continue;
        const uint64_t offset = rva - section.virtualAddress;
        // What lies beyond the section's bytes in the file is zeros in the image.
        if (offset + size > section.rawSize) {
            if (offset >= section.rawSize) {
                std::memset(out, 0, size);
                return true;
            }
            const size_t inFile = static_cast<size_t>(section.rawSize - offset);
            std::memset(static_cast<char*>(out) + inFile, 0, size - inFile);
            return reader_.Read(start_ + section.rawOffset + offset, out, inFile);
        }
        return reader_.Read(start_ + section.rawOffset + offset, out, size);
    }
    return false;
}
