#include "plugins/ProcessList.h"

#include <gtest/gtest.h>

namespace {

TProcessRecord Process(uint32_t id, const char16_t* path, uint32_t session, uint32_t priority, uint32_t gdi,
                       uint32_t user)
{
    TProcessRecord record;
    record.id = id;
    const TPathParts parts = SplitImagePath(path);
    record.fileName = parts.fileName;
    record.folder = parts.folder;
    record.session = session;
    record.priorityClass = priority;
    record.gdiObjects = gdi;
    record.userObjects = user;
    return record;
}

TEST(ProcessList, ColumnsArePaddedToTheirLongestValuePlusOne)
{
    const std::vector<TProcessRecord> processes = {
        Process(0, u"Idle", 0, 0, 0, 0),
        Process(0x1a4, u"C:\\windows\\system32\\services.exe", 0, 0x20, 12, 3),
        Process(0x1f, u"C:\\app\\longname.exe", 1, 0x80, 1234, 56),
    };
    EXPECT_EQ(ProcessListText(processes),
              u"000 Idle         0 0    0         \r\n"
              u"1a4 services.exe 0 12   3  normal C:\\windows\\system32\r\n"
              u"01f longname.exe 1 1234 56 high   C:\\app");
}

TEST(ProcessList, TheSessionColumnIsLeftOutWhenEveryProcessIsInSessionZero)
{
    const std::vector<TProcessRecord> processes = {Process(8, u"a.exe", 0, 0x40, 1, 2),
                                                   Process(9, u"bb.exe", 0, 0x4000, 10, 20)};
    EXPECT_EQ(ProcessListText(processes), u"8 a.exe  1  2  idle         \r\n9 bb.exe 10 20 below normal ");
}

TEST(ProcessList, PriorityClassesHaveTheirNamesAndOthersTheirHexValue)
{
    EXPECT_EQ(PriorityClassName(0x40), u"idle");
    EXPECT_EQ(PriorityClassName(0x4000), u"below normal");
    EXPECT_EQ(PriorityClassName(0x20), u"normal");
    EXPECT_EQ(PriorityClassName(0x8000), u"above normal");
    EXPECT_EQ(PriorityClassName(0x80), u"high");
    EXPECT_EQ(PriorityClassName(0x100), u"realtime");
    EXPECT_EQ(PriorityClassName(0), u"");
    EXPECT_EQ(PriorityClassName(0xFFFFFFFF), u"");
    EXPECT_EQ(PriorityClassName(0x1234), u"$1234");
}

TEST(ProcessList, SystemSpellingsOfPathsAreMadeUsable)
{
    EXPECT_EQ(UsableImagePath(u"\\SystemRoot\\System32\\smss.exe", u"C:\\windows\\system32"),
              u"C:\\windows\\system32\\smss.exe");
    EXPECT_EQ(UsableImagePath(u"\\systemroot\\system32\\csrss.exe", u"D:\\w\\s"), u"D:\\w\\s\\csrss.exe");
    EXPECT_EQ(UsableImagePath(u"\\??\\C:\\windows\\system32\\winlogon.exe", u"X"), u"C:\\windows\\system32\\winlogon.exe");
    EXPECT_EQ(UsableImagePath(u"C:\\app\\a.exe", u"X"), u"C:\\app\\a.exe");
    EXPECT_EQ(UsableImagePath(u"\\SystemRoot\\System32", u"X"), u"\\SystemRoot\\System32");
    EXPECT_EQ(UsableImagePath(u"", u"X"), u"");
}

TEST(ProcessList, APathWithoutFolderIsAllFileName)
{
    const TPathParts bare = SplitImagePath(u"System");
    EXPECT_EQ(bare.fileName, u"System");
    EXPECT_EQ(bare.folder, u"");
    const TPathParts rooted = SplitImagePath(u"C:\\a.exe");
    EXPECT_EQ(rooted.fileName, u"a.exe");
    EXPECT_EQ(rooted.folder, u"C:");
    EXPECT_EQ(SplitImagePath(u"C:\\dir\\").fileName, u"");
}

TEST(ProcessList, NoProcessesIsAnEmptyText)
{
    EXPECT_EQ(ProcessListText({}), u"");
}

} // namespace
