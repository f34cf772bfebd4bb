// Row colours of the report views on full and reduced colour displays.
#include "dialog/ViewColours.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"

namespace {

TEST(ViewColoursTest, ColumnsAreTintedInTurn)
{
    EXPECT_EQ(CellBackground(0, 5, false, false, false), Rgb(240, 248, 255));
    EXPECT_EQ(CellBackground(1, 5, false, false, false), White);
    EXPECT_EQ(CellBackground(2, 5, false, false, false), Rgb(255, 244, 244));
    EXPECT_EQ(CellBackground(4, 5, false, false, false), Rgb(240, 248, 255));
    EXPECT_EQ(CellBackground(6, 7, false, false, false), Rgb(255, 244, 244));
    EXPECT_EQ(CellBackground(0, 1, false, false, false), White);
    EXPECT_EQ(CellBackground(0, 5, true, false, false), White);
}

TEST(ViewColoursTest, SelectionIsSixteenDarker)
{
    EXPECT_EQ(CellBackground(0, 3, false, true, false), Rgb(224, 232, 239));
    EXPECT_EQ(CellBackground(2, 3, false, true, false), Rgb(239, 228, 228));
    EXPECT_EQ(CellBackground(1, 3, false, true, false), Rgb(239, 239, 239));
    EXPECT_EQ(SelectionFrameColour(false), Rgb(176, 176, 176));
}

TEST(ViewColoursTest, ReducedColourDisplays)
{
    EXPECT_EQ(CellBackground(2, 3, false, false, true), Rgb(128, 255, 255));
    EXPECT_EQ(CellBackground(2, 3, false, true, true), Rgb(0, 128, 128));
    EXPECT_EQ(CellBackground(0, 3, false, false, true), Rgb(255, 255, 192));
    EXPECT_EQ(CellBackground(0, 3, false, true, true), Rgb(128, 128, 0));
    EXPECT_EQ(CellBackground(1, 3, false, true, true), Rgb(192, 192, 192));
    EXPECT_EQ(RowSeparatorColour(true), White);
    EXPECT_EQ(RowSeparatorColour(false), Rgb(224, 224, 224));
    EXPECT_EQ(SelectionFrameColour(true), Rgb(128, 128, 128));
}

TEST(ViewColoursTest, CellTextOnScreen)
{
    EXPECT_EQ(Narrow(DisplayText(u"a\tb\r\nc")), "a b  c");
    EXPECT_TRUE(IsDrivePath(u"C:\\Program Files\\x.dll"));
    EXPECT_FALSE(IsDrivePath(u"\\\\server\\share"));
    EXPECT_FALSE(IsDrivePath(u"1:\\x"));
    EXPECT_FALSE(IsDrivePath(u"C:"));
}

} // namespace
