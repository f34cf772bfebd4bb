#include "system/SystemText.h"

#include "text/NumberFormat.h"

namespace {

template <typename Text, typename Decimal>
Text VersionText(uint32_t most, uint32_t least, Decimal decimal)
{
    Text text = decimal(most >> 16);
    for (const uint32_t half : {most & 0xFFFF, least >> 16, least & 0xFFFF}) {
        text += '.';
        text += decimal(half);
    }
    return text;
}

} // namespace

AnsiString VersionToStrA(uint32_t mostSignificant, uint32_t leastSignificant)
{
    return VersionText<AnsiString>(mostSignificant, leastSignificant,
                                   [](uint32_t value) { return UIntToDecA(value, 0, ' '); });
}

UnicodeString VersionToStrW(uint32_t mostSignificant, uint32_t leastSignificant)
{
    return VersionText<UnicodeString>(mostSignificant, leastSignificant,
                                      [](uint32_t value) { return UIntToDecW(value, 0, u' '); });
}
