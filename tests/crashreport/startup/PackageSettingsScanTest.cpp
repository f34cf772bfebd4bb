#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup/PackageSettingsScan.h"

namespace {

// The bytes given, then the 16 bytes that are never searched.
std::vector<uint8_t> Resource(const std::string& searched, char tail = '\0')
{
    std::vector<uint8_t> bytes(searched.begin(), searched.end());
    bytes.insert(bytes.end(), 16, static_cast<uint8_t>(tail));
    return bytes;
}

TEST(PackageSettingsScan, ASettingIsTrueWhenItsNameIsFollowedByTheTrueType)
{
    EXPECT_TRUE(ResourceSettingTrue(Resource("xxReportLeaks\x09yy"), "ReportLeaks"));
    EXPECT_FALSE(ResourceSettingTrue(Resource("xxReportLeaks\x08yy"), "ReportLeaks")) << "a false boolean";
    EXPECT_FALSE(ResourceSettingTrue(Resource("xxReportLeak\x09yy"), "ReportLeaks"));
    // The first place the name shows is not the only one looked at.
    EXPECT_TRUE(ResourceSettingTrue(Resource("CrashOnBuffer\x08 CrashOnBuffer\x09"), "CrashOnBuffer"));
}

TEST(PackageSettingsScan, TheLast16BytesAreNeverSearched)
{
    // The type byte is the first byte of the tail.
    EXPECT_FALSE(ResourceSettingTrue(Resource("xxReportLeaks", '\x09'), "ReportLeaks"));
    const std::string inTail = "xxxxReportLeaks\x09xxxx";
    const std::vector<uint8_t> nameInTail(inTail.begin(), inTail.end());
    ASSERT_EQ(nameInTail.size(), 20u);
    EXPECT_FALSE(ResourceSettingTrue(nameInTail, "ReportLeaks"));
    EXPECT_FALSE(ResourceSettingTrue(std::vector<uint8_t>(16, 0x09), "ReportLeaks"));
    EXPECT_FALSE(ResourceSettingTrue({}, "ReportLeaks"));
}

} // namespace
