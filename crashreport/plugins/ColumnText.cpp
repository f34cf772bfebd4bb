#include "plugins/ColumnText.h"

#include <algorithm>

UnicodeString PadRight(std::u16string_view text, size_t width)
{
    UnicodeString padded(text);
    if (padded.size() < width)
        padded.append(width - padded.size(), u' ');
    return padded;
}

UnicodeString LowerHex(uint64_t value, size_t digits)
{
    UnicodeString text;
    do {
        text.insert(text.begin(), u"0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), u'0');
    return text;
}

size_t ColumnWidth(const std::vector<UnicodeString>& column)
{
    size_t longest = 0;
    for (const UnicodeString& text : column)
        longest = std::max(longest, text.size());
    return longest + 1;
}

UnicodeString JoinLines(const std::vector<UnicodeString>& lines)
{
    UnicodeString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += u"\r\n";
        text += lines[i];
    }
    return text;
}
