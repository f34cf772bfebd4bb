#include "dialog/box/SafeText.h"

namespace {

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

bool IsLayout(char16_t c)
{
    return c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

UnicodeString SafeLine(std::u16string_view text)
{
    UnicodeString line(text);
    for (char16_t& c : line)
        if (IsControl(c))
            c = IsLayout(c) ? u' ' : u'?';
    return line;
}

UnicodeString SafeLines(std::u16string_view text)
{
    UnicodeString report(text);
    for (char16_t& c : report)
        if (IsControl(c) && !IsLayout(c))
            c = u'?';
    return report;
}
