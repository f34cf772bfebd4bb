#include "ReportText.h"

#include <algorithm>

namespace {

constexpr char16_t kLineBreak[] = u"\r\n";

// Split at CR LF, CR and LF: a lone LF from a plug-in must not end up inside a line.
std::vector<std::u16string_view> BodyLines(std::u16string_view body)
{
    std::vector<std::u16string_view> lines;
    size_t start = 0;
    for (size_t at = 0; at < body.size(); ++at) {
        const char16_t c = body[at];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.push_back(body.substr(start, at - start));
        if (c == u'\r' && at + 1 < body.size() && body[at + 1] == u'\n')
            ++at;
        start = at + 1;
    }
    lines.push_back(body.substr(start));
    return lines;
}

std::u16string_view WithoutTrailingBlanks(std::u16string_view line)
{
    const size_t end = line.find_last_not_of(u' ');
    return end == std::u16string_view::npos ? std::u16string_view() : line.substr(0, end + 1);
}

} // namespace

UnicodeString SingleLineValue(std::u16string_view value)
{
    UnicodeString result;
    result.reserve(value.size());
    for (const char16_t c : value) {
        const char16_t put = (c == u'\r' || c == u'\n') ? u' ' : c;
        if (put == u' ' && !result.empty() && result.back() == u' ')
            continue;
        result += put;
    }
    return result;
}

UnicodeString HeaderText(std::span<const THeaderField> header)
{
    std::vector<UnicodeString> names;
    size_t width = 0;
    for (const THeaderField& field : header) {
        names.push_back(SingleLineValue(field.name));
        width = std::max(width, names.back().size());
    }
    ++width;
    UnicodeString text;
    for (size_t i = 0; i < header.size(); ++i) {
        const THeaderField& field = header[i];
        if (!text.empty())
            text += kLineBreak;
        text += names[i];
        text.append(width - names[i].size(), u' ');
        text += u": ";
        text += SingleLineValue(field.value);
    }
    return text;
}

UnicodeString SectionText(const TReportSection& section)
{
    const UnicodeString title = SingleLineValue(section.title);
    UnicodeString text = kLineBreak;
    text += kLineBreak;
    text += title;
    if (title.find(u':') == UnicodeString::npos)
        text += u':';
    const std::u16string_view body = section.body ? std::u16string_view(*section.body) : kSectionPlaceholder;
    for (const std::u16string_view line : BodyLines(body)) {
        text += kLineBreak;
        const std::u16string_view kept = WithoutTrailingBlanks(line);
        text += kept.empty() ? std::u16string_view(u".") : kept;
    }
    return text;
}

UnicodeString ReportText(const TReportFacts& facts)
{
    UnicodeString text = HeaderText(facts.header);
    for (const TReportSection& section : facts.sections)
        text += SectionText(section);
    return text;
}
