#include "debuginfo/LinkerMapFile.h"

#include <optional>
#include <vector>

#include "text/CaseFolding.h"
#include "text/Utf.h"

namespace {

struct TTableEntry {
    bool code = false;
    uint32_t relativeStart = 0; // to the first entry of its kind
};

struct TMapAddress {
    uint32_t segment = 0;
    uint32_t offset = 0;
};

enum class TMapSection { None, SegmentTable, Details, Publics, Lines };

std::optional<uint32_t> Hex(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimEnd(std::string_view text)
{
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// "ssss:oooooooo" at the start of the text.
std::optional<TMapAddress> Address(std::string_view text)
{
    if (text.size() < 13 || text[4] != ':')
        return std::nullopt;
    const std::optional<uint32_t> segment = Hex(text.substr(0, 4));
    const std::optional<uint32_t> offset = Hex(text.substr(5, 8));
    if (!segment || !offset)
        return std::nullopt;
    return TMapAddress{*segment, *offset};
}

std::string_view LastWord(std::string_view text)
{
    const size_t blank = text.find_last_of(" \t");
    return blank == std::string_view::npos ? text : text.substr(blank + 1);
}

bool ContainsData(std::string_view className)
{
    return UpperCaseA(className).find("DATA") != AnsiString::npos;
}

class TLinkerMapReader {
public:
    explicit TLinkerMapReader(TMapFile& map) : map_(map) {}

    void Line(std::string_view raw)
    {
        const std::string_view line = SkipBlanks(TrimEnd(raw));
        if (SwitchSection(line))
            return;
        switch (section_) {
        case TMapSection::SegmentTable: TableLine(line); break;
        case TMapSection::Details: DetailLine(line); break;
        case TMapSection::Publics: PublicLine(line); break;
        case TMapSection::Lines: LineNumbers(line); break;
        case TMapSection::None: break;
        }
        if (line.starts_with("Program entry point at "))
            EntryPoint(SkipBlanks(line.substr(23)));
    }

    bool Named() const { return named_; }

private:
    bool SwitchSection(std::string_view line)
    {
        if (line.starts_with("Start") && line.find("Length") != std::string_view::npos &&
            line.find("Name") != std::string_view::npos)
            section_ = tableEnded_ ? TMapSection::None : TMapSection::SegmentTable;
        else if (line.starts_with("Detailed map of segments"))
            section_ = TMapSection::Details;
        else if (line.find("Publics by Value") != std::string_view::npos)
            EnterPublics();
        else if (line.starts_with("Publics by Name") || line.starts_with("Bound resource files"))
            section_ = TMapSection::None;
        else if (line.starts_with("Line numbers for "))
            section_ = TMapSection::Lines;
        else
            return false;
        return true;
    }

    // Publics are kept only inside known units, which the look-up finds in sorted segments.
    void EnterPublics()
    {
        map_.SortSegments();
        section_ = TMapSection::Publics;
    }

    void TableLine(std::string_view line)
    {
        if (tableEnded_ || line.size() <= 46 || line[4] != ':' || line[13] != ' ' || line[22] != 'H')
            return;
        const std::optional<TMapAddress> start = Address(line);
        const std::optional<uint32_t> length = Hex(line.substr(14, 8));
        if (!start || !length || start->segment != table_.size() + 1)
            return;
        const bool code = !sawData_ && !ContainsData(LastWord(line));
        if (!code && !sawData_) {
            sawData_ = true;
            base_ = start->offset;
        } else if (table_.empty()) {
            base_ = start->offset;
        }
        if (start->offset < base_) {
            tableEnded_ = true;
            section_ = TMapSection::None;
            return;
        }
        table_.push_back({code, start->offset - base_});
    }

    const TTableEntry* Entry(uint32_t segment) const
    {
        return segment >= 1 && segment <= table_.size() ? &table_[segment - 1] : nullptr;
    }

    void DetailLine(std::string_view line)
    {
        if (line.size() <= 72 || line[4] != ':' || line[13] != ' ' || line[22] != ' ' || line[23] != 'C' || line[24] != '=')
            return;
        const std::optional<TMapAddress> start = Address(line);
        const std::optional<uint32_t> length = Hex(line.substr(14, 8));
        const TTableEntry* entry = start ? Entry(start->segment) : nullptr;
        if (!length || !entry)
            return;
        std::string_view unit = LastWord(line);
        const size_t separator = unit.find_last_of("=\\|");
        if (separator != std::string_view::npos)
            unit.remove_prefix(separator + 1);
        map_.AddSegment(entry->code, uint64_t{entry->relativeStart} + start->offset, *length, UTF8ToWide(unit), true, true);
        named_ = true;
    }

    void PublicLine(std::string_view line)
    {
        if (line.size() <= 13 || line[4] != ':')
            return;
        const std::optional<TMapAddress> at = Address(line);
        const TTableEntry* entry = at ? Entry(at->segment) : nullptr;
        if (!entry || !entry->code)
            return;
        std::string_view name = TrimEnd(SkipBlanks(line.substr(13)));
        if (name.ends_with(')')) {
            const size_t open = name.rfind('(');
            if (open != std::string_view::npos)
                name = TrimEnd(name.substr(0, open));
        }
        const uint64_t address = map_.Layout().codeStart + entry->relativeStart + at->offset;
        if (name.empty() || !map_.FindSegment(true, address).valid)
            return;
        map_.AddPublic(true, address, UTF8ToWide(name));
        named_ = true;
    }

    void LineNumbers(std::string_view line)
    {
        while (!line.empty()) {
            size_t digits = 0;
            while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
                ++digits;
            if (digits == 0 || digits > 9)
                return;
            const int32_t number = std::stoi(std::string(line.substr(0, digits)));
            line = SkipBlanks(line.substr(digits));
            const std::optional<TMapAddress> at = Address(line);
            const TTableEntry* entry = at ? Entry(at->segment) : nullptr;
            if (!entry)
                return;
            if (entry->code)
                map_.AddLine(number, map_.Layout().codeStart + entry->relativeStart + at->offset, false);
            line = SkipBlanks(line.substr(13));
        }
    }

    void EntryPoint(std::string_view text)
    {
        const std::optional<TMapAddress> at = Address(text);
        if (!at)
            return;
        TModuleLayout layout = map_.Layout();
        layout.entryPoint = layout.codeStart + at->offset;
        map_.SetLayout(layout);
    }

    TMapFile& map_;
    TMapSection section_ = TMapSection::None;
    std::vector<TTableEntry> table_;
    uint32_t base_ = 0;
    bool sawData_ = false;
    bool tableEnded_ = false;
    bool named_ = false;
};

} // namespace

bool LoadLinkerMap(std::string_view text, TMapFile& map)
{
    TLinkerMapReader reader(map);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        reader.Line(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    map.SortSegments();
    map.SortPublics();
    return reader.Named();
}
