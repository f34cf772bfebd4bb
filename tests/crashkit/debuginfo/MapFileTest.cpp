#include "debuginfo/MapFile.h"

#include <gtest/gtest.h>

#include "debuginfo/Location.h"

namespace {

constexpr uint64_t kCode = 0x401000;

TMapFile SampleMap()
{
    TMapFile map;
    TModuleLayout layout;
    layout.codeStart = kCode;
    layout.codeEnd = kCode + 0x1000;
    map.SetLayout(layout);
    map.AddSegment(true, 0x000, 0x200, u"First.cpp", true, false);
    map.AddSegment(true, 0x200, 0x300, u"Second.cpp", true, false);
    map.SortSegments();
    map.AddPublic(true, kCode + 0x10, u"Alpha");
    map.AddPublic(true, kCode + 0x80, u"Beta");
    map.AddPublic(true, kCode + 0x300, u"Gamma");
    map.SortPublics();
    map.AddLine(5, kCode + 0x10, false);
    map.AddLine(6, kCode + 0x20, false);
    map.AddLine(40, kCode + 0x300, false);
    map.SortLines();
    map.SetValid(true);
    return map;
}

TEST(MapFile, PublicsAtTheirStartBetweenAndUpToTheCodeEnd)
{
    const TMapFile map = SampleMap();
    EXPECT_EQ(map.FindPublic(kCode + 0x80).name, u"Beta");
    EXPECT_EQ(map.FindPublic(kCode + 0x7F).name, u"Alpha");
    EXPECT_EQ(map.FindPublic(kCode + 0xFFF).name, u"Gamma"); // last public, bounded by the code end
    EXPECT_FALSE(map.FindPublic(kCode + 0x1000).valid);
    EXPECT_FALSE(map.FindPublic(kCode + 0xF).valid);
}

TEST(MapFile, WithoutCodeEndTheLastPublicHasNoBound)
{
    TMapFile map = SampleMap();
    map.SetLayout({});
    EXPECT_EQ(map.FindPublic(kCode + 0x100000).name, u"Gamma");
}

TEST(MapFile, LinesWithinTheirSegment)
{
    const TMapFile map = SampleMap();
    uint64_t next = 0;
    EXPECT_EQ(map.FindLine(kCode + 0x1F, next), 5);
    EXPECT_EQ(next, kCode + 0x20);
    EXPECT_EQ(map.FindLine(kCode + 0x20, next), 6);
    EXPECT_EQ(next, kCode + 0x300);
    // The last item before 0x250 lies in another unit's segment.
    EXPECT_EQ(map.FindLine(kCode + 0x250, next), 0);
    EXPECT_EQ(next, kCode + 0x251);
    // Past every segment.
    EXPECT_EQ(map.FindLine(kCode + 0x600, next), 0);
    EXPECT_EQ(map.FindLine(kCode + 0x5, next), 0);
}

TEST(MapFile, WithoutLineItemsANamedSegmentMeansUnknownLine)
{
    TMapFile map;
    map.AddSegment(true, kCode, 0x100, u"Unit.cpp", false, false);
    map.AddSegment(true, kCode + 0x100, 0x100, u"", false, false);
    map.SortSegments();
    uint64_t next = 0;
    EXPECT_EQ(map.FindLine(kCode + 0x10, next), -1);
    EXPECT_EQ(map.FindLine(kCode + 0x110, next), 0);
    EXPECT_EQ(map.FindLine(kCode + 0x300, next), 0);
}

TEST(MapFile, ItemsSharingAnAddressGiveTheLastAdded)
{
    TMapFile map;
    map.AddSegment(true, kCode, 0x100, u"Unit.cpp", false, false);
    map.SortSegments();
    map.AddLine(7, kCode + 0x10, false);
    map.AddLine(3, kCode + 0x20, false);
    map.AddLine(9, kCode + 0x10, false);
    map.SortLines();
    uint64_t next = 0;
    EXPECT_EQ(map.FindLine(kCode + 0x11, next), 9);
    EXPECT_EQ(next, kCode + 0x20);
}

TEST(MapFile, AscendingLinesDropItemsNotAboveTheLast)
{
    TMapFile map;
    map.AddLine(1, 0x20, true);
    map.AddLine(2, 0x20, true);
    map.AddLine(3, 0x10, true);
    map.AddLine(4, 0x30, true);
    ASSERT_EQ(map.Lines().size(), 2u);
    EXPECT_EQ(map.Lines()[1].line, 4);
}

TEST(MapFile, SegmentsLoseUnitExtensionsAndMerge)
{
    TMapFile map;
    map.AddSegment(true, 0x1000, 0x10, u"Forms.PAS", false, true);
    map.AddSegment(true, 0x1012, 0x10, u"Forms", false, true); // 2 bytes apart: extended
    map.AddSegment(true, 0x1030, 0x10, u"Forms", false, true); // 14 bytes apart: new
    map.AddSegment(true, 0x1040, 0x10, u"Project.dpr", false, true);
    ASSERT_EQ(map.Segments().size(), 3u);
    EXPECT_EQ(map.Segments()[0].unitName, u"Forms");
    EXPECT_EQ(map.Segments()[0].length, 0x22u);
    EXPECT_EQ(map.Segments()[2].unitName, u"Project");
}

TEST(MapFile, CodeOnlyMapsIgnoreData)
{
    TMapFile map;
    map.AddSegment(false, 0x1000, 0x10, u"Data", false, false);
    map.AddPublic(false, 0x1000, u"Value");
    EXPECT_TRUE(map.Segments().empty());
    EXPECT_TRUE(map.Publics().empty());

    TMapFile both(false);
    both.AddSegment(false, 0x1000, 0x10, u"Data", false, false);
    both.AddSegment(true, 0x2000, 0x10, u"Code", false, false);
    both.SortSegments();
    EXPECT_TRUE(both.Segments()[0].code); // code first
    EXPECT_EQ(both.FindSegment(false, 0x1008).unitName, u"Data");
    EXPECT_FALSE(both.FindSegment(true, 0x1008).valid);
}

TEST(MapFile, JoiningClosesGapsOnlyWhenAsked)
{
    TMapFile gaps;
    gaps.AddSegment(true, 0x1000, 0x10, u"A", false, false);
    gaps.AddSegment(true, 0x1100, 0x10, u"B", false, false);
    gaps.AddSegment(true, 0x1108, 0x10, u"C", false, false); // overlaps B
    gaps.SortSegments();
    gaps.JoinSegments(false);
    ASSERT_EQ(gaps.Segments().size(), 3u);
    EXPECT_EQ(gaps.Segments()[0].length, 0x10u);
    EXPECT_EQ(gaps.Segments()[1].length, 0x8u);

    TMapFile filled = gaps;
    filled.JoinSegments(true);
    EXPECT_EQ(filled.Segments()[0].length, 0x100u);

    TMapFile same;
    same.AddSegment(true, 0x1000, 0x10, u"A", false, false);
    same.AddSegment(true, 0x1020, 0x10, u"a", false, false);
    same.SortSegments();
    same.JoinSegments(true);
    ASSERT_EQ(same.Segments().size(), 1u);
    EXPECT_EQ(same.Segments()[0].length, 0x30u);
}

TEST(MapFile, PublicNamesAreCleaned)
{
    TMapFile map;
    map.AddSegment(true, 0x1000, 0x100, u"Forms", false, false);
    map.SortSegments();
    map.AddPublic(true, 0x1000, u"Forms");          // the unit's own code
    map.AddPublic(true, 0x1010, u"Forms.TForm.Show");
    map.AddPublic(true, 0x1020, u"@$xp$Thing");     // a helper record
    map.AddPublic(true, 0x1030, u"@@Free");
    map.AddPublic(true, 0x2000, u"Forms.Outside");  // in no segment: unchanged
    ASSERT_EQ(map.Publics().size(), 4u);
    EXPECT_EQ(map.Publics()[0].name, u"initialization");
    EXPECT_EQ(map.Publics()[1].name, u"TForm.Show");
    EXPECT_EQ(map.Publics()[3].name, u"Forms.Outside");
}

TEST(MapFile, PublicAddressByUnitAndName)
{
    TMapFile map;
    map.AddSegment(true, 0x1000, 0x100, u"Engine.cpp", false, false);
    map.AddSegment(true, 0x1100, 0x100, u"Other.c", false, false);
    map.SortSegments();
    map.AddPublic(true, 0x1040, u"Run");
    map.AddPublic(true, 0x1080, u"Start(TForm&, int)");
    map.AddPublic(true, 0x1140, u"Run");
    map.SortPublics();
    EXPECT_EQ(map.FindPublicAddress(true, u"ENGINE", false, u"run"), 0x1040u);
    EXPECT_EQ(map.FindPublicAddress(true, u"Engine", true, u"run"), 0u);
    EXPECT_EQ(map.FindPublicAddress(true, u"Other", true, u"Run"), 0x1140u);
    EXPECT_EQ(map.FindPublicAddress(true, u"Other.cpp", true, u"Run"), 0u);
    // A routine by the name it is called by: without its parameter list, in any unit when none
    // is given.
    const struct {
        const char16_t* unit;
        const char16_t* name;
        uint64_t address;
    } routines[] = {{u"engine", u"start", 0x1080}, {u"Engine.cpp", u"Start", 0x1080}, {u"", u"Start", 0x1080},
                    {u"Other", u"Start", 0},       {u"Engine.c", u"Start", 0},       {u"Other", u"Run", 0x1140},
                    {u"", u"Sta", 0}};
    for (const auto& row : routines)
        EXPECT_EQ(map.FindPublicAddress(true, row.unit, false, row.name), row.address) << "case " << &row - routines;
}

TEST(MapFile, LocationOfAnAddress)
{
    TMapFile map = SampleMap();
    map.SetModuleFileName(u"C:\\App\\Lib.dll");
    TLocation location;
    ASSERT_TRUE(LocateAddress(map, kCode + 0x24, location));
    EXPECT_EQ(location.moduleFileName, u"C:\\App\\Lib.dll");
    EXPECT_EQ(location.unitName, u"First.cpp");
    EXPECT_EQ(location.line, 6);
    EXPECT_EQ(location.publicName, u"Alpha");
    EXPECT_EQ(location.publicAddress, kCode + 0x10);

    map.SetValid(false);
    EXPECT_FALSE(LocateAddress(map, kCode + 0x24, location));
    EXPECT_TRUE(location.publicName.empty());
}

} // namespace
