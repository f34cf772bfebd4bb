#include "debuginfo/MapFile.h"

#include <algorithm>

#include "text/CaseFolding.h"
#include "text/Unmangler.h"

namespace {

// A stable sort that leaves an already ordered list (the usual case: the sources write in
// address order) as it is without sorting it again.
template <typename Item, typename Less>
void SortStably(std::vector<Item>& items, Less less)
{
    if (!std::is_sorted(items.begin(), items.end(), less))
        std::stable_sort(items.begin(), items.end(), less);
}

bool EndsWithText(std::u16string_view text, std::u16string_view tail)
{
    return text.size() >= tail.size() && SameTextW(text.substr(text.size() - tail.size()), tail);
}

// Names of the runtime's helper records: "@", "$" or "x" first and "$" fifth.
bool IsHelperName(std::u16string_view name)
{
    return name.size() >= 5 && (name[0] == u'@' || name[0] == u'$' || name[0] == u'x') && name[4] == u'$';
}

bool SegmentLess(const TMfSegment& a, const TMfSegment& b)
{
    if (a.code != b.code)
        return a.code;
    if (a.start != b.start)
        return a.start < b.start;
    return a.length > b.length;
}

} // namespace

void TMapFile::AddSegment(bool code, uint64_t start, uint32_t length, std::u16string_view unitName, bool relative, bool merge)
{
    if (codeOnly_ && !code)
        return;
    for (std::u16string_view extension : {u".pas", u".dpr"}) {
        if (EndsWithText(unitName, extension)) {
            unitName.remove_suffix(extension.size());
            break;
        }
    }
    if (relative)
        start += code ? layout_.codeStart : layout_.dataStart;
    size_t& last = lastSegment_[code ? 1 : 0];
    if (merge && last != kNone) {
        TMfSegment& previous = segments_[last];
        if (previous.unitName == unitName && previous.End() <= start && start - previous.End() <= 2) {
            const uint64_t end = start + length;
            previous.length = static_cast<uint32_t>(std::min<uint64_t>(end - previous.start, UINT32_MAX));
            return;
        }
    }
    segments_.push_back({true, code, start, length, UnicodeString(unitName), false});
    last = segments_.size() - 1;
}

void TMapFile::AddPublic(bool code, uint64_t address, std::u16string_view name)
{
    if ((codeOnly_ && !code) || IsHelperName(name))
        return;
    UnicodeString cleaned(name);
    UnicodeString unit;
    UnmangleNameW(cleaned, unit);
    if (cleaned.starts_with(u"@@"))
        cleaned.erase(0, 2);
    if (const TMfSegment* segment = SegmentAt(code, address)) {
        const UnicodeString& unitName = segment->unitName;
        if (!unitName.empty() && cleaned.size() > unitName.size() && cleaned[unitName.size()] == u'.' &&
            SameTextW(std::u16string_view(cleaned).substr(0, unitName.size()), unitName))
            cleaned.erase(0, unitName.size() + 1);
        else if (SameTextW(cleaned, unitName))
            cleaned = u"initialization";
    }
    publics_.push_back({true, code, std::move(cleaned), address});
}

void TMapFile::AddLine(int32_t line, uint64_t address, bool ascending)
{
    if (ascending && !lines_.empty() && address <= lines_.back().address)
        return;
    lines_.push_back({line, address});
}

void TMapFile::SortSegments()
{
    SortStably(segments_, SegmentLess);
    ForgetLastSegments();
}

void TMapFile::JoinSegments(bool fillGaps)
{
    std::vector<TMfSegment> joined;
    for (size_t i = 0; i < segments_.size(); ++i) {
        TMfSegment segment = segments_[i];
        const bool hasNext = i + 1 < segments_.size() && segments_[i + 1].code == segment.code;
        if (hasNext) {
            const uint64_t nextStart = segments_[i + 1].start;
            if (fillGaps || segment.End() > nextStart)
                segment.length = static_cast<uint32_t>(std::min<uint64_t>(nextStart - segment.start, UINT32_MAX));
        }
        if (!joined.empty() && joined.back().code == segment.code && joined.back().End() == segment.start &&
            SameTextW(joined.back().unitName, segment.unitName)) {
            TMfSegment& previous = joined.back();
            previous.length = static_cast<uint32_t>(std::min<uint64_t>(segment.End() - previous.start, UINT32_MAX));
            previous.hasLines = previous.hasLines || segment.hasLines;
            continue;
        }
        if (segment.length > 0 || !hasNext)
            joined.push_back(std::move(segment));
    }
    segments_ = std::move(joined);
    ForgetLastSegments();
}

void TMapFile::SortPublics()
{
    SortStably(publics_, [](const TMfPublic& a, const TMfPublic& b) { return a.address < b.address; });
}

void TMapFile::SortLines()
{
    // Stable, so that of items sharing an address the one added last is found.
    SortStably(lines_, [](const TMfLine& a, const TMfLine& b) { return a.address < b.address; });
}

void TMapFile::Clear()
{
    segments_.clear();
    publics_.clear();
    lines_.clear();
    ForgetLastSegments();
}

const TMfSegment* TMapFile::SegmentAt(bool code, uint64_t address) const
{
    // Segments are sorted by kind, then start: the candidate is the last of its kind starting
    // at or before the address.
    auto after = std::upper_bound(segments_.begin(), segments_.end(), std::pair{code, address},
                                  [](const std::pair<bool, uint64_t>& key, const TMfSegment& segment) {
                                      if (key.first != segment.code)
                                          return key.first;
                                      return key.second < segment.start;
                                  });
    if (after == segments_.begin())
        return nullptr;
    const TMfSegment& candidate = *(after - 1);
    return candidate.code == code && candidate.Contains(address) ? &candidate : nullptr;
}

TMfSegment TMapFile::FindSegment(bool code, uint64_t address) const
{
    const TMfSegment* segment = SegmentAt(code, address);
    return segment ? *segment : TMfSegment{};
}

TMfPublic TMapFile::FindPublic(uint64_t address) const
{
    auto after = std::upper_bound(publics_.begin(), publics_.end(), address,
                                  [](uint64_t value, const TMfPublic& item) { return value < item.address; });
    if (after == publics_.begin())
        return {};
    if (after == publics_.end() && layout_.codeEnd != 0 && address >= layout_.codeEnd)
        return {};
    return *(after - 1);
}

int32_t TMapFile::FindLine(uint64_t address, uint64_t& nextLineAddress) const
{
    nextLineAddress = address + 1;
    if (lines_.empty()) {
        const TMfSegment* segment = SegmentAt(true, address);
        return segment && !segment->unitName.empty() ? -1 : 0;
    }
    auto after = std::upper_bound(lines_.begin(), lines_.end(), address,
                                  [](uint64_t value, const TMfLine& item) { return value < item.address; });
    if (after == lines_.begin())
        return 0;
    if (after == lines_.end() && layout_.codeEnd != 0 && address >= layout_.codeEnd)
        return 0;
    const TMfLine& item = *(after - 1);
    const TMfSegment* segment = SegmentAt(true, address);
    if (!segment || !segment->Contains(item.address))
        return 0;
    if (after != lines_.end())
        nextLineAddress = after->address;
    return item.line;
}

uint64_t TMapFile::FindPublicAddressIn(bool code, std::u16string_view unitName, bool byName, std::u16string_view name) const
{
    // A C++ public is found by the name it is called by, without its parameter list, unless the
    // name asked for has one.
    const bool withParameters = name.find(u'(') != std::u16string_view::npos;
    for (const TMfPublic& item : publics_) {
        const std::u16string_view itemName =
            withParameters ? std::u16string_view(item.name) : std::u16string_view(item.name).substr(0, item.name.find(u'('));
        if (item.code != code || !(byName ? itemName == name : SameTextW(itemName, name)))
            continue;
        if (unitName.empty())
            return item.address;
        const TMfSegment* segment = SegmentAt(code, item.address);
        if (segment && SameTextW(segment->unitName, unitName))
            return item.address;
    }
    return 0;
}

uint64_t TMapFile::FindPublicAddress(bool code, std::u16string_view unitName, bool byName, std::u16string_view name) const
{
    if (const uint64_t address = FindPublicAddressIn(code, unitName, byName, name))
        return address;
    if (unitName.find(u'.') != std::u16string_view::npos)
        return 0;
    for (std::u16string_view extension : {u".cpp", u".h", u".c"}) {
        if (const uint64_t address = FindPublicAddressIn(code, UnicodeString(unitName) + UnicodeString(extension), byName, name))
            return address;
    }
    return 0;
}
