#pragma once
// The bug report in the making: header fields in their order and sections in theirs. A
// section that has not been calculated yet has no body and is written with the placeholder.
#include <optional>
#include <vector>

#include "text/ZelTypes.h"

inline constexpr char16_t kSectionPlaceholder[] = u">> will be calculated soon";
inline constexpr char16_t kFieldPlaceholder[] = u"will be calculated soon";
inline constexpr char16_t kCallstackCrcField[] = u"callstack crc";

struct THeaderField {
    UnicodeString name;
    UnicodeString value;
};
using THeaderFields = std::vector<THeaderField>;

struct TReportSection {
    UnicodeString title;
    std::optional<UnicodeString> body; // none until calculated
};
using TReportSections = std::vector<TReportSection>;

struct TReportFacts {
    THeaderFields header;
    TReportSections sections;

    // The section of that title; null when none was announced.
    TReportSection* Section(const UnicodeString& title);
    // Replaces the value of the field of that name, or appends the field.
    void SetField(const UnicodeString& name, const UnicodeString& value);
};
