#include "wizard/PropertyValues.h"

#include "text/CaseFolding.h"
#include "text/NumberFormat.h"
#include "text/TextEdit.h"
#include "text/TextSearch.h"

bool ParseFlag(std::u16string_view value)
{
    return SameTextW(value, u"yes") || SameTextW(value, u"true") || value == u"1";
}

int32_t ParseNumber(std::u16string_view value)
{
    const UnicodeString trimmed = TrimW(value);
    std::u16string_view digits = trimmed;
    const bool negative = !digits.empty() && digits.front() == u'-';
    if (negative)
        digits.remove_prefix(1);
    bool hex = false;
    if (digits.starts_with(u"$")) {
        hex = true;
        digits.remove_prefix(1);
    } else if (digits.starts_with(u"0x") || digits.starts_with(u"0X")) {
        hex = true;
        digits.remove_prefix(2);
    }
    const int32_t magnitude = DigitsToIntW(hex, digits);
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(magnitude)) : magnitude;
}

int32_t ParseMeasure(std::u16string_view value, int32_t lowest, int32_t highest)
{
    const int32_t number = ParseNumber(value);
    return number < lowest ? lowest : number > highest ? highest : number;
}

UnicodeString ExpandLineBreaks(std::u16string_view value)
{
    UnicodeString text(value);
    ReplaceTextW(text, u"%lf%", u"\r\n", false);
    return text;
}

bool IsOwnSectionOutput(std::u16string_view value)
{
    return ContainsTextW(u"ownSection", value);
}
