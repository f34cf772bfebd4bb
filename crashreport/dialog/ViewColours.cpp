#include "dialog/ViewColours.h"

namespace {

constexpr TColour BlueTint = Rgb(240, 248, 255);
constexpr TColour RedTint = Rgb(255, 244, 244);

struct TLowColour {
    TColour normal;
    TColour selected;
};

TLowColour LowColourOf(TColour colour)
{
    if (colour == RedTint)
        return {Rgb(128, 255, 255), Rgb(0, 128, 128)};
    if (colour == BlueTint)
        return {Rgb(255, 255, 192), Rgb(128, 128, 0)};
    return {White, Rgb(192, 192, 192)};
}

TColour Darker(TColour colour)
{
    TColour result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int channel = static_cast<int>((colour >> shift) & 0xFF) - 16;
        result |= static_cast<TColour>(channel < 0 ? 0 : channel) << shift;
    }
    return result;
}

} // namespace

TColour CellBackground(int column, int columnCount, bool spanning, bool selected, bool lowColour)
{
    TColour colour = White;
    if (!spanning && columnCount > 1 && column % 2 == 0)
        colour = column % 4 == 0 ? BlueTint : RedTint;
    if (lowColour) {
        const TLowColour low = LowColourOf(colour);
        return selected ? low.selected : low.normal;
    }
    return selected ? Darker(colour) : colour;
}

TColour SelectionFrameColour(bool lowColour)
{
    return lowColour ? Rgb(128, 128, 128) : Rgb(176, 176, 176);
}

TColour RowSeparatorColour(bool lowColour)
{
    return lowColour ? White : Rgb(224, 224, 224);
}

UnicodeString DisplayText(const UnicodeString& cell)
{
    UnicodeString shown = cell;
    for (char16_t& c : shown) {
        if (c < 32)
            c = u' ';
    }
    return shown;
}

bool IsDrivePath(const UnicodeString& cell)
{
    if (cell.size() < 3 || cell[1] != u':' || cell[2] != u'\\')
        return false;
    const char16_t drive = cell[0];
    return (drive >= u'a' && drive <= u'z') || (drive >= u'A' && drive <= u'Z');
}
