#include "settings/PeResources.h"

#include "text/ZelTypes.h"

namespace {

constexpr uint32_t kNameIsString = 0x80000000;
constexpr uint32_t kEntryIsDirectory = 0x80000000;
constexpr uint32_t kDirectoryHeaderBytes = 16;
constexpr uint32_t kEntryBytes = 8;
constexpr uint32_t kMaxDataBytes = 64 * 1024 * 1024;

struct TDirectoryEntry {
    uint32_t name;
    uint32_t target;
};

class TResourceTree {
public:
    TResourceTree(const TImageView& image, uint32_t rootRva) : image_(image), root_(rootRva) {}

    // The entry of a directory (offset from the root) matching the id or name; any entry when
    // neither is given.
    std::optional<TDirectoryEntry> Find(uint32_t directory, std::optional<uint32_t> id, std::u16string_view name) const
    {
        const auto named = image_.Read<uint16_t>(root_ + directory + 12);
        const auto ids = image_.Read<uint16_t>(root_ + directory + 14);
        if (!named || !ids)
            return std::nullopt;
        const uint32_t count = uint32_t{*named} + *ids;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t at = root_ + directory + kDirectoryHeaderBytes + i * kEntryBytes;
            const auto entryName = image_.Read<uint32_t>(at);
            const auto entryTarget = image_.Read<uint32_t>(at + 4);
            if (!entryName || !entryTarget)
                return std::nullopt;
            const TDirectoryEntry entry{*entryName, *entryTarget};
            if (!id && name.empty())
                return entry;
            if (id && !(entry.name & kNameIsString) && entry.name == *id)
                return entry;
            if (!name.empty() && (entry.name & kNameIsString) && NameAt(entry.name & ~kNameIsString) == name)
                return entry;
        }
        return std::nullopt;
    }

    std::optional<std::string> Data(uint32_t dataEntry) const
    {
        const auto rva = image_.Read<uint32_t>(root_ + dataEntry);
        const auto size = image_.Read<uint32_t>(root_ + dataEntry + 4);
        if (!rva || !size || *size > kMaxDataBytes)
            return std::nullopt;
        std::string data(*size, '\0');
        if (*size && !image_.ReadRva(*rva, data.data(), data.size()))
            return std::nullopt;
        return data;
    }

private:
    UnicodeString NameAt(uint32_t offset) const
    {
        const auto length = image_.Read<uint16_t>(root_ + offset);
        if (!length)
            return {};
        UnicodeString text(*length, u'\0');
        if (*length && !image_.ReadRva(root_ + offset + 2, text.data(), *length * sizeof(char16_t)))
            return {};
        return text;
    }

    const TImageView& image_;
    uint32_t root_;
};

} // namespace

std::optional<std::string> FindResourceData(const TImageView& image, uint32_t typeId, std::u16string_view name)
{
    const TDataDirectory directory = image.Headers().Directory(kResourceDirectory);
    if (directory.rva == 0)
        return std::nullopt;
    const TResourceTree tree(image, directory.rva);
    const auto type = tree.Find(0, typeId, {});
    if (!type || !(type->target & kEntryIsDirectory))
        return std::nullopt;
    const auto named = tree.Find(type->target & ~kEntryIsDirectory, std::nullopt, name);
    if (!named || !(named->target & kEntryIsDirectory))
        return std::nullopt;
    const auto language = tree.Find(named->target & ~kEntryIsDirectory, std::nullopt, {});
    if (!language || (language->target & kEntryIsDirectory))
        return std::nullopt;
    return tree.Data(language->target);
}
