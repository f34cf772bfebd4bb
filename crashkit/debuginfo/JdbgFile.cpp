#include "debuginfo/JdbgFile.h"

#include <optional>

#include "text/Utf.h"

namespace {

constexpr uint32_t kSignature = 0x4742444A; // "JDBG"
constexpr size_t kHeaderSize = 35;
constexpr uint32_t kTableEnd = 0x7FFFFFFF;
constexpr size_t kMaxNameLength = 1024;
constexpr uint8_t kXoredName = 1;
constexpr uint8_t kPrefixedName = 2;
constexpr char kPackedCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";

class TJdbgData {
public:
    explicit TJdbgData(std::string_view data) : data_(data) {}

    std::optional<uint32_t> Dword(size_t at) const
    {
        if (at > data_.size() || data_.size() - at < 4)
            return std::nullopt;
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<uint8_t>(data_[at + i]);
        return value;
    }

    uint8_t Byte(size_t at) const { return at < data_.size() ? static_cast<uint8_t>(data_[at]) : 0; }
    size_t Size() const { return data_.size(); }

    bool Valid() const
    {
        if (data_.size() < kHeaderSize || data_.size() % 4 != 0 || Dword(0) != kSignature || Byte(4) != 1)
            return false;
        if (Byte(33) == 0)
            return true;
        uint32_t sum = 0;
        for (size_t at = 0; at < data_.size(); at += 4)
            sum += *Dword(at);
        const uint32_t check = *Dword(29);
        const uint32_t value = sum - check;
        return (value >> 8 | value << 24) == check;
    }

    // A 7-bit variable-length integer at the position, which moves past it.
    std::optional<uint32_t> Varint(size_t& at) const
    {
        uint32_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (at >= data_.size())
                return std::nullopt;
            const uint8_t byte = Byte(at++);
            value |= static_cast<uint32_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80))
                return value;
        }
        return std::nullopt;
    }

    UnicodeString Name(uint32_t offset) const
    {
        const std::optional<uint32_t> area = Dword(21);
        if (!area || *area > data_.size() || offset >= data_.size() - *area)
            return {};
        size_t at = *area + offset;
        const uint8_t kind = Byte(at++);
        std::string name = kind == kPrefixedName ? "@" : "";
        if (kind == kXoredName) {
            for (; at < data_.size() && Byte(at) != 0 && name.size() < kMaxNameLength; ++at)
                name += static_cast<char>(Byte(at) == 0xAA ? 0xAA : Byte(at) ^ 0xAA);
            return UTF8ToWide(name);
        }
        for (; at + 3 <= data_.size() && name.size() < kMaxNameLength; at += 3) {
            const uint32_t group = Byte(at) | Byte(at + 1) << 8 | Byte(at + 2) << 16;
            for (int i = 0; i < 4; ++i) {
                const uint32_t code = group >> (6 * i) & 0x3F;
                if (code == 0)
                    return UTF8ToWide(name);
                name += kPackedCharacters[code - 1];
            }
        }
        return UTF8ToWide(name);
    }

private:
    std::string_view data_;
};

// Reads records of count deltas until the end mark; each record's running values go to add.
template <size_t count, typename Add>
void ReadTable(const TJdbgData& data, uint32_t positionAt, Add add)
{
    const std::optional<uint32_t> position = data.Dword(positionAt);
    if (!position)
        return;
    size_t at = *position;
    uint32_t values[count] = {};
    while (true) {
        for (size_t i = 0; i < count; ++i) {
            const std::optional<uint32_t> delta = data.Varint(at);
            if (!delta || (i == 0 && *delta == kTableEnd))
                return;
            values[i] += *delta;
        }
        add(values);
    }
}

} // namespace

bool LoadJdbg(std::string_view bytes, TMapFile& map)
{
    const TJdbgData data(bytes);
    if (!data.Valid())
        return false;
    const uint64_t codeStart = map.Layout().codeStart;
    std::vector<std::pair<uint32_t, UnicodeString>> units;
    ReadTable<2>(data, 9, [&](const uint32_t* values) { units.emplace_back(values[0], data.Name(values[1])); });
    for (size_t i = 0; i < units.size(); ++i) {
        const uint64_t end = i + 1 < units.size() ? codeStart + units[i + 1].first : map.Layout().codeEnd;
        const uint64_t start = codeStart + units[i].first;
        map.AddSegment(true, start, end > start ? static_cast<uint32_t>(std::min<uint64_t>(end - start, UINT32_MAX)) : 0,
                       units[i].second, false, false);
    }
    map.SortSegments();
    ReadTable<3>(data, 13, [&](const uint32_t* values) { map.AddPublic(true, codeStart + values[0], data.Name(values[2])); });
    map.SortPublics();
    ReadTable<2>(data, 17, [&](const uint32_t* values) {
        map.AddLine(static_cast<int32_t>(values[1]), codeStart + values[0], false);
    });
    return true;
}
