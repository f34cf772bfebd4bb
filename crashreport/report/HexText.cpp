#include "HexText.h"

UnicodeString HexDigits(uint64_t value, int minDigits)
{
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    UnicodeString text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < minDigits)
        text.insert(0, static_cast<size_t>(minDigits) - text.size(), u'0');
    return text;
}
