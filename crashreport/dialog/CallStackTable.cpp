#include "dialog/CallStackTable.h"

#include <algorithm>
#include <climits>

#include "dialog/ColumnList.h"
#include "text/CaseFolding.h"
#include "text/TextEdit.h"

namespace {

constexpr std::array<std::u16string_view, StackRoleCount> RoleCaptions = {u"^ rel.", u"module", u"unit",
                                                                          u" line", u" rel.", u"function"};

int& Role(TStackRoles& roles, TStackRole role)
{
    return roles[static_cast<size_t>(role)];
}

int Role(const TStackRoles& roles, TStackRole role)
{
    return roles[static_cast<size_t>(role)];
}

bool IsHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool IsRelativeAddress(std::u16string_view cell)
{
    return !cell.empty() && cell.front() == u'+' && std::all_of(cell.begin() + 1, cell.end(), IsHexDigit);
}

// Blanks, then decimal digits; all blank qualifies too.
bool IsLineNumber(std::u16string_view cell)
{
    size_t i = 0;
    while (i < cell.size() && cell[i] == u' ')
        ++i;
    return std::all_of(cell.begin() + static_cast<std::ptrdiff_t>(i), cell.end(),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool IsIdentifier(std::u16string_view name)
{
    const auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; };
    if (name.empty() || !letter(name.front()))
        return false;
    return std::all_of(name.begin(), name.end(), [&](char16_t c) { return letter(c) || (c >= u'0' && c <= u'9'); });
}

// A unit or function name, or the names of reduced debug information.
bool IsName(std::u16string_view cell)
{
    UnicodeString name = LowerCaseW(TrimW(cell));
    DeleteStrW(name, u".obj");
    DeleteCharW(name, u'.');
    DeleteCharW(name, u':');
    return name.empty() || IsIdentifier(name) || name.find(u"public%") != UnicodeString::npos ||
           name.find(u"segment%") != UnicodeString::npos;
}

template <typename Test>
bool EveryReachingCell(const TSectionLayout& piece, int column, Test test)
{
    for (size_t line = 0; line < piece.LineCount(); ++line) {
        if (piece.Reaches(line, column) &&
            !test(piece.Span(line, piece.ColumnStart(column), piece.ColumnEnd(column))))
            return false;
    }
    return true;
}

bool IsSpanningLine(std::u16string_view trimmed)
{
    return trimmed.empty() || (trimmed.size() >= 2 && trimmed[0] == u'>' && trimmed[1] == u'>');
}

// The cells of one stack line, one per captioned role after the address.
std::vector<UnicodeString> StackCells(const TSectionLayout& piece, size_t line, const TStackRoles& roles,
                                      const std::array<bool, StackRoleCount>& captioned)
{
    std::vector<UnicodeString> cells{piece.Cell(line, 0)};
    for (size_t r = 0; r < StackRoleCount; ++r) {
        if (!captioned[r])
            continue;
        const int column = roles[r];
        if (column < 0) {
            cells.emplace_back();
            continue;
        }
        int end = piece.ColumnEnd(column);
        // A module name that was split keeps together up to the unit; the function, always
        // the last, takes the rest of the line.
        if (static_cast<TStackRole>(r) == TStackRole::Module && Role(roles, TStackRole::Unit) > column)
            end = piece.ColumnStart(Role(roles, TStackRole::Unit));
        if (static_cast<TStackRole>(r) == TStackRole::Function)
            end = INT_MAX;
        cells.push_back(TrimW(piece.Span(line, piece.ColumnStart(column), end)));
    }
    return cells;
}

} // namespace

TStackRoles FindStackRoles(const TSectionLayout& piece)
{
    TStackRoles roles;
    roles.fill(-1);
    const int columns = piece.ColumnCount();
    int module = 1;
    bool relative = false;
    if (columns >= 3 && EveryReachingCell(piece, 1, [](std::u16string_view cell) { return IsRelativeAddress(TrimW(cell)); })) {
        relative = true;
        Role(roles, TStackRole::RelativeAddress) = 1;
        module = 2;
    }
    if (module >= columns)
        return roles;
    Role(roles, TStackRole::Module) = module;
    const int shift = relative ? 1 : 0;
    if (columns >= 4 + shift) {
        for (int column = 3 + shift; column < columns; ++column) {
            if (!EveryReachingCell(piece, column, IsLineNumber))
                continue;
            Role(roles, TStackRole::Line) = column;
            if (column - 1 > module)
                Role(roles, TStackRole::Unit) = column - 1;
            const int following = columns - 1 - column;
            if (following == 1) {
                Role(roles, TStackRole::Function) = column + 1;
            } else if (following >= 2) {
                Role(roles, TStackRole::RelativeLine) = column + 1;
                Role(roles, TStackRole::Function) = column + 2;
            }
            return roles;
        }
    }
    if (columns >= 3 + shift) {
        for (int column = 2 + shift; column < columns; ++column) {
            if (!EveryReachingCell(piece, column, IsName))
                continue;
            if (column == columns - 2) {
                Role(roles, TStackRole::Unit) = column;
                Role(roles, TStackRole::Function) = columns - 1;
            } else {
                Role(roles, TStackRole::Function) = column;
            }
            return roles;
        }
    }
    // Counted after the module, so that a relative-address column never doubles as another.
    if (columns == module + 2) {
        Role(roles, TStackRole::Function) = module + 1;
    } else if (columns == module + 3) {
        Role(roles, TStackRole::Unit) = module + 1;
        Role(roles, TStackRole::Function) = module + 2;
    }
    return roles;
}

std::vector<std::u16string_view> SplitStackPieces(std::u16string_view text)
{
    std::vector<std::u16string_view> pieces;
    if (text.empty())
        return pieces;
    const std::vector<TDALine> lines = SplitSectionLines(text);
    const auto startsWith = [&](size_t i, std::u16string_view prefix) {
        return text.substr(static_cast<size_t>(lines[i].start), prefix.size()) == prefix;
    };
    size_t pieceStart = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        const bool created = lines[i].length < 0 && startsWith(i, u">> created") && lines[i - 1].length > 0;
        // The next thread section: an empty line and its heading.
        const bool nextSection = lines[i].length == 0 && i + 1 < lines.size() && lines[i + 1].length < 0;
        if (!created && !nextSection)
            continue;
        const size_t previousEnd = static_cast<size_t>(lines[i - 1].start + std::max(lines[i - 1].length, 0));
        const size_t end = lines[i - 1].length < 0 ? text.find_first_of(u"\r\n", previousEnd) : previousEnd;
        pieces.push_back(text.substr(pieceStart, std::min(end, text.size()) - pieceStart));
        pieceStart = static_cast<size_t>(lines[i].start);
    }
    pieces.push_back(text.substr(pieceStart));
    return pieces;
}

TViewTable BuildCallStackTable(std::u16string_view text)
{
    const std::vector<std::u16string_view> texts = SplitStackPieces(text);
    std::vector<TSectionLayout> pieces;
    for (const std::u16string_view piece : texts)
        pieces.emplace_back(piece, false);
    std::vector<TStackRoles> roles;
    std::array<bool, StackRoleCount> captioned{};
    for (const TSectionLayout& piece : pieces) {
        roles.push_back(FindStackRoles(piece));
        for (size_t r = 0; r < StackRoleCount; ++r)
            captioned[r] = captioned[r] || roles.back()[r] >= 0;
    }
    UnicodeString columnList = u"^address";
    for (size_t r = 0; r < StackRoleCount; ++r) {
        if (captioned[r])
            columnList += ConcatW({u"|", RoleCaptions[r]});
    }
    TViewTable table;
    table.columns = ParseColumnList(columnList);
    table.hasHeader = true;
    bool previousEmpty = false;
    for (size_t p = 0; p < pieces.size(); ++p) {
        const TSectionLayout& piece = pieces[p];
        // A trace that failed at once has no heading to set apart.
        const bool failed = texts[p].find(u">> internal error") != std::u16string_view::npos;
        bool headingSeen = false;
        for (size_t line = 0; line < piece.LineCount(); ++line) {
            const UnicodeString trimmed = TrimW(piece.Line(line));
            TViewRow row;
            if (IsSpanningLine(trimmed)) {
                const bool heading = !trimmed.empty() && !headingSeen;
                headingSeen = headingSeen || heading;
                row.spanning = true;
                row.cells.push_back(trimmed.size() > 3 ? trimmed.substr(3) : UnicodeString());
                row.followsBlank = (table.rows.empty() || previousEmpty) && !(heading && failed);
            } else {
                headingSeen = true;
                row.cells = piece.ColumnCount() == 1 ? std::vector<UnicodeString>{trimmed}
                                                     : StackCells(piece, line, roles[p], captioned);
            }
            previousEmpty = trimmed.empty();
            table.rows.push_back(std::move(row));
        }
    }
    return table;
}
