#pragma once
// Reading and editing a bug report's text: its header lines ("name   : value", names padded
// to one colon column) and its sections (a title line "name:" after an empty line). The same
// operations serve the report as text (UTF-16) and as saved in the file (8-bit).
#include <string>
#include <string_view>

// The value of the header line of that name, trimmed; empty when the report has none. A line
// counts only when the whole name stands before its colon ("processor" is not "processors").
std::string GetReportHeaderValue(std::string_view report, std::string_view name);
std::u16string GetReportHeaderValue(std::u16string_view report, std::string_view name);

// The text after "name:" of the section of that title, up to the next empty line.
std::u16string GetReportSection(std::u16string_view report, std::string_view name);

// A header line "name: value" after the anchor's line, padded to the anchor's colon column;
// the report unchanged when the anchor is missing.
std::string InsertReportHeaderLine(std::string_view report, std::string_view anchor, std::string_view name,
                                   std::string_view value);

bool SameReportHeaderValue(std::string_view a, std::string_view b, std::string_view name);
