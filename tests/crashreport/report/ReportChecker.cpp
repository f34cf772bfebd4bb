#include "ReportChecker.h"

#include <algorithm>

namespace {

std::string Narrow(const std::u16string& text)
{
    std::string narrow;
    for (const char16_t c : text)
        narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

// Lines end in CR LF only; a lone CR or LF is a fault of the format.
std::vector<std::string> Lines(const std::string& text, std::vector<std::string>& problems)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find("\r\n", start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.find_first_of("\r\n") != std::string::npos)
            problems.push_back("lone CR or LF in line: " + line);
        lines.push_back(line);
        if (end == std::string::npos)
            return lines;
        start = end + 2;
    }
}

void ReadHeader(const std::vector<std::string>& lines, size_t end, TCheckedReport& report)
{
    size_t colon = std::string::npos;
    size_t longestName = 0;
    for (size_t i = 0; i < end; ++i) {
        const std::string& line = lines[i];
        const size_t at = line.find(": ");
        if (at == std::string::npos) {
            report.problems.push_back("header line without \": \": " + line);
            continue;
        }
        if (colon == std::string::npos)
            colon = at;
        else if (at != colon)
            report.problems.push_back("header line with its \": \" in another column: " + line);
        std::string name = line.substr(0, at);
        const size_t last = name.find_last_not_of(' ');
        name = last == std::string::npos ? "" : name.substr(0, last + 1);
        longestName = std::max(longestName, name.size());
        report.header.emplace_back(name, line.substr(at + 2));
    }
    if (colon != std::string::npos && colon != longestName + 1)
        report.problems.push_back("names padded to " + std::to_string(colon) + " instead of the longest name + 1");
}

void ReadSections(const std::vector<std::string>& lines, size_t start, TCheckedReport& report)
{
    for (size_t i = start; i < lines.size();) {
        if (!lines[i].empty() || i + 1 >= lines.size()) {
            report.problems.push_back("section not led by a blank line at line " + std::to_string(i));
            ++i;
            continue;
        }
        TCheckedSection section{lines[i + 1], {}};
        if (section.title.find(':') == std::string::npos)
            report.problems.push_back("section title without \":\": " + section.title);
        for (i += 2; i < lines.size() && !lines[i].empty(); ++i) {
            if (lines[i].back() == ' ')
                report.problems.push_back("body line with trailing blanks: " + lines[i]);
            section.lines.push_back(lines[i]);
        }
        if (section.lines.empty())
            report.problems.push_back("section without body: " + section.title);
        report.sections.push_back(section);
    }
}

} // namespace

std::optional<std::string> TCheckedReport::Field(const std::string& name) const
{
    for (const auto& [fieldName, value] : header) {
        if (fieldName == name)
            return value;
    }
    return std::nullopt;
}

const TCheckedSection* TCheckedReport::Section(const std::string& titleStart) const
{
    for (const TCheckedSection& section : sections) {
        if (section.title.rfind(titleStart, 0) == 0)
            return &section;
    }
    return nullptr;
}

TCheckedReport CheckReport(const std::u16string& text)
{
    TCheckedReport report;
    const std::vector<std::string> lines = Lines(Narrow(text), report.problems);
    const size_t headerEnd = std::find(lines.begin(), lines.end(), std::string()) - lines.begin();
    ReadHeader(lines, headerEnd, report);
    ReadSections(lines, headerEnd, report);
    return report;
}
