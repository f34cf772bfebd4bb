// A host releases a link from the thread that owns its send-mode notification window while
// a worker of the link is sending that window a notification.
#include "conduvex/api/LinkTableFixture.h"
#include "support/RecordingWindow.h"

#include <cstdio>
#include <thread>

namespace {

constexpr UINT kLinkMessage = WM_USER + 43;
constexpr DWORD kDeadlockLimitMs = 10000;
constexpr DWORD kSendWaitMs = 2000;

// Ends the process when the guarded scope does not finish in time: a deadlock would
// otherwise hang the whole test program.
class TDeadlockWatchdog {
public:
    explicit TDeadlockWatchdog(const char* what)
        : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread_([this, what] {
              if (WaitForSingleObject(done_, kDeadlockLimitMs) == WAIT_TIMEOUT) {
                  std::fprintf(stderr, "DEADLOCK: %s did not finish within %lu ms\n", what,
                               static_cast<unsigned long>(kDeadlockLimitMs));
                  std::fflush(stderr);
                  TerminateProcess(GetCurrentProcess(), 3);
              }
          })
    {
    }
    ~TDeadlockWatchdog()
    {
        SetEvent(done_);
        thread_.join();
        CloseHandle(done_);
    }
    TDeadlockWatchdog(const TDeadlockWatchdog&) = delete;
    TDeadlockWatchdog& operator=(const TDeadlockWatchdog&) = delete;

private:
    HANDLE done_;
    std::thread thread_;
};

// True once another thread's sent message waits for this thread.
bool SentMessageWaiting()
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kSendWaitMs) {
        if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)
            return true;
        Sleep(1);
    }
    return false;
}

class ReleaseWhileNotifyingTest : public TLinkTableFixture {};

TEST_F(ReleaseWhileNotifyingTest, TheSendingWorkerFinishesAndTheLinkIsReleased)
{
    TRecordingWindow window;
    const auto link = MakeObject<TFakeLink>();
    const CI_HANDLE handle = Add(link);
    ASSERT_EQ(0u, ciOpen(handle));
    ASSERT_EQ(0u, ciRegisterMsgNotifications(handle, window.Handle(), kLinkMessage, CI_TRUE));

    std::thread worker([&] { link->Deliver("data"); });
    EXPECT_TRUE(SentMessageWaiting()) << "the worker blocks in its send";
    {
        const TDeadlockWatchdog watchdog("ciRelease");
        EXPECT_EQ(0u, ciRelease(handle));
    }
    worker.join();

    ASSERT_EQ(1u, window.Received().size()) << "handled while the release waited";
    EXPECT_EQ(LPARAM{CI_NOTIFY_DATA_RECEIVED}, window.Received()[0].lParam);
    EXPECT_EQ(0, ciHandlesCount());
    EXPECT_FALSE(link->IsActive());
    link->Deliver("after");
    window.Pump();
    EXPECT_EQ(1u, window.Received().size()) << "nothing after the release";
}

TEST_F(ReleaseWhileNotifyingTest, ClosingFromTheWindowsThreadDoesNotWaitForTheWorker)
{
    TRecordingWindow window;
    const auto link = MakeObject<TFakeLink>();
    const CI_HANDLE handle = Add(link);
    ASSERT_EQ(0u, ciOpen(handle));
    ASSERT_EQ(0u, ciRegisterMsgNotifications(handle, window.Handle(), kLinkMessage, CI_TRUE));

    std::thread worker([&] { link->Deliver("data"); });
    EXPECT_TRUE(SentMessageWaiting());
    {
        const TDeadlockWatchdog watchdog("ciClose");
        EXPECT_EQ(0u, ciClose(handle));
        EXPECT_EQ(0u, ciRelease(handle));
    }
    worker.join();
    EXPECT_EQ(2u, window.Received().size()) << "closed (direct) and the worker's data";
}

} // namespace
