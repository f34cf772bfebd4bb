#pragma once
// The measures of a form that do not depend on the window system: gaps between items, button
// sizes and the colour arithmetic of the owner-drawn buttons.
#include <cstdint>
#include <string_view>

#include "wizard/FormSource.h"

// What the layout knows of an item when placing the next one.
struct TLayoutItem {
    TNVItemKind kind = TNVItemKind::Label;
    bool fieldCaption = false;
};

// A label whose caption ends with ":" or "?" and that fits on one line names the field below it.
bool IsFieldCaption(std::u16string_view caption, bool fitsOneLine);

// The gap below `item`: its own spacing when not 0; nothing after the last item; otherwise by
// the kinds of the neighbours (previous, next and after-next may be null).
int ItemGap(const TLayoutItem* previous, const TLayoutItem& item, const TLayoutItem* next,
            const TLayoutItem* afterNext, int spacing);

struct TSize {
    int width = 0;
    int height = 0;
};

// A button among the items.
TSize ItemButtonSize(TSize caption, int minWidth);
// One of the three bottom buttons; a hidden one takes no room.
TSize BottomButtonSize(TSize caption, bool ownerDraw, bool hidden);

constexpr int BottomButtonMargin = 9; // above the bottom of the client area

using TColorRef = uint32_t; // 0x00BBGGRR

// Per channel, saturating at 0 and 255; when two or more channels would saturate, the
// opposite operation is done instead.
TColorRef AddColor(TColorRef color, TColorRef delta);
TColorRef SubColor(TColorRef color, TColorRef delta);
// Each channel halfway between the two.
TColorRef MidColor(TColorRef a, TColorRef b);

enum class TBottomButton : uint8_t { Continue, Skip, Cancel };

struct TButtonColors {
    TColorRef frame;
    TColorRef step;
};
TButtonColors BottomButtonColors(TBottomButton button);

// The gradient of an owner-drawn button, line by line from the first shaded line.
TColorRef FocusedGradientColor(TColorRef step, int line);
TColorRef NormalGradientColor(TColorRef step, int line);
