#include "system/OsVersion.h"

#include <gtest/gtest.h>

#include "system/SystemText.h"

namespace {

TOSFacts NT(uint32_t major, uint32_t minor, uint32_t productType)
{
    TOSFacts facts;
    facts.platform = 2;
    facts.major = major;
    facts.minor = minor;
    facts.productType = productType;
    facts.extendedRecord = true;
    return facts;
}

TEST(OsVersion, Windows9xBranches)
{
    EXPECT_EQ(TOSVersion::Win98SE, Classify9x(4, 10, 2222));
    EXPECT_EQ(TOSVersion::Win98, Classify9x(4, 10, 1998));
    EXPECT_EQ(TOSVersion::WinME, Classify9x(4, 10, 2701));
    EXPECT_EQ(TOSVersion::WinME, Classify9x(4, 90, 3000));
    EXPECT_EQ(TOSVersion::Win9xNew, Classify9x(4, 91, 0));
    EXPECT_EQ(TOSVersion::Win95, Classify9x(4, 0, 950));
    EXPECT_EQ(TOSVersion::Win95OSR2, Classify9x(4, 0, 1111));
    EXPECT_EQ(TOSVersion::None, Classify9x(3, 95, 0));
    EXPECT_EQ(TOSVersion::Win9xNew, Classify9x(5, 0, 0));
}

TEST(OsVersion, NtBranches)
{
    EXPECT_EQ(TOSVersion::Win2008R2, ClassifyNT(6, 1, false));
    EXPECT_EQ(TOSVersion::Win7, ClassifyNT(6, 1, true));
    EXPECT_EQ(TOSVersion::Win10, ClassifyNT(10, 0, true));
    EXPECT_EQ(TOSVersion::WinNTNew, ClassifyNT(6, 4, true));
    EXPECT_EQ(TOSVersion::WinNTNew, ClassifyNT(8, 0, true));
    EXPECT_EQ(TOSVersion::WinXP, ClassifyNT(5, 1, false));
    EXPECT_EQ(TOSVersion::WinXP, ClassifyNT(5, 2, true));
    EXPECT_EQ(TOSVersion::Win2003, ClassifyNT(5, 2, false));
    EXPECT_EQ(TOSVersion::WinNT3, ClassifyNT(3, 51, true));
    EXPECT_EQ(UnicodeString(u"Windows 2012 R2"), OSVersionName(ClassifyNT(6, 3, false)));
    EXPECT_EQ(UnicodeString(u"Windows NT New"), OSVersionName(TOSVersion::WinNTNew));
}

TEST(OsVersion, DescriptionsWithEditionsAndServicePacks)
{
    TOSFacts xp = NT(5, 1, 1);
    xp.servicePackText = u"Service Pack 3";
    xp.servicePackMajor = 3;
    xp.mediaCenter = true;
    const TOS os = DescribeOS(xp);
    EXPECT_TRUE(os.isNT);
    EXPECT_FALSE(os.is9x);
    EXPECT_EQ(TOSVersion::WinXP, os.versionNT);
    EXPECT_EQ(TOSVersion::None, os.version9x);
    EXPECT_EQ(3u, os.servicePack);
    EXPECT_EQ(u"Windows XP Media Center Service Pack 3", os.description);

    TOSFacts server = NT(6, 1, 3);
    server.serverR2 = true;
    server.mediaCenter = true; // not shown from Vista on
    server.nativeX64 = true;
    EXPECT_EQ(u"Windows 2008 R2 R2 x64", DescribeOS(server).description);

    TOSFacts old = NT(4, 0, 1);
    old.extendedRecord = false;
    old.servicePackText = u"Service Pack 6a";
    EXPECT_EQ(6u, DescribeOS(old).servicePack);

    TOSFacts me;
    me.platform = 1;
    me.major = 4;
    me.minor = 90;
    me.build = 0x04005A00 | 3000;
    me.tabletPC = true; // NT only
    const TOS meOs = DescribeOS(me);
    EXPECT_EQ(u"Windows ME", meOs.description);
    EXPECT_EQ(0x5A00u | 3000u, meOs.build);
}

TEST(SystemText, VersionsAndTicks)
{
    EXPECT_EQ("1.2.3.4", VersionToStrA(0x00010002, 0x00030004));
    EXPECT_EQ(u"65535.0.10.65535", VersionToStrW(0xFFFF0000, 0x000AFFFF));
    EXPECT_EQ(0x20u, TicksBetween(0xFFFFFFF0, 0x10)); // true elapsed time across the wrap
    EXPECT_EQ(5u, TicksBetween(100, 105));
    EXPECT_EQ(0u, TicksBetween(7, 7));
}

} // namespace
