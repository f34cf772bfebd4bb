#include "vantel/VantelInfo.h"

#include <gtest/gtest.h>

namespace {

TEST(VantelInfo, ReadsNameFormatsVersionAndExtraTokens)
{
    TVantelInfo info;
    std::vector<std::string> extra{"stale"};
    EXPECT_TRUE(info.Parse(" TARVO 8/8 ETH ;F97,65;V0573.26.01;T1; ", &extra));
    EXPECT_EQ(info.name, "TARVO 8/8 ETH");
    EXPECT_EQ(info.formats, (std::set<int>{65, 97}));
    EXPECT_EQ(info.version, "0573.26.01");
    EXPECT_EQ(info.product, "0573");
    EXPECT_EQ(info.part2, "26");
    EXPECT_EQ(info.part3, "01");
    EXPECT_EQ(extra, std::vector<std::string>{"T1"});
    EXPECT_EQ(info.text, " TARVO 8/8 ETH ;F97,65;V0573.26.01;T1; ");
}

TEST(VantelInfo, LineBreaksSeparateTokensToo)
{
    TVantelInfo info;
    EXPECT_TRUE(info.Parse("TARVO\r\nf66\nv0573.26.01"));
    EXPECT_EQ(info.formats, std::set<int>{66});
    EXPECT_EQ(info.version, "0573.26.01");
}

TEST(VantelInfo, AVersionOfAnotherLengthOrAMissingTokenFails)
{
    TVantelInfo info;
    EXPECT_FALSE(info.Parse("TARVO;F97;V0573.26"));
    EXPECT_EQ(info.version, "0573.26");
    EXPECT_EQ(info.part2, "26");
    EXPECT_EQ(info.part3, "");
    EXPECT_FALSE(info.Parse("TARVO;F97;V0573.26.01x"));
    EXPECT_EQ(info.version, "0573.26.01");
    EXPECT_FALSE(info.Parse("TARVO;V0573.26.01;T1"));
    EXPECT_FALSE(info.Parse("TARVO;F97;T1"));
}

TEST(VantelInfo, FewerThanThreeTokensGiveNothing)
{
    TVantelInfo info;
    EXPECT_FALSE(info.Parse("F97;V0573.26.01"));
    EXPECT_EQ(info.name, "");
    EXPECT_TRUE(info.formats.empty());
}

} // namespace
