#include "debuginfo/OwnDebugInfo.h"

#include <gtest/gtest.h>

#include "OwnDebugInfoWriter.h"

namespace {

constexpr uint64_t kCodeStart = 0x140001000;

TMapFile EmptyMap()
{
    TMapFile map;
    TModuleLayout layout;
    layout.codeStart = kCodeStart;
    layout.codeEnd = kCodeStart + 0x10000;
    map.SetLayout(layout);
    return map;
}

TOwnDebugInfoWriter SampleWriter()
{
    TOwnDebugInfoWriter writer;
    writer.segments = {{0x0, 0x400, "Main.cpp"}, {0x400, 0x800, "Units.pas"}, {0x2000, 0x100, "Far.cpp"}};
    writer.publics = {{"Start(int)", 0x10}, {"Helper()", 0x90}, {"Units.Compute", 0x500}, {"Distant()", 0x2010}};
    writer.lines = {{10, 0x10}, {12, 0x18}, {11, 0x30}, {400, 0x500}, {3, 0x2010}};
    writer.entryPoint = 0x10;
    return writer;
}

TEST(OwnDebugInfo, ReadsSegmentsPublicsLinesAndEntryPoint)
{
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadOwnDebugInfo(SampleWriter().Data(), map));

    ASSERT_EQ(map.Segments().size(), 3u);
    EXPECT_EQ(map.Segments()[1].unitName, u"Units");
    EXPECT_EQ(map.Segments()[1].start, kCodeStart + 0x400);
    EXPECT_TRUE(map.Segments()[1].code);
    ASSERT_EQ(map.Publics().size(), 4u);
    EXPECT_EQ(map.Publics()[2].name, u"Compute"); // the unit's prefix goes
    EXPECT_EQ(map.Publics()[3].address, kCodeStart + 0x2010);
    ASSERT_EQ(map.Lines().size(), 5u);
    EXPECT_EQ(map.Lines()[2].line, 11);
    EXPECT_EQ(map.Lines()[4].address, kCodeStart + 0x2010);
    EXPECT_EQ(map.Layout().entryPoint, kCodeStart + 0x10);
}

TEST(OwnDebugInfo, LargeDeltasUseTheFourByteForm)
{
    TOwnDebugInfoWriter writer;
    writer.segments = {{0, 0x300000, "Big.cpp"}};
    writer.publics = {{"A", 0x200000}, {"B", 0x10}, {"C", 0x10 + 127}, {"D", 0x10 + 127 + 128}};
    writer.lines = {{100000, 0x10}, {1, 0x200000}, {129, 0x200001}};
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadOwnDebugInfo(writer.Data(), map));
    ASSERT_EQ(map.Publics().size(), 4u);
    EXPECT_EQ(map.Publics()[0].name, u"B");
    EXPECT_EQ(map.Publics()[2].address, kCodeStart + 0x10 + 127 + 128);
    EXPECT_EQ(map.Publics()[3].address, kCodeStart + 0x200000);
    EXPECT_EQ(map.Lines()[1].line, 1);
    EXPECT_EQ(map.Lines()[2].line, 129);
}

TEST(OwnDebugInfo, ReducedDataNamesEntriesByIndex)
{
    TOwnDebugInfoWriter writer = SampleWriter();
    writer.reduced = true;
    TMapFile map = EmptyMap();
    ASSERT_TRUE(LoadOwnDebugInfo(writer.Data(), map));
    EXPECT_EQ(map.Segments()[0].unitName, u"segment%0");
    EXPECT_EQ(map.Publics()[1].name, u"public%1");
}

TEST(OwnDebugInfo, VersionTwoHasTheShortHeader)
{
    TOwnDebugInfoWriter writer = SampleWriter();
    writer.version = 2;
    TMapFile map = EmptyMap();
    EXPECT_TRUE(LoadOwnDebugInfo(writer.Data(), map));
    EXPECT_EQ(map.Publics().size(), 4u);
}

TEST(OwnDebugInfo, RejectsForeignMarkerVersionAndOverlongPayload)
{
    const std::string good = SampleWriter().Data();
    TMapFile map = EmptyMap();

    std::string marker = good;
    marker[0] = 'X';
    EXPECT_FALSE(LoadOwnDebugInfo(marker, map));

    TOwnDebugInfoWriter writer = SampleWriter();
    writer.version = 4;
    EXPECT_FALSE(LoadOwnDebugInfo(writer.Data(), map));

    std::string longer = good;
    longer[12 + 16] = static_cast<char>(0xFF); // payload length's low byte
    longer[12 + 17] = static_cast<char>(0xFF);
    EXPECT_FALSE(LoadOwnDebugInfo(longer, map));
    EXPECT_TRUE(map.Segments().empty());
}

TEST(OwnDebugInfo, EveryCutOrFlippedByteIsRejectedWithNothingAdded)
{
    const std::string good = SampleWriter().Data();
    for (size_t length = 0; length < good.size(); ++length) {
        TMapFile map = EmptyMap();
        EXPECT_FALSE(LoadOwnDebugInfo(good.substr(0, length), map)) << length;
        EXPECT_TRUE(map.Publics().empty());
    }
    // The payload's CRC catches what the cipher scrambles.
    for (size_t at = 32; at < good.size(); ++at) {
        std::string damaged = good;
        damaged[at] ^= 0x01; // low bits: the last byte's high bits may be deflate padding
        TMapFile map = EmptyMap();
        EXPECT_FALSE(LoadOwnDebugInfo(damaged, map)) << at;
    }
}

TEST(OwnDebugInfo, CountsBeyondTheStreamAreDamage)
{
    TOwnDebugInfoWriter writer;
    std::string stream;
    TOwnDebugInfoWriter::Dword(stream, 0x40000000); // segments claimed, none present
    TMapFile map = EmptyMap();
    EXPECT_FALSE(LoadOwnDebugInfo(writer.Wrap(CompressStr(stream)), map));

    std::string trailing = SampleWriter().Stream() + "xyz"; // neither nothing nor an entry point
    EXPECT_TRUE(LoadOwnDebugInfo(writer.Wrap(CompressStr(trailing)), map));
    EXPECT_EQ(map.Layout().entryPoint, 0u);
}

TEST(OwnDebugInfo, MinDebugInfoTextMustNameTheData)
{
    const std::string data = SampleWriter().Data(0xCAFE, 0xBEEF);
    const TOwnDebugInfoHeader header = *ReadOwnDebugInfoHeader(data);
    const AnsiString stamp = OwnDebugInfoStamp(data, header);
    EXPECT_EQ(stamp.substr(9), ", $0000cafe, $0000beef");

    TMapFile matching = EmptyMap();
    matching.SetMinDebugInfo(stamp);
    EXPECT_TRUE(LoadOwnDebugInfo(data, matching));

    TMapFile other = EmptyMap();
    other.SetMinDebugInfo("$00000000, $0000cafe, $0000beef");
    EXPECT_FALSE(LoadOwnDebugInfo(data, other));
}

} // namespace
