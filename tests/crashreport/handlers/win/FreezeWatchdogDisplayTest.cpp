#include "handlers/win/FreezeWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "MessagePump.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"
#include "win32/MsgHandlerWindows.h"

namespace {

// Freeze time-out of the tests: pings every 20 ms, a report after about 200 ms.
constexpr int32_t kTimeout = 200;
// Waits longer than expected come from a loaded machine; shorter ones would be faults.
constexpr ULONGLONG kSlack = 600;

struct TReports {
    TReports() : event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~TReports() { CloseHandle(event); }
    TReports(const TReports&) = delete;
    TReports& operator=(const TReports&) = delete;

    // Milliseconds until the next report; 0 when none came within the limit.
    ULONGLONG WaitFrozen(DWORD limit) const
    {
        const ULONGLONG start = GetTickCount64();
        if (WaitForSingleObject(event, limit) != WAIT_OBJECT_0)
            return 0;
        return GetTickCount64() - start;
    }

    HANDLE event;
    std::atomic<int> count{0};
    std::atomic<DWORD> thread{0};
};

void Report(void* context)
{
    auto* reports = static_cast<TReports*>(context);
    reports->thread = GetCurrentThreadId();
    ++reports->count;
    SetEvent(reports->event);
}

class FreezeWatchdogTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed); }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }
    void SetUp() override
    {
        window = GetMsgHandlerWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { PumpMessagesFor(0); }

    HWND window = nullptr;
    TReports reports;
};

TEST_F(FreezeWatchdogTest, AFrozenMainThreadIsReportedAfterTenPingsAndThenAfterTenLongerOnes)
{
    TFreezeWatchdog watchdog;
    ASSERT_TRUE(watchdog.Start(window, kTimeout, Report, &reports));
    EXPECT_EQ(watchdog.Interval(), 20u);
    // This thread now answers nothing.
    const ULONGLONG first = reports.WaitFrozen(kTimeout + 5 * kSlack);
    EXPECT_GE(first, 180u);
    EXPECT_LE(first, kTimeout + kSlack);
    EXPECT_EQ(reports.thread, watchdog.ThreadId());
    EXPECT_EQ(watchdog.Interval(), 30u);

    const ULONGLONG second = reports.WaitFrozen(300 + 5 * kSlack);
    EXPECT_GE(second, 270u);
    EXPECT_LE(second, 300 + kSlack);
    EXPECT_EQ(watchdog.Interval(), 45u);

    // Answering again: the interval and the count start over.
    PumpMessagesFor(200);
    EXPECT_EQ(watchdog.Interval(), 20u);
    EXPECT_LE(watchdog.Misses(), 2u);
    EXPECT_EQ(reports.count, 2);
    watchdog.Stop();
}

TEST_F(FreezeWatchdogTest, AMainThreadThatAnswersIsNeverReported)
{
    TFreezeWatchdog watchdog;
    ASSERT_TRUE(watchdog.Start(window, kTimeout, Report, &reports));
    PumpMessagesFor(4 * kTimeout);
    EXPECT_EQ(reports.count, 0);
    EXPECT_EQ(watchdog.Interval(), 20u);
    watchdog.Stop();
}

TEST_F(FreezeWatchdogTest, NothingIsReportedWhileAnExceptionIsHandled)
{
    TFreezeWatchdog watchdog;
    ASSERT_TRUE(watchdog.Start(window, kTimeout, Report, &reports));
    watchdog.MarkHandling(true);
    watchdog.MarkHandling(true); // nested
    watchdog.MarkHandling(false);
    EXPECT_EQ(reports.WaitFrozen(3 * kTimeout), 0u);
    watchdog.MarkHandling(false);
    const ULONGLONG frozen = reports.WaitFrozen(kTimeout + 5 * kSlack);
    EXPECT_GE(frozen, 180u);
    EXPECT_LE(frozen, kTimeout + kSlack);
    watchdog.Stop();
}

TEST_F(FreezeWatchdogTest, ATimeOutBelowTenStillWaitsAMillisecondPerPing)
{
    TFreezeWatchdog watchdog;
    ASSERT_TRUE(watchdog.Start(window, 3, Report, &reports));
    EXPECT_EQ(watchdog.Interval(), 1u);
    EXPECT_GT(reports.WaitFrozen(5 * kSlack), 0u);
    // An answering thread is not reported even at that pace.
    PumpMessagesFor(50);
    const int before = reports.count;
    PumpMessagesFor(100);
    EXPECT_LE(reports.count - before, 1);
    watchdog.Stop();
}

TEST_F(FreezeWatchdogTest, NoWatchdogStartsWithoutAWindowToPing)
{
    TFreezeWatchdog watchdog;
    EXPECT_FALSE(watchdog.Start(nullptr, kTimeout, Report, &reports));
    EXPECT_FALSE(watchdog.Running());
    EXPECT_FALSE(watchdog.Start(window, kTimeout, nullptr, &reports));
    EXPECT_EQ(reports.WaitFrozen(2 * kTimeout), 0u);
}

TEST_F(FreezeWatchdogTest, OneWatchdogOfTheProcessWatchesAtATime)
{
    TFreezeWatchdog first;
    TFreezeWatchdog second;
    TReports secondReports;
    ASSERT_TRUE(first.Start(window, kTimeout, Report, &reports));
    // Once it reports, the first holds the process's watchdog mutex.
    ASSERT_GT(reports.WaitFrozen(kTimeout + 5 * kSlack), 0u);
    ASSERT_TRUE(second.Start(window, kTimeout, Report, &secondReports));
    EXPECT_EQ(secondReports.WaitFrozen(3 * kTimeout), 0u);
    first.Stop();
    EXPECT_GT(secondReports.WaitFrozen(kTimeout + 5 * kSlack), 0u);
    second.Stop();
}

TEST_F(FreezeWatchdogTest, TheThreadIsNamedWhileItRunsAndStopsPromptly)
{
    TFreezeWatchdog watchdog;
    ASSERT_TRUE(watchdog.Start(window, 60000, Report, &reports));
    const DWORD thread = watchdog.ThreadId();
    const auto entry = GetThreadEntry(thread);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"zelExcept - AntiFreezeThread");
    const ULONGLONG start = GetTickCount64();
    watchdog.Stop();
    EXPECT_LT(GetTickCount64() - start, TFreezeWatchdog::kStopWaitMs);
    EXPECT_FALSE(watchdog.Running());
    EXPECT_FALSE(GetThreadEntry(thread));
    EXPECT_EQ(reports.count, 0);
}

} // namespace
