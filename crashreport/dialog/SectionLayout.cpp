#include "dialog/SectionLayout.h"

#include <climits>

#include "text/TextEdit.h"

namespace {

bool IsSeparator(std::u16string_view line, int position)
{
    const char16_t c = line[static_cast<size_t>(position)];
    if (c == u' ' || c == u'=' || c == u'|')
        return true;
    return c == u':' && static_cast<size_t>(position) + 1 < line.size() && line[static_cast<size_t>(position) + 1] == u' ';
}

} // namespace

std::vector<TDALine> SplitSectionLines(std::u16string_view text)
{
    std::vector<TDALine> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const std::u16string_view line = text.substr(start, end - start);
        const bool comment = line.size() >= 2 && line[0] == u'>' && line[1] == u'>';
        lines.push_back({static_cast<int>(start), comment ? -1 : static_cast<int>(line.size())});
        if (end == text.size())
            return lines;
        if (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
        if (start == text.size())
            return lines;
    }
}

TSectionLayout::TSectionLayout(std::u16string_view text, bool requireTwoSupporters)
    : text_(text), lines_(SplitSectionLines(text))
{
    for (const TDALine& line : lines_) {
        size_t end = static_cast<size_t>(line.start);
        while (end < text_.size() && text_[end] != u'\r' && text_[end] != u'\n')
            ++end;
        lineEnds_.push_back(end);
    }
    FindBreaks(requireTwoSupporters);
}

std::u16string_view TSectionLayout::Line(size_t line) const
{
    const size_t start = static_cast<size_t>(lines_[line].start);
    return std::u16string_view(text_).substr(start, lineEnds_[line] - start);
}

int TSectionLayout::ColumnEnd(int column) const
{
    return column + 1 < ColumnCount() ? ColumnStart(column + 1) : INT_MAX;
}

std::u16string_view TSectionLayout::Span(size_t line, int from, int end) const
{
    const std::u16string_view text = Line(line);
    const int length = static_cast<int>(text.size());
    if (from >= length || end <= from)
        return {};
    return text.substr(static_cast<size_t>(from), static_cast<size_t>(std::min(end, length) - from));
}

UnicodeString TSectionLayout::Cell(size_t line, int column) const
{
    return TrimW(Span(line, ColumnStart(column), ColumnEnd(column)));
}

bool TSectionLayout::Reaches(size_t line, int column) const
{
    if (IsComment(line))
        return false;
    const int end = ColumnEnd(column);
    return end == INT_MAX ? Length(line) > ColumnStart(column) : Length(line) >= end;
}

bool TSectionLayout::Survives(int position, size_t model, int requiredSupport) const
{
    const char16_t c = Line(model)[static_cast<size_t>(position)];
    int support = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsComment(i))
            continue;
        const std::u16string_view line = Line(i);
        if (line.size() <= static_cast<size_t>(position))
            continue;
        if (line[static_cast<size_t>(position)] != c)
            return false;
        // A blank backs a break only where a column's text follows it.
        const bool backs = c != u' ' || (static_cast<size_t>(position) + 1 < line.size() &&
                                         line[static_cast<size_t>(position) + 1] != u' ');
        support += backs ? 1 : 0;
    }
    return support >= requiredSupport;
}

void TSectionLayout::FindBreaks(bool requireTwoSupporters)
{
    size_t model = lines_.size();
    int nonEmpty = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsComment(i) || IsEmpty(i))
            continue;
        ++nonEmpty;
        if (model == lines_.size() || Length(i) > Length(model))
            model = i;
    }
    if (model == lines_.size())
        return;
    const int requiredSupport = requireTwoSupporters && nonEmpty > 1 ? 2 : 1;
    std::vector<int> positions;
    const std::u16string_view modelLine = Line(model);
    for (int position = 1; position + 1 < static_cast<int>(modelLine.size()); ++position) {
        if (IsSeparator(modelLine, position) && Survives(position, model, requiredSupport))
            positions.push_back(position);
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i == 0 || positions[i] != positions[i - 1] + 1)
            breaks_.push_back(positions[i]);
    }
    // The separators become blanks, so that no cell keeps one.
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsComment(i))
            continue;
        for (const int position : positions) {
            const size_t at = static_cast<size_t>(lines_[i].start + position);
            if (position < Length(i))
                text_[at] = u' ';
        }
    }
}
