#include "delivery/ReportTextOps.h"

namespace {

template <class Char>
std::basic_string<Char> Widen(std::string_view ascii)
{
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

template <class Char>
bool IsBlank(Char c)
{
    return c == Char(' ') || c == Char('\t');
}

struct TLine {
    size_t start = std::string_view::npos; // of the line
    size_t colon = 0;
    size_t end = 0; // before its line break
};

// The header line of that name: at the start of the report or after a CR LF.
template <class Char>
TLine FindHeaderLine(std::basic_string_view<Char> report, std::string_view name)
{
    const std::basic_string<Char> wanted = Widen<Char>(name);
    size_t at = 0;
    while (!name.empty() && at < report.size()) {
        if (report.compare(at, wanted.size(), wanted) == 0) {
            size_t colon = at + wanted.size();
            while (colon < report.size() && IsBlank(report[colon]))
                ++colon;
            if (colon < report.size() && report[colon] == Char(':')) {
                const size_t end = report.find(Widen<Char>("\r\n"), colon);
                return {at, colon, end == std::basic_string_view<Char>::npos ? report.size() : end};
            }
        }
        const size_t next = report.find(Widen<Char>("\r\n"), at);
        if (next == std::basic_string_view<Char>::npos)
            break;
        at = next + 2;
    }
    return {};
}

template <class Char>
std::basic_string<Char> HeaderValue(std::basic_string_view<Char> report, std::string_view name)
{
    const TLine line = FindHeaderLine(report, name);
    if (line.start == std::basic_string_view<Char>::npos)
        return {};
    size_t first = line.colon + 1;
    size_t last = line.end;
    while (first < last && IsBlank(report[first]))
        ++first;
    while (last > first && IsBlank(report[last - 1]))
        --last;
    return std::basic_string<Char>(report.substr(first, last - first));
}

} // namespace

std::string GetReportHeaderValue(std::string_view report, std::string_view name) { return HeaderValue(report, name); }

std::u16string GetReportHeaderValue(std::u16string_view report, std::string_view name)
{
    return HeaderValue(report, name);
}

std::u16string GetReportSection(std::u16string_view report, std::string_view name)
{
    const std::u16string title = u"\r\n\r\n" + Widen<char16_t>(name) + u":";
    const size_t found = report.find(title);
    if (name.empty() || found == std::u16string_view::npos)
        return {};
    const size_t start = found + title.size();
    const size_t end = report.find(u"\r\n\r\n", start);
    return std::u16string(report.substr(start, end == std::u16string_view::npos ? end : end - start));
}

std::string InsertReportHeaderLine(std::string_view report, std::string_view anchor, std::string_view name,
                                   std::string_view value)
{
    const TLine line = FindHeaderLine(report, anchor);
    if (line.start == std::string_view::npos)
        return std::string(report);
    std::string inserted = "\r\n" + std::string(name);
    const size_t column = line.colon - line.start;
    if (name.size() < column)
        inserted.append(column - name.size(), ' ');
    inserted += ": " + std::string(value);
    std::string result(report);
    result.insert(line.end, inserted);
    return result;
}

bool SameReportHeaderValue(std::string_view a, std::string_view b, std::string_view name)
{
    return GetReportHeaderValue(a, name) == GetReportHeaderValue(b, name);
}
