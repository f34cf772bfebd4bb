#pragma once
// A section text cut into lines, with the column breaks that every line agrees on. Report
// sections are fixed-width text without separators; their columns are recovered from the
// characters the lines share.
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

// One line: start and length in characters; a comment line (">>") has length -1.
struct TDALine {
    int start = 0;
    int length = 0;
};

// The positions at which a new column starts.
using TDAPiece = std::vector<int>;

// Cut at CR (an LF after it skipped) and at a lone LF.
std::vector<TDALine> SplitSectionLines(std::u16string_view text);

class TSectionLayout {
public:
    // With requireTwoSupporters, a section of several non-empty lines needs two lines that
    // back a break.
    TSectionLayout(std::u16string_view text, bool requireTwoSupporters);

    size_t LineCount() const { return lines_.size(); }
    bool IsComment(size_t line) const { return lines_[line].length < 0; }
    bool IsEmpty(size_t line) const { return lines_[line].length == 0; }
    // The line as written (separators of breaks blanked).
    std::u16string_view Line(size_t line) const;
    int Length(size_t line) const { return static_cast<int>(Line(line).size()); }

    const TDAPiece& Breaks() const { return breaks_; }
    int ColumnCount() const { return static_cast<int>(breaks_.size()) + 1; }
    int ColumnStart(int column) const { return column == 0 ? 0 : breaks_[static_cast<size_t>(column - 1)]; }
    // The start of the next column; the line's end for the last one.
    int ColumnEnd(int column) const;

    // The text from `from` up to `end`, clipped to the line, untrimmed.
    std::u16string_view Span(size_t line, int from, int end) const;
    // A column's text, trimmed of blanks and control characters.
    UnicodeString Cell(size_t line, int column) const;
    // Whether the line reaches the column's last character (for the last column: into it).
    bool Reaches(size_t line, int column) const;

private:
    void FindBreaks(bool requireTwoSupporters);
    bool Survives(int position, size_t model, int requiredSupport) const;

    UnicodeString text_;
    std::vector<TDALine> lines_;
    // Where each line ends, comment lines included.
    std::vector<size_t> lineEnds_;
    TDAPiece breaks_;
};
