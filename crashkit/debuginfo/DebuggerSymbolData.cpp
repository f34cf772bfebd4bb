#include "debuginfo/DebuggerSymbolData.h"

#include <optional>
#include <set>
#include <vector>

#include "text/Utf.h"

namespace {

constexpr uint16_t kNamesTable = 0x130;
constexpr uint16_t kModule = 0x120;
constexpr uint16_t kSourceFiles = 0x127;
constexpr uint16_t kSymbolsFB09 = 0x125;
constexpr uint16_t kSymbolsFB0A = 0x129;
constexpr size_t kDirectoryHeaderSize = 12;
constexpr size_t kEntrySize = 12;

struct TSubsection {
    uint16_t type = 0;
    std::string_view data;
};

class TReader {
public:
    explicit TReader(std::string_view data) : data_(data) {}

    template <typename T>
    std::optional<T> At(size_t at) const
    {
        if (at > data_.size() || data_.size() - at < sizeof(T))
            return std::nullopt;
        T value = 0;
        for (size_t i = sizeof(T); i-- > 0;)
            value = static_cast<T>(value << 8 | static_cast<uint8_t>(data_[at + i]));
        return value;
    }

    std::string_view Part(size_t at, size_t size) const
    {
        if (at > data_.size() || data_.size() - at < size)
            return {};
        return data_.substr(at, size);
    }

    size_t Size() const { return data_.size(); }

private:
    std::string_view data_;
};

// The directory ring in order; a directory seen before ends the walk.
std::vector<TSubsection> Subsections(const TReader& data)
{
    std::vector<TSubsection> result;
    std::set<uint32_t> seen;
    std::optional<uint32_t> directory = data.At<uint32_t>(4);
    while (directory && seen.insert(*directory).second) {
        const std::optional<uint16_t> headerSize = data.At<uint16_t>(*directory);
        const std::optional<uint16_t> entrySize = data.At<uint16_t>(*directory + 2);
        const std::optional<uint32_t> count = data.At<uint32_t>(*directory + 4);
        const std::optional<uint32_t> next = data.At<uint32_t>(*directory + 8);
        if (!headerSize || !entrySize || !count || !next || *headerSize < kDirectoryHeaderSize || *entrySize < kEntrySize ||
            *count > data.Size() / kEntrySize)
            break;
        for (uint32_t i = 0; i < *count; ++i) {
            const size_t at = size_t{*directory} + *headerSize + size_t{*entrySize} * i;
            const std::optional<uint16_t> type = data.At<uint16_t>(at);
            const std::optional<uint32_t> position = data.At<uint32_t>(at + 4);
            const std::optional<uint32_t> size = data.At<uint32_t>(at + 8);
            if (!type || !position || !size)
                break;
            result.push_back({*type, data.Part(*position, *size)});
        }
        if (*next == 0)
            break;
        directory = *next;
    }
    return result;
}

UnicodeString WithoutFolder(std::string_view path)
{
    const size_t slash = path.find_last_of("\\/");
    return UTF8ToWide(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

class TSymbolDataLoader {
public:
    TSymbolDataLoader(const TSymbolDataOptions& options, TMapFile& map) : options_(options), map_(map) {}

    void Names(std::string_view subsection)
    {
        const TReader data(subsection);
        const uint32_t count = data.At<uint32_t>(0).value_or(0);
        size_t at = 4;
        for (uint32_t i = 0; i < count && at < data.Size(); ++i) {
            const uint8_t length = data.At<uint8_t>(at).value_or(0);
            const std::string_view name = data.Part(at + 1, length);
            if (name.size() != length)
                break;
            names_.push_back(name);
            at += size_t{length} + 2;
        }
    }

    void Module(std::string_view subsection)
    {
        const TReader data(subsection);
        const uint16_t segments = data.At<uint16_t>(4).value_or(0);
        const UnicodeString name = WithoutFolder(Name(data.At<uint32_t>(8).value_or(0)).value_or(""));
        for (uint16_t i = 0; i < segments; ++i) {
            const size_t at = 28 + size_t{12} * i;
            const std::optional<uint16_t> flags = data.At<uint16_t>(at + 2);
            const std::optional<uint32_t> offset = data.At<uint32_t>(at + 4);
            const std::optional<uint32_t> size = data.At<uint32_t>(at + 8);
            if (!flags || !offset || !size)
                return;
            if (*size > 0 && *flags != 0)
                map_.AddSegment(true, *offset, *size, name, true, true);
        }
    }

    void SourceFiles(std::string_view subsection)
    {
        const TReader data(subsection);
        const uint16_t files = data.At<uint16_t>(0).value_or(0);
        for (uint16_t i = 0; i < files; ++i) {
            const std::optional<uint32_t> position = data.At<uint32_t>(4 + size_t{4} * i);
            if (!position)
                return;
            SourceFile(data, *position);
        }
    }

    void Symbols(std::string_view area)
    {
        const TReader data(area);
        size_t at = 0;
        while (data.Size() - at >= 2) {
            const uint16_t length = *data.At<uint16_t>(at);
            if (length == 0 || length > data.Size() - at - 2)
                return;
            Symbol(TReader(data.Part(at, size_t{length} + 2)), length);
            at += size_t{length} + 2;
        }
    }

private:
    std::optional<std::string_view> Name(uint32_t index) const
    {
        if (index == 0 || index > names_.size())
            return std::nullopt;
        return names_[index - 1];
    }

    void SourceFile(const TReader& data, uint32_t position)
    {
        const uint16_t blocks = data.At<uint16_t>(position).value_or(0);
        const UnicodeString name = WithoutFolder(Name(data.At<uint32_t>(position + 2).value_or(0)).value_or(""));
        std::optional<uint64_t> fileStart;
        for (uint16_t i = 0; i < blocks; ++i) {
            const std::optional<uint32_t> block = data.At<uint32_t>(size_t{position} + 6 + size_t{4} * i);
            if (!block)
                return;
            LineBlock(data, *block, name, fileStart);
        }
    }

    void LineBlock(const TReader& data, uint32_t block, const UnicodeString& name, std::optional<uint64_t>& fileStart)
    {
        const std::optional<uint16_t> segment = data.At<uint16_t>(block);
        const std::optional<uint16_t> pairs = data.At<uint16_t>(size_t{block} + 2);
        if (!segment || !pairs || *segment == 0 || *pairs == 0)
            return;
        const size_t offsets = size_t{block} + 4;
        const size_t lines = offsets + size_t{4} * *pairs;
        if (!data.At<uint16_t>(lines + size_t{2} * (*pairs - 1)))
            return;
        const uint64_t extra = *segment == 2 ? options_.secondCodeSectionOffset : 0;
        uint64_t last = 0;
        for (uint16_t i = 0; i < *pairs; ++i) {
            last = map_.Layout().codeStart + *data.At<uint32_t>(offsets + size_t{4} * i) + extra;
            map_.AddLine(*data.At<uint16_t>(lines + size_t{2} * i), last, false);
            if (!fileStart)
                fileStart = last;
        }
        if (last > *fileStart)
            map_.AddSegment(true, *fileStart, static_cast<uint32_t>(std::min<uint64_t>(last - *fileStart, UINT32_MAX)), name,
                            false, true);
    }

    void Symbol(const TReader& record, uint16_t length)
    {
        const uint16_t type = record.At<uint16_t>(2).value_or(0);
        size_t nameAt = 0;
        size_t offsetAt = 0;
        bool code = true;
        if ((type == 0x204 || type == 0x205) && length >= 44) {
            nameAt = 40;
            offsetAt = 28;
        } else if ((type == 0x201 || type == 0x202) && length >= 20) {
            nameAt = 16;
            offsetAt = 4;
            code = false;
        } else if ((type == 0x20 && length >= 26) || (type == 0x21 && length >= 24)) {
            nameAt = 12;
            offsetAt = 20;
            code = type == 0x20;
        } else {
            return;
        }
        const std::optional<uint32_t> index = record.At<uint32_t>(nameAt);
        const std::optional<uint32_t> offset = record.At<uint32_t>(offsetAt);
        const std::optional<std::string_view> name = index ? Name(*index) : std::nullopt;
        if (!name || !offset)
            return;
        const uint64_t base = code ? map_.Layout().codeStart : map_.Layout().dataStart;
        map_.AddPublic(code, base + *offset, UTF8ToWide(*name));
    }

    const TSymbolDataOptions& options_;
    TMapFile& map_;
    std::vector<std::string_view> names_;
};

} // namespace

bool LoadDebuggerSymbolData(std::string_view bytes, const TSymbolDataOptions& options, TMapFile& map)
{
    const bool fb09 = bytes.starts_with("FB09");
    if (!(bytes.starts_with("FB0A") || (fb09 && options.acceptFB09)))
        return false;
    const std::vector<TSubsection> subsections = Subsections(TReader(bytes));
    TSymbolDataLoader loader(options, map);
    map.ForgetLastSegments();
    for (const TSubsection& subsection : subsections)
        if (subsection.type == kNamesTable)
            loader.Names(subsection.data);
    for (const TSubsection& subsection : subsections)
        if (subsection.type == kModule)
            loader.Module(subsection.data);
    for (const TSubsection& subsection : subsections)
        if (subsection.type == kSourceFiles)
            loader.SourceFiles(subsection.data);
    map.SortSegments();
    map.JoinSegments(true);
    const uint16_t symbols = fb09 ? kSymbolsFB09 : kSymbolsFB0A;
    // The records start 4 (FB09) or 32 (FB0A) bytes into the subsection and end with it.
    const size_t recordsStart = fb09 ? 4 : 32;
    for (const TSubsection& subsection : subsections)
        if (subsection.type == symbols && subsection.data.size() > recordsStart)
            loader.Symbols(subsection.data.substr(recordsStart));
    map.SortPublics();
    map.JoinSegments(false);
    return true;
}
