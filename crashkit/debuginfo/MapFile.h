#pragma once
// One module's debug information: unit segments, publics and line items in sorted arrays,
// filled by the loaders of the several source formats and searched by binary search.
#include <cstdint>
#include <string_view>
#include <vector>

#include "debuginfo/MapFileTypes.h"

class TMapFile {
public:
    explicit TMapFile(bool codeOnly = true) : codeOnly_(codeOnly) {}

    const TModuleLayout& Layout() const { return layout_; }
    void SetLayout(const TModuleLayout& layout) { layout_ = layout; }
    bool Valid() const { return valid_; }
    void SetValid(bool valid) { valid_ = valid; }
    uint64_t ModuleHandle() const { return moduleHandle_; }
    void SetModuleHandle(uint64_t handle) { moduleHandle_ = handle; }
    const UnicodeString& ModuleFileName() const { return moduleFileName_; }
    void SetModuleFileName(UnicodeString name) { moduleFileName_ = std::move(name); }
    const AnsiString& MinDebugInfo() const { return minDebugInfo_; }
    // At most 31 characters are kept.
    void SetMinDebugInfo(std::string_view text) { minDebugInfo_ = AnsiString(text.substr(0, 31)); }

    const std::vector<TMfSegment>& Segments() const { return segments_; }
    const std::vector<TMfPublic>& Publics() const { return publics_; }
    const std::vector<TMfLine>& Lines() const { return lines_; }

    // start is relative to the code (or data) start when relative is set. A unit name ending in
    // ".pas" or ".dpr" loses that extension. With merge, a segment of the same unit that ends at
    // most 2 bytes before the new start is extended instead.
    void AddSegment(bool code, uint64_t start, uint32_t length, std::u16string_view unitName, bool relative, bool merge);
    // Cleans the name: skips runtime helper names, unmangles, strips the containing unit's
    // prefix; a public named like its unit is the unit's "initialization".
    void AddPublic(bool code, uint64_t address, std::u16string_view name);
    // With ascending, an item not above the last one is dropped.
    void AddLine(int32_t line, uint64_t address, bool ascending);
    void ForgetLastSegments() { lastSegment_[0] = lastSegment_[1] = kNone; }

    // Code first, then by start, longer first.
    void SortSegments();
    // Each segment reaches the next of its kind (cut or extended); neighbours of one unit merge.
    // Without gap filling a gap between segments stays.
    void JoinSegments(bool fillGaps);
    void SortPublics();
    void SortLines();
    // Drops everything loaded (a source that failed half-way).
    void Clear();

    TMfSegment FindSegment(bool code, uint64_t address) const;
    TMfPublic FindPublic(uint64_t address) const;
    // The line of the address, with the address of the next line item (address + 1 when none).
    // Without line items: -1 when a named code segment holds the address, else 0.
    int32_t FindLine(uint64_t address, uint64_t& nextLineAddress) const;
    // 0 when not found. A unit name without "." is also tried with ".cpp", ".h" and ".c"; an empty
    // one stands for any unit. A C++ name is matched without its parameter list unless the name
    // asked for has one.
    uint64_t FindPublicAddress(bool code, std::u16string_view unitName, bool byName, std::u16string_view name) const;

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    const TMfSegment* SegmentAt(bool code, uint64_t address) const;
    uint64_t FindPublicAddressIn(bool code, std::u16string_view unitName, bool byName, std::u16string_view name) const;

    bool codeOnly_;
    bool valid_ = false;
    TModuleLayout layout_;
    uint64_t moduleHandle_ = 0;
    UnicodeString moduleFileName_;
    AnsiString minDebugInfo_;
    std::vector<TMfSegment> segments_;
    std::vector<TMfPublic> publics_;
    std::vector<TMfLine> lines_;
    size_t lastSegment_[2] = {kNone, kNone}; // per kind: data, code
};
