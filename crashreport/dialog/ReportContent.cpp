#include "dialog/ReportContent.h"

#include "dialog/SectionLayout.h"
#include "text/TextEdit.h"

namespace {

std::u16string_view LineAt(std::u16string_view text, const TDALine& line)
{
    const std::u16string_view rest = text.substr(static_cast<size_t>(line.start));
    return rest.substr(0, std::min(rest.find(u'\r'), rest.find(u'\n')));
}

} // namespace

TReportContent ParseReportText(std::u16string_view text)
{
    TReportContent report;
    const std::vector<TDALine> lines = SplitSectionLines(text);
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::u16string_view line = LineAt(text, lines[i]);
        if (line.empty())
            break;
        const size_t colon = line.find(u": ");
        if (colon == std::u16string_view::npos)
            report.header.emplace_back(TrimW(line), UnicodeString());
        else
            report.header.emplace_back(TrimW(line.substr(0, colon)), UnicodeString(line.substr(colon + 2)));
    }
    while (i < lines.size()) {
        while (i < lines.size() && LineAt(text, lines[i]).empty())
            ++i;
        if (i == lines.size())
            break;
        UnicodeString title(LineAt(text, lines[i++]));
        UnicodeString body;
        for (bool first = true; i < lines.size(); first = false, ++i) {
            const std::u16string_view line = LineAt(text, lines[i]);
            if (line.empty())
                break;
            if (!first)
                body += u"\r\n";
            if (line != u".")
                body += line;
        }
        report.sections.emplace_back(std::move(title), std::move(body));
    }
    return report;
}

std::u16string_view SectionName(std::u16string_view title)
{
    size_t end = title.size();
    while (end > 0 && (title[end - 1] == u' ' || title[end - 1] == u':'))
        --end;
    return title.substr(0, end);
}

bool IsThreadSection(std::u16string_view title)
{
    return title.find(u'$') != std::u16string_view::npos;
}
