#include "threads/ThreadNames.h"

#include <gtest/gtest.h>

#include <cstddef>

#include "settings/win/DualText.h"
#include "threads/ThreadNameBuffer.h"

namespace {

DWORD WINAPI QuickThread(void*)
{
    return 0;
}

struct THolderContext {
    HANDLE mutex;
    HANDLE taken;
    HANDLE release;
};

// Holds the mutex from when it sets taken until release is set.
DWORD WINAPI HoldMutex(void* parameter)
{
    auto* context = static_cast<THolderContext*>(parameter);
    WaitForSingleObject(context->mutex, INFINITE);
    SetEvent(context->taken);
    WaitForSingleObject(context->release, INFINITE);
    ReleaseMutex(context->mutex);
    return 0;
}

class ThreadNames : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed); }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }
    void TearDown() override { SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {}); }

    static size_t ListLength()
    {
        size_t count = 0;
        for (const TThreadEntry* entry = ThreadNameBuffer().Data()->head; entry; entry = entry->next)
            ++count;
        return count;
    }
};

TEST_F(ThreadNames, NamingTwiceKeepsOneEntryWithTheNewerNameAndTheOldStart)
{
    const uint32_t self = GetCurrentThreadId();
    const void* start = reinterpret_cast<const void*>(&QuickThread);
    SetThreadEntry(self, nullptr, u"worker", 77, start, u"TWorkerThread");
    const size_t entries = ListLength();
    NameThread(self, u"renamed \u20AC");
    EXPECT_EQ(ListLength(), entries);
    const auto entry = GetThreadEntry(self);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"renamed \u20AC");
    EXPECT_EQ(entry->startAddress, start);
    EXPECT_EQ(entry->creatorThreadId, 77u);
    EXPECT_EQ(entry->description, u"TWorkerThread");
}

TEST_F(ThreadNames, AnEmptyNameWithoutStartRemovesTheEntry)
{
    const uint32_t self = GetCurrentThreadId();
    NameThread(self, u"short-lived");
    ASSERT_TRUE(GetThreadEntry(self));
    NameThread(self, u"");
    EXPECT_FALSE(GetThreadEntry(self));
}

TEST_F(ThreadNames, TheEntryOfAnEndedThreadGoesWithALaterChange)
{
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, QuickThread, nullptr, CREATE_SUSPENDED, &id);
    ASSERT_NE(thread, nullptr);
    SetThreadEntry(id, thread, u"quick", GetCurrentThreadId(), reinterpret_cast<const void*>(&QuickThread), {});
    ASSERT_TRUE(GetThreadEntry(id));
    ResumeThread(thread);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_TRUE(GetThreadEntry(id)); // still listed until the list changes
    NameThread(GetCurrentThreadId(), u"tester");
    EXPECT_FALSE(GetThreadEntry(id));
}

TEST_F(ThreadNames, ALookUpGivesUpWhenTheListMutexIsHeldElsewhere)
{
    NameThread(GetCurrentThreadId(), u"tester");
    const HANDLE listMutex = ThreadNameBuffer().Data()->listMutex;
    THolderContext context{listMutex, CreateEventW(nullptr, TRUE, FALSE, nullptr),
                           CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    const HANDLE holder = CreateThread(nullptr, 0, HoldMutex, &context, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(context.taken, 10000), WAIT_OBJECT_0);
    const DWORD before = GetTickCount();
    EXPECT_FALSE(GetThreadEntry(GetCurrentThreadId()));
    EXPECT_LT(GetTickCount() - before, 2000u);
    SetEvent(context.release);
    WaitForSingleObject(holder, 10000);
    CloseHandle(holder);
    CloseHandle(context.taken);
    CloseHandle(context.release);
    EXPECT_TRUE(GetThreadEntry(GetCurrentThreadId()));
}

TEST_F(ThreadNames, ShortEntriesOfOlderCopiesAreReadAndReplacedByTheirSize)
{
    // An entry as an older copy makes it: id, name and next only.
    constexpr uint32_t kOldThread = 0x7FFF0001;
    const size_t shortSize = offsetof(TThreadEntry, next) + sizeof(TThreadEntry*);
    auto* entry = static_cast<TThreadEntry*>(SharedAlloc(shortSize));
    ASSERT_NE(entry, nullptr);
    entry->threadId = kOldThread;
    entry->name = MakeDualText(u"old style");
    TThreadNameBufferData& data = *ThreadNameBuffer().Data();
    {
        const TListMutexLock lock(data, INFINITE);
        entry->next = data.head;
        data.head = entry;
    }
    const auto read = GetThreadEntry(kOldThread);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, u"old style");
    EXPECT_EQ(read->startAddress, nullptr);
    const void* start = reinterpret_cast<const void*>(&QuickThread);
    SetThreadEntry(kOldThread, nullptr, {}, 0, start, u"TOld");
    const auto replaced = GetThreadEntry(kOldThread);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->name, u"old style"); // kept from the short entry
    EXPECT_EQ(replaced->startAddress, start);
    SetThreadEntry(kOldThread, nullptr, {}, 0, nullptr, {});
    EXPECT_FALSE(GetThreadEntry(kOldThread));
}

} // namespace
