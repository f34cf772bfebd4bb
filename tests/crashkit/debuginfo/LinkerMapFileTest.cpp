#include "debuginfo/LinkerMapFile.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kCode = 0x401000;
constexpr uint64_t kData = 0x410000;

// Map lines are written with their columns where the linker puts them.
std::string TableLine(unsigned segment, unsigned start, unsigned length, const char* name, const char* kind)
{
    char line[256];
    std::snprintf(line, sizeof line, " %04X:%08X %08XH %-23s %s\r\n", segment, start, length, name, kind);
    return line;
}

std::string DetailLine(unsigned segment, unsigned offset, unsigned length, const char* unit)
{
    char line[256];
    std::snprintf(line, sizeof line, " %04X:%08X %08X C=%-10s S=%-10s G=%-20s M=%s\r\n", segment, offset, length, "CODE",
                  ".text", "(none)", unit);
    return line;
}

std::string PublicLine(unsigned segment, unsigned offset, const char* name)
{
    char line[256];
    std::snprintf(line, sizeof line, " %04X:%08X       %s\r\n", segment, offset, name);
    return line;
}

std::string SampleMap()
{
    return "\r\n Start         Length     Name                   Class\r\n" +
           TableLine(1, 0x00401000, 0x2000, ".text", "CODE") + TableLine(3, 0x00403000, 0x100, ".skip", "CODE") +
           TableLine(2, 0x00410000, 0x800, ".data", "DATA") + "\r\nDetailed map of segments\r\n\r\n" +
           DetailLine(1, 0x0, 0x100, "C:\\src\\Main") + DetailLine(1, 0x100, 0x200, "Tools.pas") +
           DetailLine(2, 0x10, 0x20, "Globals") + " 0001:00000000 short line C=CODE\r\n" +
           "\r\n  Address         Publics by Value\r\n\r\n" + PublicLine(1, 0x10, "Main.Start") +
           PublicLine(1, 0x120, "Tools.Helper (inline)") + PublicLine(1, 0x400, "Nowhere") +
           PublicLine(2, 0x10, "Counter") + "\r\nLine numbers for Tools(Tools.pas) segment .text\r\n\r\n" +
           "    12 0001:00000100    13 0001:00000110    14 0001:00000120\r\n" +
           "    15 0001:00000130   bad\r\n" + "\r\nProgram entry point at 0001:00000010\r\n";
}

TMapFile EmptyMap()
{
    TMapFile map;
    map.SetLayout({kCode, kCode + 0x2000, kData, kData + 0x800, 0});
    return map;
}

TEST(LinkerMapFile, ReadsUnitsPublicsLinesAndEntryPoint)
{
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadLinkerMap(SampleMap(), map));

    ASSERT_EQ(map.Segments().size(), 2u); // the data unit is ignored in a code-only map
    EXPECT_EQ(map.Segments()[0].unitName, u"Main");
    EXPECT_EQ(map.Segments()[1].unitName, u"Tools");
    EXPECT_EQ(map.Segments()[1].start, kCode + 0x100);
    EXPECT_EQ(map.Segments()[1].length, 0x200u);

    ASSERT_EQ(map.Publics().size(), 2u); // "Nowhere" lies in no unit, "Counter" is data
    EXPECT_EQ(map.Publics()[0].name, u"Start");
    EXPECT_EQ(map.Publics()[1].name, u"Helper");
    EXPECT_EQ(map.Publics()[1].address, kCode + 0x120);

    ASSERT_EQ(map.Lines().size(), 4u);
    EXPECT_EQ(map.Lines()[3].line, 15);
    EXPECT_EQ(map.Lines()[3].address, kCode + 0x130);
    EXPECT_EQ(map.Layout().entryPoint, kCode + 0x10);
}

TEST(LinkerMapFile, DataUnitsInAFullMapAreRelativeToTheDataStart)
{
    TMapFile map(false);
    map.SetLayout({kCode, kCode + 0x2000, kData, kData + 0x800, 0});
    ASSERT_TRUE(LoadLinkerMap(SampleMap(), map));
    EXPECT_EQ(map.FindSegment(false, kData + 0x18).unitName, u"Globals");
    EXPECT_EQ(map.FindPublic(kCode + 0x11).name, u"Start");
}

TEST(LinkerMapFile, PublicsBeforeTheirUnitAreDropped)
{
    const std::string text = "Start         Length     Name\r\n" + TableLine(1, 0x00401000, 0x2000, ".text", "CODE") +
                             "Publics by Value\r\n" + PublicLine(1, 0x10, "Early") + "Detailed map of segments\r\n" +
                             DetailLine(1, 0x0, 0x100, "Main") + "Publics by Value\r\n" + PublicLine(1, 0x20, "Late");
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadLinkerMap(text, map));
    ASSERT_EQ(map.Publics().size(), 1u);
    EXPECT_EQ(map.Publics()[0].name, u"Late");
}

TEST(LinkerMapFile, AnEntryBelowItsBaseEndsTheTable)
{
    const std::string text = "Start         Length     Name\r\n" + TableLine(1, 0x00401000, 0x2000, ".text", "CODE") +
                             TableLine(2, 0x00400000, 0x100, ".low", "CODE") +
                             TableLine(3, 0x00402000, 0x100, ".more", "CODE") + "Detailed map of segments\r\n" +
                             DetailLine(1, 0x0, 0x100, "Main") + DetailLine(2, 0x0, 0x100, "Low") +
                             DetailLine(3, 0x0, 0x100, "More");
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadLinkerMap(text, map));
    ASSERT_EQ(map.Segments().size(), 1u);
    EXPECT_EQ(map.Segments()[0].unitName, u"Main");
}

TEST(LinkerMapFile, TextWithoutMapContentNamesNothing)
{
    TMapFile map = EmptyMap();
    EXPECT_FALSE(LoadLinkerMap("", map));
    EXPECT_FALSE(LoadLinkerMap("Detailed map of segments\n 0001:00000000 00000100 C=CODE\nLine numbers for X(x)\n 12", map));
    EXPECT_FALSE(LoadLinkerMap("Line numbers for X(x)\n 99999999999999 0001:00000010\n", map));
    EXPECT_TRUE(map.Segments().empty());
}

} // namespace
