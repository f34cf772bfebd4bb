#include "wizard/FormLayoutRules.h"
#include "wizard/PropertyValues.h"

#include <gtest/gtest.h>

namespace {

constexpr TLayoutItem Caption{TNVItemKind::Label, true};
constexpr TLayoutItem Label{TNVItemKind::Label, false};
constexpr TLayoutItem Edit{TNVItemKind::Edit, false};
constexpr TLayoutItem Check{TNVItemKind::CheckBox, false};
constexpr TLayoutItem Button{TNVItemKind::Button, false};
constexpr TLayoutItem Image{TNVItemKind::Image, false};

TEST(FormLayoutRules, GapsBetweenItems)
{
    EXPECT_EQ(0, ItemGap(nullptr, Edit, nullptr, nullptr, 0)) << "nothing after the last item";
    EXPECT_EQ(20, ItemGap(nullptr, Edit, nullptr, nullptr, 20)) << "own spacing wins";
    EXPECT_EQ(4, ItemGap(nullptr, Caption, &Edit, nullptr, 0)) << "a caption sits close to its field";
    EXPECT_EQ(4, ItemGap(nullptr, Button, &Button, nullptr, 0));
    EXPECT_EQ(6, ItemGap(nullptr, Edit, &Edit, nullptr, 0));
    EXPECT_EQ(8, ItemGap(nullptr, Check, &Check, nullptr, 0));
    EXPECT_EQ(8, ItemGap(nullptr, Label, &Label, nullptr, 0));
    EXPECT_EQ(8, ItemGap(nullptr, Image, &Image, nullptr, 0));
    EXPECT_EQ(12, ItemGap(nullptr, Edit, &Check, nullptr, 0));
    // caption, field, caption, field: the second pair follows at 8.
    EXPECT_EQ(8, ItemGap(&Caption, Edit, &Caption, &Edit, 0));
    EXPECT_EQ(12, ItemGap(&Caption, Edit, &Caption, &Check, 0)) << "the pattern needs the same kind";
    EXPECT_EQ(12, ItemGap(&Label, Edit, &Caption, &Edit, 0)) << "the pattern needs a caption before";
    EXPECT_EQ(12, ItemGap(&Caption, Edit, &Caption, nullptr, 0));
}

TEST(FormLayoutRules, FieldCaptions)
{
    EXPECT_TRUE(IsFieldCaption(u"Name:", true));
    EXPECT_TRUE(IsFieldCaption(u"Why?", true));
    EXPECT_FALSE(IsFieldCaption(u"Name:", false)) << "wrapped text is no caption";
    EXPECT_FALSE(IsFieldCaption(u"Name", true));
    EXPECT_FALSE(IsFieldCaption(u"", true));
}

TEST(FormLayoutRules, ButtonSizes)
{
    EXPECT_EQ(70, ItemButtonSize({20, 13}, 0).width);
    EXPECT_EQ(132, ItemButtonSize({100, 13}, 0).width);
    EXPECT_EQ(150, ItemButtonSize({100, 13}, 150).width);
    EXPECT_EQ(23, ItemButtonSize({100, 13}, 0).height);

    EXPECT_EQ(85, BottomButtonSize({30, 15}, true, false).width);
    EXPECT_EQ(32, BottomButtonSize({30, 15}, true, false).height);
    EXPECT_EQ(75, BottomButtonSize({30, 15}, false, false).width);
    EXPECT_EQ(23, BottomButtonSize({30, 15}, false, false).height);
    EXPECT_EQ(120, BottomButtonSize({100, 15}, true, false).width);
    EXPECT_EQ(0, BottomButtonSize({100, 15}, true, true).width) << "a hidden button takes no room";
}

TEST(FormLayoutRules, ColorArithmeticSaturatesOrTurnsAround)
{
    EXPECT_EQ(0x181818u, AddColor(0x080808, 0x101010));
    EXPECT_EQ(0xFF2020u, AddColor(0xF01010, 0x201010)) << "one channel saturates";
    EXPECT_EQ(0xD0E0E0u, AddColor(0xF0F0F0, 0x201010)) << "two or more channels saturating: subtracted";
    EXPECT_EQ(0x000000u, SubColor(0x101010, 0x101010));
    EXPECT_EQ(0x303030u, SubColor(0x101010, 0x202020)) << "all three would go below 0: added";
    EXPECT_EQ(0x7F7F7Fu, MidColor(0x000000, 0xFFFFFF));
    EXPECT_EQ(0xF7F7F7u, AddColor(0xEFEFEF, 0x080808)) << "the item area over a usual button face";
}

TEST(FormLayoutRules, OwnerDrawnButtonColors)
{
    EXPECT_EQ(0x80A080u, BottomButtonColors(TBottomButton::Continue).frame);
    EXPECT_EQ(0x010202u, BottomButtonColors(TBottomButton::Skip).step);
    EXPECT_EQ(0x8080A0u, BottomButtonColors(TBottomButton::Cancel).frame);
    EXPECT_EQ(0u, FocusedGradientColor(0x020102, 0));
    EXPECT_EQ(0x000300u, FocusedGradientColor(0x020102, 1)) << "(0x020202 - step) x 3 per line";
    EXPECT_EQ(0x000600u, FocusedGradientColor(0x020102, 2));
    EXPECT_EQ(0xFFFFFFu, NormalGradientColor(0x020102, 0));
    EXPECT_EQ(0xFFFFFFu, NormalGradientColor(0x020102, 1));
    EXPECT_EQ(0xFDFEFDu, NormalGradientColor(0x020102, 2)) << "one step lost after every odd line";
    EXPECT_EQ(0xFDFEFDu, NormalGradientColor(0x020102, 3));
    EXPECT_EQ(0xFBFDFBu, NormalGradientColor(0x020102, 4));
}

TEST(PropertyValues, FlagsNumbersAndTexts)
{
    for (const char16_t* yes : {u"yes", u"YES", u"True", u"1"})
        EXPECT_TRUE(ParseFlag(yes)) << std::string(yes, yes + 1);
    for (const char16_t* no : {u"no", u"0", u"", u"2", u"truth"})
        EXPECT_FALSE(ParseFlag(no));
    EXPECT_EQ(250, ParseNumber(u"250"));
    EXPECT_EQ(-12, ParseNumber(u" -12 "));
    EXPECT_EQ(255, ParseNumber(u"$FF"));
    EXPECT_EQ(-16, ParseNumber(u"-0x10"));
    EXPECT_EQ(0, ParseNumber(u""));
    EXPECT_EQ(32767, ParseMeasure(u"2147483647", 0, 32767)) << "sizes from a resource stay bounded";
    EXPECT_EQ(0, ParseMeasure(u"-5", 0, 32767));
    EXPECT_EQ(1, ParseMeasure(u"0", 1, 1000));
    EXPECT_EQ(8, ParseMeasure(u"8", 1, 1000));
    EXPECT_EQ(u"a\r\nb\r\n", ExpandLineBreaks(u"a%lf%b%LF%"));
    EXPECT_TRUE(IsOwnSectionOutput(u"otOwnSection"));
    EXPECT_TRUE(IsOwnSectionOutput(u"ownsection"));
    EXPECT_FALSE(IsOwnSectionOutput(u"headerLine"));
}

} // namespace
