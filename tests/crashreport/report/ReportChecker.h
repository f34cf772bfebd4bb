#pragma once
// An independent reader of the bug-report format, for the tests: it splits a report into its
// header fields and sections and records every way the text breaks the format.
#include <optional>
#include <string>
#include <vector>

struct TCheckedSection {
    std::string title;
    std::vector<std::string> lines;
};

struct TCheckedReport {
    std::vector<std::pair<std::string, std::string>> header;
    std::vector<TCheckedSection> sections;
    std::vector<std::string> problems; // empty for a well-formed report

    std::optional<std::string> Field(const std::string& name) const;
    // The first section whose title starts with the given text.
    const TCheckedSection* Section(const std::string& titleStart) const;
};

// Characters above 127 become "?": the tests look at ASCII only.
TCheckedReport CheckReport(const std::u16string& text);
