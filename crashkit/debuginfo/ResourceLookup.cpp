#include "debuginfo/ResourceLookup.h"

#include <cstdint>

#include "text/CaseFolding.h"

namespace {

constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kNameFlag = 0x80000000;
constexpr uint32_t kDirectoryHeaderSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint16_t kMaxNameLength = 256;

class TResourceTree {
public:
    explicit TResourceTree(const TImageView& image) : image_(image), root_(image.Headers().Directory(kResourceDirectory).rva) {}

    bool Present() const { return root_ != 0; }
    uint32_t Root() const { return 0; }

    // The offset the matching entry of the directory at offset leads to (with its subdirectory
    // flag); none when absent.
    std::optional<uint32_t> Find(uint32_t directory, std::u16string_view key) const
    {
        uint16_t counts[2] = {};
        if (!image_.ReadRva(root_ + directory + 12, counts, sizeof counts))
            return std::nullopt;
        const uint32_t entries = uint32_t{counts[0]} + counts[1];
        for (uint32_t i = 0; i < entries; ++i) {
            uint32_t entry[2] = {};
            if (!image_.ReadRva(root_ + directory + kDirectoryHeaderSize + kEntrySize * i, entry, sizeof entry))
                return std::nullopt;
            if (key.empty() || Matches(entry[0], key))
                return entry[1];
        }
        return std::nullopt;
    }

    std::optional<std::string> Data(uint32_t dataEntry) const
    {
        uint32_t rvaAndSize[2] = {};
        if (!image_.ReadRva(root_ + dataEntry, rvaAndSize, sizeof rvaAndSize) || rvaAndSize[1] > kMaxResourceSize)
            return std::nullopt;
        std::string data(rvaAndSize[1], '\0');
        if (!image_.ReadRva(rvaAndSize[0], data.data(), data.size()))
            return std::nullopt;
        return data;
    }

private:
    bool Matches(uint32_t entryName, std::u16string_view key) const
    {
        if (key.starts_with(u'#'))
            return !(entryName & kNameFlag) && NumberText(entryName) == key.substr(1);
        if (!(entryName & kNameFlag))
            return false;
        const uint32_t at = root_ + (entryName & ~kNameFlag);
        uint16_t length = 0;
        if (!image_.ReadRva(at, &length, 2) || length != key.size() || length > kMaxNameLength)
            return false;
        std::u16string name(length, u'\0');
        return image_.ReadRva(at + 2, name.data(), 2 * size_t{length}) && SameTextW(name, key);
    }

    static std::u16string NumberText(uint32_t value)
    {
        std::u16string text;
        do {
            text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
            value /= 10;
        } while (value != 0);
        return text;
    }

    const TImageView& image_;
    uint32_t root_;
};

} // namespace

std::optional<std::string> FindResourceData(const TImageView& image, std::u16string_view type, std::u16string_view name)
{
    const TResourceTree tree(image);
    if (!tree.Present())
        return std::nullopt;
    // Three levels: type, name, language (any).
    const std::optional<uint32_t> names = tree.Find(tree.Root(), type);
    if (!names || !(*names & kSubdirectoryFlag))
        return std::nullopt;
    const std::optional<uint32_t> languages = tree.Find(*names & ~kSubdirectoryFlag, name);
    if (!languages || !(*languages & kSubdirectoryFlag))
        return std::nullopt;
    const std::optional<uint32_t> data = tree.Find(*languages & ~kSubdirectoryFlag, {});
    if (!data || (*data & kSubdirectoryFlag))
        return std::nullopt;
    return tree.Data(*data);
}
