// Two renamed copies of Conduvex in one process find one settings block and one thread-name
// buffer; this test program, a third user of both, looks at what they share.
#include <gtest/gtest.h>
#include <windows.h>

#include "settings/win/ZeSettings.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

TSettingsNode* NodeOf(HMODULE module)
{
    for (TSettingsNode* node = SettingsBlock()->head; node; node = node->next)
        if (node->module == module)
            return node;
    return nullptr;
}

int Nodes()
{
    int count = 0;
    for (TSettingsNode* node = SettingsBlock()->head; node; node = node->next)
        ++count;
    return count;
}

TEST(TwoCopies, ShareOneSettingsBlockAndOneThreadNameList)
{
    const HMODULE first = LoadLibraryW(L"ConduvexCopyA.dll");
    ASSERT_NE(first, nullptr);
    const HMODULE second = LoadLibraryW(L"ConduvexCopyB.dll");
    ASSERT_NE(second, nullptr);

    ASSERT_TRUE(OpenSettingsBuffer()); // this program's own use
    const TSharedSettingsBlock* block = SettingsBlock();
    EXPECT_EQ(block->useCount, 3);
    EXPECT_EQ(Nodes(), 2);
    TSettingsNode* firstNode = NodeOf(first);
    ASSERT_NE(firstNode, nullptr);
    ASSERT_NE(NodeOf(second), nullptr);
    EXPECT_EQ(firstNode->count, 137);

    {
        // The shipped settings, through the node the copy made.
        TIZESettings settings(second, true);
        EXPECT_EQ(settings.Node(), NodeOf(second));
        EXPECT_EQ(settings.Node()->useCount, 2);
        EXPECT_TRUE(settings.Enabled());
        EXPECT_EQ(settings.SmtpPort(), 25); // the first of its two entries
        EXPECT_EQ(settings.FreezeTimeout(), 60000);
        EXPECT_EQ(settings.BugRepFile(), u"bugreport.txt");
        EXPECT_EQ(settings.AutoDelay(), 60); // not in the resource: built-in
    }

    ASSERT_EQ(ThreadNameBuffer().Open(), TBufferOpen::Opened); // made by the first copy
    EXPECT_EQ(ThreadNameBuffer().Data()->useCount, 3);
    const auto mainThread = GetThreadEntry(GetCurrentThreadId());
    ASSERT_TRUE(mainThread);
    EXPECT_EQ(mainThread->name, u"main thread");
    NameThread(GetCurrentThreadId(), u"the tester");

    FreeLibrary(first);
    EXPECT_EQ(block->useCount, 2);
    EXPECT_EQ(NodeOf(first), nullptr);
    ASSERT_NE(NodeOf(second), nullptr);
    EXPECT_EQ(NodeOf(second)->count, 137);
    EXPECT_EQ(ThreadNameBuffer().Data()->useCount, 2);
    const auto renamed = GetThreadEntry(GetCurrentThreadId());
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->name, u"the tester");

    FreeLibrary(second);
    EXPECT_EQ(block->useCount, 1);
    EXPECT_EQ(Nodes(), 0);
    EXPECT_EQ(ThreadNameBuffer().Data()->useCount, 1);
    ThreadNameBuffer().Close();
    CloseSettingsBuffer();
    EXPECT_EQ(SettingsBlock(), nullptr);
}

} // namespace
