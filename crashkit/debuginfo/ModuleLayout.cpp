#include "debuginfo/ModuleLayout.h"

namespace {

constexpr uint32_t kCodeFlag = 0x20;
constexpr uint32_t kInitialisedDataFlag = 0x40;
constexpr uint32_t kUninitialisedDataFlag = 0x80;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;

struct TOptionalFields {
    uint32_t sizeOfCode = 0;
    uint32_t sizeOfInitialisedData = 0;
    uint32_t sizeOfUninitialisedData = 0;
    uint32_t entryPoint = 0;
    uint32_t baseOfCode = 0;
    uint32_t baseOfData = 0; // PE32 only
};

uint32_t OptionalHeaderRva(const TPeHeaders& headers)
{
    return headers.ntHeadersOffset + 4 + kFileHeaderSize;
}

std::optional<TOptionalFields> ReadOptionalFields(const TImageView& image)
{
    const uint32_t at = OptionalHeaderRva(image.Headers());
    TOptionalFields fields;
    if (!image.ReadRva(at + 4, &fields.sizeOfCode, 4) || !image.ReadRva(at + 8, &fields.sizeOfInitialisedData, 4) ||
        !image.ReadRva(at + 12, &fields.sizeOfUninitialisedData, 4) || !image.ReadRva(at + 16, &fields.entryPoint, 4) ||
        !image.ReadRva(at + 20, &fields.baseOfCode, 4))
        return std::nullopt;
    if (!image.Headers().is64 && !image.ReadRva(at + 24, &fields.baseOfData, 4))
        return std::nullopt;
    return fields;
}

std::optional<uint32_t> SectionFlags(const TImageView& image, size_t index)
{
    const TPeHeaders& headers = image.Headers();
    uint16_t optionalSize = 0;
    if (!image.ReadRva(headers.ntHeadersOffset + 20, &optionalSize, 2))
        return std::nullopt;
    const uint32_t at = OptionalHeaderRva(headers) + optionalSize + kSectionHeaderSize * static_cast<uint32_t>(index) + 36;
    uint32_t flags = 0;
    if (!image.ReadRva(at, &flags, 4))
        return std::nullopt;
    return flags;
}

} // namespace

std::optional<uint64_t> PreferredImageBase(const TImageView& image)
{
    const uint32_t at = OptionalHeaderRva(image.Headers());
    if (image.Headers().is64) {
        uint64_t base = 0;
        return image.ReadRva(at + 24, &base, 8) ? std::optional(base) : std::nullopt;
    }
    uint32_t base = 0;
    return image.ReadRva(at + 28, &base, 4) ? std::optional<uint64_t>(base) : std::nullopt;
}

std::optional<TModuleLayout> ReadModuleLayout(const TImageView& image, uint64_t base)
{
    const std::optional<TOptionalFields> fields = ReadOptionalFields(image);
    const std::vector<TPeSection>& sections = image.Headers().sections;
    if (!fields || sections.empty())
        return std::nullopt;
    std::vector<uint32_t> flags;
    for (size_t i = 0; i < sections.size(); ++i) {
        const std::optional<uint32_t> sectionFlags = SectionFlags(image, i);
        if (!sectionFlags)
            return std::nullopt;
        flags.push_back(*sectionFlags);
    }
    TModuleLayout layout;
    if (!(flags[0] & kCodeFlag)) {
        layout.codeStart = base + fields->baseOfCode;
        layout.codeEnd = layout.codeStart + fields->sizeOfCode;
    } else {
        layout.codeStart = base + sections[0].virtualAddress;
        layout.codeEnd = layout.codeStart + sections[0].virtualSize;
        if (sections.size() > 1 && (flags[1] & kCodeFlag)) {
            layout.codeEnd = base + sections[1].virtualAddress + sections[1].virtualSize;
            layout.secondCodeSectionOffset = sections[1].virtualAddress - sections[0].virtualAddress;
        }
    }
    if (!image.Headers().is64) {
        layout.dataStart = base + fields->baseOfData;
        layout.dataEnd = layout.dataStart + fields->sizeOfInitialisedData + fields->sizeOfUninitialisedData;
    } else {
        for (size_t i = 0; i < sections.size(); ++i) {
            if (flags[i] & (kInitialisedDataFlag | kUninitialisedDataFlag)) {
                layout.dataStart = base + sections[i].virtualAddress;
                layout.dataEnd = layout.dataStart + fields->sizeOfInitialisedData + fields->sizeOfUninitialisedData;
                break;
            }
        }
    }
    layout.entryPoint = fields->entryPoint ? base + fields->entryPoint : 0;
    return layout;
}
