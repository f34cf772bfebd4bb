#pragma once
// Editing of texts in place and by copy; positions are 1-based.
#include <initializer_list>
#include <string_view>

#include "text/CharSet.h"
#include "text/ZelTypes.h"

// The parts one after another. Built by appending: GCC 12 reports a false overlap (-Wrestrict)
// where an optimised operator+ puts a text in front of a temporary one.
AnsiString ConcatA(std::initializer_list<std::string_view> parts);
UnicodeString ConcatW(std::initializer_list<std::u16string_view> parts);

// Removes characters 0-32 from both ends.
void TrimA(AnsiString& text);
AnsiString TrimA(std::string_view text);
void TrimW(UnicodeString& text);
UnicodeString TrimW(std::u16string_view text);

// Remove every occurrence; true when anything was removed.
bool DeleteCharW(UnicodeString& text, char16_t c);
bool DeleteCharSetW(UnicodeString& text, const TCharSet& set);
bool DeleteStrW(UnicodeString& text, std::u16string_view sub);

// Replace every occurrence of from by to (Text: ignoring case). The next search starts
// behind the inserted text, or with rescan one character after its start, so that the
// inserted text is searched again; a replacement that holds the pattern itself would
// never end that way and is made without rescan. True when anything was replaced.
bool ReplaceStrA(AnsiString& text, std::string_view from, std::string_view to, bool rescan);
bool ReplaceTextA(AnsiString& text, std::string_view from, std::string_view to, bool rescan);
bool ReplaceStrW(UnicodeString& text, std::u16string_view from, std::u16string_view to, bool rescan);
bool ReplaceTextW(UnicodeString& text, std::u16string_view from, std::u16string_view to, bool rescan);

// Copy without count characters from position on.
AnsiString DeleteRangeA(std::string_view text, int position, int count);
UnicodeString DeleteRangeW(std::u16string_view text, int position, int count);
// The text becomes count characters from position on.
void KeepRangeA(AnsiString& text, int position, int count);
void KeepRangeW(UnicodeString& text, int position, int count);
UnicodeString RightStrW(std::u16string_view text, int count);

// Removes c from both ends and reduces every inner run of c to one.
void CollapseCharW(UnicodeString& text, char16_t c);
