#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "dispatch/win/HandlingThread.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

constexpr DWORD kWaitMs = 5000;

struct THandled {
    DWORD handlingThread;
    AnsiString message;
    uint8_t source;
};

class HandlingThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ThreadNameBuffer().Open(); }

    void SetUp() override
    {
        ASSERT_TRUE(thread_.Start([this](const THandlingRequest& request, TRequestCopies& copies) {
            if (gate_)
                WaitForSingleObject(gate_.Get(), kWaitMs);
            const std::lock_guard guard(lock_);
            handled_.push_back({GetCurrentThreadId(), copies.message, request.source});
            if (copies.message == "throw")
                throw std::runtime_error("a failed report");
        }));
    }

    // A request as HandleException sends it; the caller keeps the event.
    TWinHandle Send(const AnsiString& message, uint8_t source = 14)
    {
        auto copies = MakeObject<TRequestCopies>();
        copies->message = message;
        TWinHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE duplicate = nullptr;
        DuplicateHandle(GetCurrentProcess(), event.Get(), GetCurrentProcess(), &duplicate, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        copies->event.Reset(duplicate);
        THandlingRequest request{};
        request.event = duplicate;
        request.threadId = GetCurrentThreadId();
        request.source = source;
        request.copies = copies.Get();
        request.messageText = copies->message.data();
        EXPECT_TRUE(thread_.Submit(request));
        return event;
    }

    std::vector<THandled> Handled()
    {
        const std::lock_guard guard(lock_);
        return handled_;
    }

    THandlingThread thread_;
    TWinHandle gate_;
    std::mutex lock_;
    std::vector<THandled> handled_;
};

TEST_F(HandlingThreadTest, HandlesRequestsInOrderOnItsNamedThreadAndSetsTheirEvents)
{
    TWinHandle first = Send("first", 3);
    TWinHandle second = Send("second", 5);
    ASSERT_EQ(WaitForSingleObject(second.Get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first.Get(), 0), WAIT_OBJECT_0);
    const auto handled = Handled();
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].message, "first");
    EXPECT_EQ(handled[0].source, 3);
    EXPECT_EQ(handled[1].message, "second");
    EXPECT_EQ(handled[0].handlingThread, thread_.ThreadId());
    EXPECT_NE(handled[0].handlingThread, GetCurrentThreadId());
    const auto entry = GetThreadEntry(thread_.ThreadId());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"zelExcept - HandleExceptionThread");
    const TWinHandle handle(OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread_.ThreadId()));
    EXPECT_EQ(GetThreadPriority(handle.Get()), THREAD_PRIORITY_HIGHEST);
}

TEST_F(HandlingThreadTest, WakesTheRequestingThreadsMessageLoop)
{
    MSG message{};
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists
    TWinHandle event = Send("wake");
    ASSERT_EQ(WaitForSingleObject(event.Get(), kWaitMs), WAIT_OBJECT_0);
    ASSERT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitMs, QS_POSTMESSAGE), WAIT_OBJECT_0);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_NULL));
}

TEST_F(HandlingThreadTest, ShortWritesAreSkippedAndAFailedReportDoesNotEndTheThread)
{
    const char partial[10] = {1, 2, 3};
    ASSERT_TRUE(thread_.WriteRaw(partial, sizeof partial));
    // The idle thread reads the piece alone.
    for (int tries = 0; tries < 500 && thread_.PendingBytes() != 0; ++tries)
        Sleep(1);
    ASSERT_EQ(thread_.PendingBytes(), 0u);
    TWinHandle failing = Send("throw");
    TWinHandle after = Send("after");
    ASSERT_EQ(WaitForSingleObject(after.Get(), kWaitMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(failing.Get(), 0), WAIT_OBJECT_0) << "its waiter is released all the same";
    const auto handled = Handled();
    ASSERT_EQ(handled.size(), 2u) << "the short write handled nothing";
    EXPECT_EQ(handled[1].message, "after");
}

TEST_F(HandlingThreadTest, AnAbandonedRequestKeepsItsOwnCopies)
{
    gate_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        // The waiter gives up at once: its event and its reference go.
        TWinHandle event = Send("still readable");
    }
    SetEvent(gate_.Get());
    TWinHandle marker = Send("marker");
    ASSERT_EQ(WaitForSingleObject(marker.Get(), kWaitMs), WAIT_OBJECT_0);
    const auto handled = Handled();
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].message, "still readable");
}

TEST_F(HandlingThreadTest, StopEndsTheThreadAndForgetsItsName)
{
    const DWORD id = thread_.ThreadId();
    const DWORD started = GetTickCount();
    thread_.Stop();
    EXPECT_LT(GetTickCount() - started, THandlingThread::kStopWaitMs) << "the stop request ends it at once";
    EXPECT_FALSE(thread_.Running());
    EXPECT_EQ(thread_.ThreadId(), static_cast<DWORD>(-1));
    EXPECT_FALSE(GetThreadEntry(id));
    const THandlingRequest request{};
    EXPECT_FALSE(thread_.Submit(request)) << "no copies, no pipe";
}

} // namespace
