#include "delivery/AttachmentGroups.h"

#include <gtest/gtest.h>

namespace {

TEST(AttachmentGroups, ZipNamesGatherTheirEntriesWhereTheFirstStood)
{
    const std::vector<TAttachment> entries{
        {u"c:\\a.txt", u"a.txt", u"", u"A"},         {u"c:\\b.log", u"b.log", u"logs.zip", u"B"},
        {u"c:\\c.png", u"c.png", u"", u"C"},         {u"c:\\d.log", u"d.log", u"LOGS.ZIP", u"D"},
        {u"c:\\e.dmp", u"e.dmp", u"dump.zip", u"E"},
    };
    const std::vector<TOutgoingAttachment> outgoing = GroupAttachments(entries);
    ASSERT_EQ(outgoing.size(), 4u);
    EXPECT_EQ(outgoing[0].files, TDAUnicodeString{u"c:\\a.txt"});
    EXPECT_EQ(outgoing[0].fieldName, u"A");
    EXPECT_EQ(outgoing[1].zipName, u"logs.zip");
    EXPECT_EQ(outgoing[1].files, (TDAUnicodeString{u"c:\\b.log", u"c:\\d.log"}));
    EXPECT_EQ(outgoing[1].sendAsNames, (TDAUnicodeString{u"b.log", u"d.log"}));
    EXPECT_EQ(outgoing[1].sources, (std::vector<size_t>{1, 3}));
    EXPECT_EQ(outgoing[2].sendAsNames, TDAUnicodeString{u"c.png"});
    EXPECT_EQ(outgoing[3].zipName, u"dump.zip");
    EXPECT_EQ(outgoing[3].sources, std::vector<size_t>{4});
    EXPECT_TRUE(GroupAttachments({}).empty());
}

} // namespace
