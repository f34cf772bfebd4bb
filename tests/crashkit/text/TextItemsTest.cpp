#include "text/TextItems.h"

#include <gtest/gtest.h>

#include "text/FilePaths.h"

namespace {

TEST(TextItems, CountsAndPicksItems)
{
    EXPECT_EQ(3, ItemCountW(u"a;bb;c", u';'));
    EXPECT_EQ(0, ItemCountW(u"", u';'));
    EXPECT_EQ(2, ItemCountA(";", ';'));
    EXPECT_EQ(u"bb", ItemW(u"a;bb;c", 2, u';'));
    EXPECT_EQ(u"c", ItemW(u"a;bb;c", 3, u';'));
    EXPECT_EQ(u"", ItemW(u"a;bb;c", 4, u';'));
    EXPECT_EQ(u"", ItemW(u"a;bb;c", 0, u';'));
    EXPECT_EQ("", ItemA("a;;c", 2, ';'));
}

TEST(TextItems, WholeItemsOnly)
{
    EXPECT_TRUE(IsItemW(u"exe;dll;bpl", u"dll", u';'));
    EXPECT_TRUE(IsItemW(u"exe;dll;bpl", u"bpl", u';'));
    EXPECT_FALSE(IsItemW(u"exe;dll;bpl", u"dl", u';'));
    EXPECT_FALSE(IsItemW(u"exe;dll;bpl", u"DLL", u';'));
    EXPECT_TRUE(IsItemTextW(u"exe;dll;bpl", u"DLL", u';'));
    EXPECT_FALSE(IsItemW(u"a;;b", u"", u';'));
}

TEST(FilePaths, PartsOfPaths)
{
    EXPECT_EQ(u"file.txt", ExtractFileNameW(u"C:\\dir\\file.txt"));
    EXPECT_EQ(u"file.txt", ExtractFileNameW(u"file.txt"));
    EXPECT_EQ(u"C:\\dir\\", ExtractFilePathW(u"C:\\dir\\file.txt"));
    EXPECT_EQ(u"", ExtractFilePathW(u"file.txt"));
    EXPECT_EQ(u".txt", ExtractFileExtW(u"C:\\dir\\file.txt"));
    EXPECT_EQ(u"", ExtractFileExtW(u"C:\\dir\\file"));
}

TEST(FilePaths, Roots)
{
    EXPECT_EQ(u"C", ExtractRootW(u"C"));
    EXPECT_EQ(u"C:\\", ExtractRootW(u"C:\\dir\\file.txt"));
    EXPECT_EQ(u"D:\\", ExtractRootW(u"D:relative"));
    EXPECT_EQ(u"\\\\server\\share\\", ExtractRootW(u"\\\\server\\share\\folder\\file"));
    EXPECT_EQ(u"\\\\server\\share\\", ExtractRootW(u"\\\\server\\share"));
    EXPECT_EQ(u"relative\\path", ExtractRootW(u"relative\\path"));
}

TEST(FilePaths, Identifiers)
{
    EXPECT_TRUE(IsValidIdentW(u"_name1", false));
    EXPECT_TRUE(IsValidIdentW(u"\u00FCber", false) == false); // 0xFC is below 256: no letter
    EXPECT_TRUE(IsValidIdentW(u"\u0100x", false));
    EXPECT_FALSE(IsValidIdentW(u"1name", false));
    EXPECT_FALSE(IsValidIdentW(u"", true));
    EXPECT_FALSE(IsValidIdentW(u"unit.name", false));
    EXPECT_TRUE(IsValidIdentW(u"unit.name", true));
}

} // namespace
