// The disassembly listing: an address (or source line) column, the instruction and the
// comment. The listing marks its own structure (separator lines, comments after a tab or a
// run of blanks), so no column detection is needed.
#include "dialog/SectionTables.h"

#include <algorithm>

#include "dialog/ColumnList.h"
#include "dialog/SectionLayout.h"
#include "text/TextEdit.h"

namespace {

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool IsDecimal(std::u16string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsAddress(std::u16string_view text)
{
    return text.size() >= 8 && std::all_of(text.begin(), text.end(), IsHexDigit);
}

std::u16string_view FirstToken(std::u16string_view text)
{
    return text.substr(0, std::min(text.find(u' '), text.find(u'\t')));
}

bool IsSeparatorLine(std::u16string_view trimmed)
{
    return trimmed.substr(0, 4) == u"# --" || trimmed.substr(0, 4) == u"; --";
}

// A source line number in front of the address: "12 00401000 ...".
bool HasSourceLine(std::u16string_view line)
{
    const std::u16string_view number = FirstToken(line);
    if (!IsDecimal(number) || number.size() >= 8)
        return false;
    return IsAddress(FirstToken(TrimW(line.substr(number.size()))));
}

struct TCodeLine {
    UnicodeString first;
    UnicodeString code;
    UnicodeString comment;
};

TCodeLine SplitCodeLine(std::u16string_view line, bool lineNumbers)
{
    TCodeLine parts;
    size_t semicolon = 0;
    while ((semicolon = line.find(u';', semicolon + 1)) != std::u16string_view::npos) {
        if (line[semicolon - 1] == u' ' || line[semicolon - 1] == u'\t')
            break;
    }
    if (semicolon != std::u16string_view::npos) {
        parts.comment = TrimW(line.substr(semicolon + 1));
        line = line.substr(0, semicolon);
    }
    const std::u16string_view first = FirstToken(line);
    const bool numbered = lineNumbers && !line.empty() && line.front() != u' ' && IsDecimal(first);
    if (numbered || (!lineNumbers && IsAddress(first))) {
        parts.first = UnicodeString(first);
        line.remove_prefix(first.size());
    }
    parts.code = TrimW(line);
    return parts;
}

} // namespace

TViewTable BuildDisassemblyTable(std::u16string_view text)
{
    const std::vector<TDALine> lines = SplitSectionLines(text);
    std::vector<std::u16string_view> texts;
    bool lineNumbers = false;
    for (const TDALine& line : lines) {
        std::u16string_view body = text.substr(static_cast<size_t>(line.start));
        body = body.substr(0, std::min(body.find(u'\r'), body.find(u'\n')));
        texts.push_back(body);
        lineNumbers = lineNumbers || HasSourceLine(body);
    }
    TViewTable table;
    table.columns = ParseColumnList(lineNumbers ? u"line|asm code|comments" : u"address|asm code|comments");
    table.hasHeader = true;
    bool previousEmpty = false;
    for (const std::u16string_view line : texts) {
        const UnicodeString trimmed = TrimW(line);
        if (trimmed.empty() || (trimmed.size() >= 2 && trimmed[0] == u'>' && trimmed[1] == u'>') ||
            IsSeparatorLine(trimmed)) {
            table.rows.push_back(SpanningRow(trimmed, previousEmpty && !trimmed.empty() && !IsSeparatorLine(trimmed)));
        } else {
            TCodeLine parts = SplitCodeLine(line, lineNumbers);
            table.rows.push_back({{std::move(parts.first), std::move(parts.code), std::move(parts.comment)}, false, false});
        }
        previousEmpty = trimmed.empty();
    }
    return table;
}
