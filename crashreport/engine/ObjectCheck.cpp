#include "engine/ObjectCheck.h"

#include <array>

namespace {

// Distances of the self-pointer slot before the class pointer, in 32-bit slots' bytes.
constexpr std::array<uint32_t, 2> kSelfSlotDistances = {76, 88};
constexpr uint32_t kSlotBytes32 = 4;
// Slots after the self-pointer slot, counted in slots.
constexpr unsigned kFirstCodeSlot = 1;   // interface, automation, initialisation, type info
constexpr unsigned kFirstDataSlot = 5;   // field, method, dynamic tables, class name
constexpr unsigned kTypeInfoSlot = 4;
constexpr unsigned kClassNameSlot = 8;
constexpr unsigned kParentSlot = 10;
constexpr unsigned kSlotsPerGroup = 4;
constexpr unsigned kMaxAncestors = 64;

constexpr uint32_t kCodeSection = 0x20;
constexpr uint16_t kPe32Magic = 0x10B;

struct TCodeBounds {
    uint64_t codeStart = 0;
    uint64_t codeUpper = 0; // the code's last byte minus 3
    uint64_t dataStart = 0; // 0 when the image names no data base
    uint64_t dataUpper = 0;
};

class TReader {
public:
    TReader(const TObjectCheckTarget& target) : target_(target) {}

    template <typename T>
    std::optional<T> Read(uint64_t address) const
    {
        T value{};
        if (!target_.memory.Read(address, &value, sizeof value))
            return std::nullopt;
        return value;
    }

    std::optional<uint64_t> Pointer(uint64_t address) const
    {
        if (target_.pointerSize == 8)
            return Read<uint64_t>(address);
        const auto value = Read<uint32_t>(address);
        return value ? std::optional<uint64_t>(*value) : std::nullopt;
    }

    std::optional<std::string> ShortText(uint64_t address) const
    {
        const auto length = Read<uint8_t>(address);
        if (!length)
            return std::nullopt;
        std::string text(*length, '\0');
        if (*length && !target_.memory.Read(address + 1, text.data(), *length))
            return std::nullopt;
        return text;
    }

    const TObjectCheckTarget& Target() const { return target_; }

private:
    const TObjectCheckTarget& target_;
};

std::optional<TCodeBounds> CodeBoundsOf(const TReader& reader, uint64_t base)
{
    const auto ntOffset = reader.Read<uint32_t>(base + 0x3C);
    if (!ntOffset)
        return std::nullopt;
    const uint64_t nt = base + *ntOffset;
    const auto sectionCount = reader.Read<uint16_t>(nt + 6);
    const auto optionalSize = reader.Read<uint16_t>(nt + 20);
    const uint64_t optional = nt + 24;
    const auto magic = reader.Read<uint16_t>(optional);
    const auto sizeOfCode = reader.Read<uint32_t>(optional + 4);
    const auto sizeOfData = reader.Read<uint32_t>(optional + 8);
    const auto baseOfCode = reader.Read<uint32_t>(optional + 20);
    if (!sectionCount || !optionalSize || !magic || !sizeOfCode || !sizeOfData || !baseOfCode)
        return std::nullopt;
    TCodeBounds bounds;
    const uint64_t sections = optional + *optionalSize;
    const auto firstFlags = reader.Read<uint32_t>(sections + 36);
    uint64_t codeEnd = 0;
    if (*sectionCount > 0 && firstFlags && (*firstFlags & kCodeSection)) {
        const auto va = reader.Read<uint32_t>(sections + 12);
        const auto size = reader.Read<uint32_t>(sections + 8);
        if (!va || !size)
            return std::nullopt;
        bounds.codeStart = base + *va;
        codeEnd = bounds.codeStart + *size;
        const auto secondFlags = reader.Read<uint32_t>(sections + 40 + 36);
        if (*sectionCount > 1 && secondFlags && (*secondFlags & kCodeSection)) {
            const auto va2 = reader.Read<uint32_t>(sections + 40 + 12);
            const auto size2 = reader.Read<uint32_t>(sections + 40 + 8);
            if (va2 && size2)
                codeEnd = base + *va2 + *size2;
        }
    } else {
        bounds.codeStart = base + *baseOfCode;
        codeEnd = bounds.codeStart + *sizeOfCode;
    }
    bounds.codeUpper = codeEnd < 4 ? 0 : codeEnd - 1 - 3;
    if (*magic == kPe32Magic) {
        const auto baseOfData = reader.Read<uint32_t>(optional + 24);
        if (baseOfData && *baseOfData) {
            bounds.dataStart = base + *baseOfData;
            bounds.dataUpper = bounds.dataStart + *sizeOfData - 3;
        }
    }
    return bounds;
}

bool IsIdentifier(std::string_view name)
{
    const auto letter = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c > 127; };
    if (name.empty() || !letter(static_cast<unsigned char>(name[0])))
        return false;
    for (const char c : name.substr(1))
        if (!letter(static_cast<unsigned char>(c)) && !(c >= '0' && c <= '9'))
            return false;
    return true;
}

// The class name when the class record at classPointer holds up in the layout with that
// self-slot distance.
std::optional<std::string> CheckClass(const TReader& reader, uint64_t classPointer, uint32_t distance32)
{
    const unsigned slot = reader.Target().pointerSize;
    const uint64_t distance = distance32 / kSlotBytes32 * slot;
    if (classPointer < distance)
        return std::nullopt;
    const uint64_t selfSlot = classPointer - distance;
    const auto base = reader.Target().modules.ModuleBaseOf(selfSlot);
    if (!base)
        return std::nullopt;
    const auto bounds = CodeBoundsOf(reader, *base);
    if (!bounds)
        return std::nullopt;
    uint64_t upper = bounds->codeUpper;
    if (bounds->dataStart && classPointer >= bounds->dataStart)
        upper = bounds->dataUpper;
    const auto self = reader.Pointer(selfSlot);
    if (!self || *self != classPointer)
        return std::nullopt;
    const auto slotValue = [&](unsigned index) { return reader.Pointer(selfSlot + index * slot); };
    for (unsigned i = 0; i < kSlotsPerGroup; ++i) {
        const auto code = slotValue(kFirstCodeSlot + i);
        const auto data = slotValue(kFirstDataSlot + i);
        if (!code || !data)
            return std::nullopt;
        if (*code && (*code < bounds->codeStart || *code > upper))
            return std::nullopt;
        if (*data && (*data < classPointer || *data > upper))
            return std::nullopt;
    }
    const auto nameAddress = slotValue(kClassNameSlot);
    if (!nameAddress || !*nameAddress)
        return std::nullopt;
    const auto name = reader.ShortText(*nameAddress);
    if (!name || !IsIdentifier(*name))
        return std::nullopt;
    const auto typeInfo = slotValue(kTypeInfoSlot);
    if (*typeInfo) {
        const auto typeName = reader.ShortText(*typeInfo + 1);
        if (!typeName || *typeName != *name)
            return std::nullopt;
    }
    return name;
}

std::optional<uint64_t> ParentClass(const TReader& reader, uint64_t classPointer, uint32_t distance32)
{
    const unsigned slot = reader.Target().pointerSize;
    const uint64_t selfSlot = classPointer - distance32 / kSlotBytes32 * slot;
    const auto parentReference = reader.Pointer(selfSlot + kParentSlot * slot);
    if (!parentReference || !*parentReference)
        return std::nullopt;
    const auto parent = reader.Pointer(*parentReference);
    if (!parent || !*parent)
        return std::nullopt;
    return parent;
}

} // namespace

std::optional<TObjectClass> CheckObject(const TObjectCheckTarget& target, uint64_t pointer, std::string_view ancestorName)
{
    const TReader reader(target);
    const auto classPointer = reader.Pointer(pointer);
    if (!classPointer)
        return std::nullopt;
    for (size_t layout = 0; layout < kSelfSlotDistances.size(); ++layout) {
        const uint32_t distance = kSelfSlotDistances[layout];
        const auto name = CheckClass(reader, *classPointer, distance);
        if (!name)
            continue;
        TObjectClass result{*name, layout == 1};
        if (ancestorName.empty() || ancestorName == *name)
            return result;
        auto current = ParentClass(reader, *classPointer, distance);
        for (unsigned depth = 0; current && depth < kMaxAncestors; ++depth) {
            const auto parentName = CheckClass(reader, *current, distance);
            if (!parentName)
                break;
            if (*parentName == ancestorName)
                return result;
            current = ParentClass(reader, *current, distance);
        }
        return std::nullopt;
    }
    return std::nullopt;
}
