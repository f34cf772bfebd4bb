#include "wizard/FormLayoutRules.h"

#include <algorithm>

namespace {

int SameKindGap(TNVItemKind kind)
{
    switch (kind) {
    case TNVItemKind::Button:
        return 4;
    case TNVItemKind::Edit:
        return 6;
    default:
        return 8;
    }
}

int Channel(TColorRef color, int shift)
{
    return static_cast<int>((color >> shift) & 0xFF);
}

// Adds (sign 1) or subtracts (sign -1) per channel; the number of channels that saturated.
int Combine(TColorRef color, TColorRef delta, int sign, TColorRef& result)
{
    int saturated = 0;
    result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        int value = Channel(color, shift) + sign * Channel(delta, shift);
        if (value < 0 || value > 255) {
            ++saturated;
            value = std::clamp(value, 0, 255);
        }
        result |= static_cast<TColorRef>(value) << shift;
    }
    return saturated;
}

TColorRef AddOrSub(TColorRef color, TColorRef delta, int sign)
{
    TColorRef result = 0;
    if (Combine(color, delta, sign, result) < 2)
        return result;
    Combine(color, delta, -sign, result);
    return result;
}

} // namespace

bool IsFieldCaption(std::u16string_view caption, bool fitsOneLine)
{
    return fitsOneLine && !caption.empty() && (caption.back() == u':' || caption.back() == u'?');
}

int ItemGap(const TLayoutItem* previous, const TLayoutItem& item, const TLayoutItem* next,
            const TLayoutItem* afterNext, int spacing)
{
    if (spacing != 0)
        return spacing;
    if (!next)
        return 0;
    if (item.kind == TNVItemKind::Label && item.fieldCaption)
        return 4;
    if (next->kind == item.kind)
        return SameKindGap(item.kind);
    const bool captionFieldPattern = previous && previous->fieldCaption && next->fieldCaption && afterNext &&
                                     afterNext->kind == item.kind;
    return captionFieldPattern ? 8 : 12;
}

TSize ItemButtonSize(TSize caption, int minWidth)
{
    return {std::max({caption.width + 32, 70, minWidth}), caption.height + 10};
}

TSize BottomButtonSize(TSize caption, bool ownerDraw, bool hidden)
{
    if (hidden)
        return {};
    return {std::max(caption.width + 20, ownerDraw ? 85 : 75), ownerDraw ? 32 : 23};
}

TColorRef AddColor(TColorRef color, TColorRef delta)
{
    return AddOrSub(color, delta, 1);
}

TColorRef SubColor(TColorRef color, TColorRef delta)
{
    return AddOrSub(color, delta, -1);
}

TColorRef MidColor(TColorRef a, TColorRef b)
{
    TColorRef result = 0;
    for (int shift = 0; shift < 24; shift += 8)
        result |= static_cast<TColorRef>((Channel(a, shift) + Channel(b, shift)) / 2) << shift;
    return result;
}

TButtonColors BottomButtonColors(TBottomButton button)
{
    switch (button) {
    case TBottomButton::Continue:
        return {0x80A080, 0x020102};
    case TBottomButton::Skip:
        return {0xA08080, 0x010202};
    default:
        return {0x8080A0, 0x020201};
    }
}

TColorRef FocusedGradientColor(TColorRef step, int line)
{
    const TColorRef perLine = SubColor(0x020202, step);
    TColorRef color = 0;
    for (int i = 0; i < line; ++i)
        color = AddColor(color, AddColor(AddColor(perLine, perLine), perLine));
    return color;
}

TColorRef NormalGradientColor(TColorRef step, int line)
{
    TColorRef color = 0xFFFFFF;
    for (int i = 1; i <= line; ++i) {
        if (i % 2 == 0)
            color = SubColor(color, step);
    }
    return color;
}
