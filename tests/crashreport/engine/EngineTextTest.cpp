#include "engine/EngineText.h"

#include <gtest/gtest.h>

namespace {

const char16_t* const kMainProgram = u"C:\\Apps\\Host\\host.exe";

TEST(EngineText, RemoveExtensionCutsAtTheLastDot)
{
    EXPECT_EQ(RemoveExtension(u"host.v2.exe"), u"host.v2");
    EXPECT_EQ(RemoveExtension(u"host"), u"host");
    EXPECT_EQ(RemoveExtension(u"."), u"");
}

TEST(EngineText, EndWithFullStopReplacesTrailingMarks)
{
    EXPECT_EQ(EndWithFullStop(u"Access violation!.!"), u"Access violation.");
    EXPECT_EQ(EndWithFullStop(u"done"), u"done.");
    EXPECT_EQ(EndWithFullStop(u"..."), u".");
    EXPECT_EQ(EndWithFullStop(u""), u".");
}

TEST(EngineText, AddressListsUseOneCommaBetweenItems)
{
    UnicodeString list = u";a@x.org;;b@y.org, ,c@z.org,";
    // Blanks are not separators: " " stays an item of its own.
    EXPECT_EQ(NormalizeAddressList(list), 4);
    EXPECT_EQ(list, u"a@x.org,b@y.org, ,c@z.org");
    UnicodeString empty = u";;,";
    EXPECT_EQ(NormalizeAddressList(empty), 0);
    EXPECT_EQ(empty, u"");
}

TEST(EngineText, RelativePathsGoBelowTheMainProgramsFolder)
{
    EXPECT_EQ(ExpandProgramPath(u"logs\\..\\report.txt", kMainProgram), u"C:\\Apps\\Host\\report.txt");
    EXPECT_EQ(ExpandProgramPath(u"a", kMainProgram), u"C:\\Apps\\Host\\a");
    EXPECT_EQ(ExpandProgramPath(u"sub\\.\\x.txt", kMainProgram), u"C:\\Apps\\Host\\sub\\x.txt");
}

TEST(EngineText, APathWithOneLeadingBackslashGetsTheMainProgramsDrive)
{
    EXPECT_EQ(ExpandProgramPath(u"\\data\\x.txt", kMainProgram), u"C:\\data\\x.txt");
    EXPECT_EQ(ExpandProgramPath(u"\\data\\x.txt", u"\\\\server\\share\\bin\\host.exe"),
              u"\\\\server\\share\\data\\x.txt");
}

TEST(EngineText, ParentFoldersNeverCutIntoTheRoot)
{
    EXPECT_EQ(ExpandProgramPath(u"D:\\a\\b\\..\\..\\c.txt", kMainProgram), u"D:\\c.txt");
    EXPECT_EQ(ExpandProgramPath(u"D:\\a\\..\\..\\..\\c.txt", kMainProgram), u"D:\\c.txt");
    EXPECT_EQ(ExpandProgramPath(u"D:\\a\\b\\c\\..\\d\\..\\e.txt", kMainProgram), u"D:\\a\\b\\e.txt");
}

TEST(EngineText, ProcessSuffixIsLowerCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(ProcessSuffix(0x1A2C), u"$1a2c");
    EXPECT_EQ(ProcessSuffix(0), u"$0");
    EXPECT_EQ(ProcessSuffix(0xFFFFFFFF), u"$ffffffff");
}

} // namespace
