#include "conduvex/api/ExchangeClock.h"
#include "conduvex/api/LinkTableFixture.h"
#include "Vantel97.h"
#include "support/ProcessProbe.h"
#include "support/RecordingWindow.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr UINT kLinkMessage = WM_USER + 42;
constexpr double kCharTimeMs = 2.0;
// Ceil(10 characters) + 50 ms of quiet line after the last arrival.
constexpr double kQuietGapMs = 70;

const std::string kGoodFrame = BuildVantel97(0x21, 0x05, 0x80, "\x01\x02");

// Announces every reply as a provider's receiving thread would, on the writing thread.
class TAnnouncingLink : public TFakeLink {
public:
    int32_t Write(const std::string& bytes) override
    {
        const int32_t written = TFakeLink::Write(bytes);
        if (ReadLength() != 0)
            DoDataReceived();
        return written;
    }
};

// Waits as a link that can tell when bytes arrive, none arriving: the whole time asked.
class TQuietWaitingLink : public TFakeLink {
public:
    void AwaitArrival(uint32_t maxMs) override
    {
        waits.push_back(maxMs);
        Sleep(maxMs);
    }

    std::vector<uint32_t> waits;
};

class TBrokenLineLink : public TFakeLink {
public:
    int32_t Write(const std::string&) override { throw EConduvexError("line is down"); }
};

class ExchangeExportsTest : public TLinkTableFixture {
protected:
    void SetUp() override
    {
        TLinkTableFixture::SetUp();
        link_ = MakeObject<TAnnouncingLink>();
        handle_ = Add(link_);
        link_->Open();
        link_->SetCharTime(kCharTimeMs);
    }

    uint32_t SndGet(const std::string& request, uint32_t timeoutMs)
    {
        answerLength_ = -1;
        return ciSndGet(handle_, Bytes(request), static_cast<int32_t>(request.size()), &answerLength_,
                        timeoutMs);
    }

    uint32_t SndGetVantel(const std::string& request, uint32_t timeoutMs)
    {
        answerLength_ = -1;
        return ciSndGetVantel97(handle_, Bytes(request), static_cast<int32_t>(request.size()),
                                &answerLength_, timeoutMs);
    }

    std::string ReadAll()
    {
        uint8_t buffer[256];
        int32_t length = sizeof buffer;
        EXPECT_EQ(0u, ciRead(handle_, buffer, &length));
        return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
    }

    static const uint8_t* Bytes(const std::string& text)
    {
        return reinterpret_cast<const uint8_t*>(text.data());
    }

    TIntfPtr<TAnnouncingLink> link_;
    CI_HANDLE handle_ = 0;
    int32_t answerLength_ = -1;
};

TEST_F(ExchangeExportsTest, WithoutAnAnswerThePlainExchangeWaitsTheTimeOutPlusTheRequestsTime)
{
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGet("abc", 100)); });
    // 100 + Ceil((3 + 10) x 2)
    EXPECT_TRUE(TookAbout(126, elapsed));
    EXPECT_EQ(0, answerLength_);
    EXPECT_EQ("abc", link_->Written());
}

TEST_F(ExchangeExportsTest, AnAnswerEndsThePlainExchangeAfterTheQuietGap)
{
    link_->SetReply("reply");
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGet("q", 400)); });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed));
    EXPECT_EQ(5, answerLength_);
    EXPECT_EQ(5, ciReadLength(handle_)) << "the answer waits in the read-ahead buffer";
    EXPECT_EQ("reply", ReadAll());
}

TEST_F(ExchangeExportsTest, EachArrivalMovesTheDeadlineToTheQuietGapAfterIt)
{
    std::thread lateDevice([&] {
        Sleep(90);
        link_->QueueIncoming("late");
    });
    // The first deadline (126 ms) would fall before the arrival's quiet gap ends.
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGet("abc", 100)); });
    lateDevice.join();
    EXPECT_TRUE(TookAbout(90 + kQuietGapMs, elapsed));
    EXPECT_EQ(4, answerLength_);
}

TEST_F(ExchangeExportsTest, TheWaitOfEitherExchangeSleepsInsteadOfSpinning)
{
    const double cpuBefore = ThreadCpuMs(GetCurrentThreadId());
    const double elapsed = Timed([&] {
        EXPECT_EQ(0u, SndGet("abc", 300));
        EXPECT_EQ(0u, SndGetVantel("abc", 300));
    });
    const double cpu = ThreadCpuMs(GetCurrentThreadId()) - cpuBefore;
    ASSERT_GT(elapsed, 500);
    // A spin takes the whole of a processor; the measure itself is coarse.
    EXPECT_LT(cpu, elapsed * 0.25) << cpu << " ms of processor time in " << elapsed << " ms";
}

TEST_F(ExchangeExportsTest, AnExchangeWaitsOnTheLinkForTheRestOfItsDeadlineAtOnce)
{
    const auto quiet = MakeObject<TQuietWaitingLink>();
    const CI_HANDLE handle = Add(quiet);
    quiet->Open();
    quiet->SetCharTime(kCharTimeMs);
    int32_t answerLength = -1;
    const std::string request = "abc";
    const double elapsed = Timed([&] {
        EXPECT_EQ(0u, ciSndGetVantel97(handle, Bytes(request), 3, &answerLength, 100));
    });
    EXPECT_TRUE(TookAbout(126, elapsed));
    // 100 + Ceil((3 + 10) x 2) ms, and one more for the deadline to have passed; then at
    // most a tick step's remainder.
    ASSERT_FALSE(quiet->waits.empty());
    EXPECT_LE(quiet->waits.front(), 127u);
    EXPECT_GE(quiet->waits.front(), 127u - kTickStepMs);
    EXPECT_LE(quiet->waits.size(), 3u);
}

TEST_F(ExchangeExportsTest, BytesPendingBeforeTheRequestAreDiscarded)
{
    link_->QueueIncoming("stale");
    uint8_t one;
    int32_t length = 1;
    ASSERT_EQ(0u, ciRead(handle_, &one, &length));
    link_->QueueIncoming("more stale");
    link_->SetReply("new");
    ASSERT_EQ(0u, SndGet("q", 50));
    EXPECT_EQ(3, answerLength_);
    EXPECT_EQ("new", ReadAll());
}

TEST_F(ExchangeExportsTest, TheVantelExchangeStopsAtTheFirstGoodFrame)
{
    link_->SetReply(kGoodFrame);
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGetVantel("request", 1000)); });
    EXPECT_LT(elapsed, kTickStepMs + 30);
    EXPECT_EQ(11, answerLength_);
    EXPECT_EQ(11, ciReadLength(handle_));
}

TEST_F(ExchangeExportsTest, AFramePlusTrailingBytesEndsAtTheQuietGapWithTheFramesLength)
{
    link_->SetReply(kGoodFrame + "\x2A\x61");
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGetVantel("request", 1000)); });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed));
    EXPECT_EQ(11, answerLength_);
    EXPECT_EQ(13, ciReadLength(handle_));
}

TEST_F(ExchangeExportsTest, WithoutAnAnswerTheVantelExchangeWaitsItsDeadline)
{
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGetVantel(kGoodFrame, 60)); });
    // 60 + Ceil((11 + 10) x 2)
    EXPECT_TRUE(TookAbout(102, elapsed));
    EXPECT_EQ(0, answerLength_);
}

TEST_F(ExchangeExportsTest, ACorruptedFrameIsMeasuredButNotAccepted)
{
    std::string corrupted = kGoodFrame;
    corrupted[8] ^= 0x40;
    link_->SetReply(corrupted);
    const double elapsed = Timed([&] { EXPECT_EQ(0u, SndGetVantel("request", 1000)); });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed)) << "no good frame: it waits for the quiet line";
    EXPECT_EQ(11, answerLength_);
}

TEST_F(ExchangeExportsTest, TheLongestTimeOutDoesNotOverflowTheDeadline)
{
    link_->SetCharTime(1e12);
    link_->SetReply(kGoodFrame);
    EXPECT_EQ(0u, SndGetVantel("request", 0xFFFFFFFFu));
    EXPECT_EQ(11, answerLength_);
}

TEST_F(ExchangeExportsTest, TheFrameExchangeSendsTheFrameItBuilds)
{
    link_->SetReply(kGoodFrame);
    const uint8_t data[] = {0x10, 0x20, 0x30};
    int32_t answer = -1;
    ASSERT_EQ(0u, ciSndGetVant97(handle_, 0xFE, 0x01, 0xF3, data, 3, &answer, 500));
    EXPECT_EQ(BuildVantel97(0xFE, 0x01, 0xF3, "\x10\x20\x30"), link_->Written());
    EXPECT_EQ(11, answer);

    ASSERT_EQ(0u, ciSndGetVant97(handle_, 0xFE, 0x01, 0xF3, nullptr, 3, &answer, 500));
    EXPECT_EQ(BuildVantel97(0xFE, 0x01, 0xF3, ""), link_->Written().substr(12));
}

TEST_F(ExchangeExportsTest, AnInactiveLinkIsNotOpenedInTheResultAndInTheLastError)
{
    link_->SetActiveFlag(false);
    answerLength_ = 5;
    EXPECT_EQ(kErrNotOpened, ciSndGetVant97(handle_, 1, 2, 3, nullptr, 0, &answerLength_, 10));
    EXPECT_EQ(0, answerLength_);
    EXPECT_EQ(kErrNotOpened, LastError());
    EXPECT_EQ("Connection is not opened.", ErrorText());
    EXPECT_EQ(kErrNotOpened, SndGet("x", 10));
    EXPECT_EQ(kErrNotOpened, SndGetVantel("x", 10));
    EXPECT_EQ(0, link_->WriteCount());
}

TEST_F(ExchangeExportsTest, BadArgumentsAreRefusedBeforeAnythingIsSent)
{
    int32_t answer = 3;
    EXPECT_EQ(kErrInvalidParameters, ciSndGet(handle_, nullptr, 2, &answer, 10));
    EXPECT_EQ(0, answer);
    const uint8_t byte = 1;
    EXPECT_EQ(kErrInvalidParameters, ciSndGet(handle_, &byte, -1, &answer, 10));
    EXPECT_EQ(kErrInvalidParameters, ciSndGetVantel97(handle_, &byte, 1, nullptr, 10));
    EXPECT_EQ(kErrInvalidParameters, ciSndGetVant97(handle_, 1, 2, 3, &byte, -2, &answer, 10));
    EXPECT_EQ(kErrInvalidHandle, ciSndGet(0, nullptr, 2, &answer, 10));
    EXPECT_EQ(0, link_->WriteCount());
}

TEST_F(ExchangeExportsTest, AnOversizedFrameIsAnExceptionOfTheBuilder)
{
    const std::string data(kVantelMaxData + 1, 'x');
    int32_t answer = 3;
    EXPECT_EQ(kErrException, ciSndGetVant97(handle_, 1, 2, 3, Bytes(data),
                                            static_cast<int32_t>(data.size()), &answer, 10));
    EXPECT_EQ(0, link_->WriteCount());
}

TEST_F(ExchangeExportsTest, NotificationsAreSuspendedDuringTheExchangeAndRestoredAfter)
{
    TRecordingWindow window;
    ASSERT_EQ(0u, ciRegisterCallBackNotifications(handle_, &RecordNotification, 0x55));
    ASSERT_EQ(0u, ciRegisterMsgNotifications(handle_, window.Handle(), kLinkMessage, CI_TRUE));
    link_->SetReply(kGoodFrame);
    ASSERT_EQ(0u, SndGetVantel("request", 500));
    EXPECT_TRUE(RecordedNotifications().empty());
    EXPECT_TRUE(window.Received().empty());

    link_->Deliver("later");
    ASSERT_EQ(1u, RecordedNotifications().size());
    EXPECT_EQ(uint32_t{CI_NOTIFY_DATA_RECEIVED}, RecordedNotifications()[0].kind);
    EXPECT_EQ(0x55u, RecordedNotifications()[0].userData);
    ASSERT_EQ(1u, window.Received().size()) << "sent, so it arrived at once";
    EXPECT_EQ(LPARAM{CI_NOTIFY_DATA_RECEIVED}, window.Received()[0].lParam);

    HWND registered = nullptr;
    UINT message = 0;
    bool send = false;
    ASSERT_TRUE(GlobalHandles().GetMsgNotifications(handle_, registered, message, send));
    EXPECT_TRUE(send) << "the send flag comes back as registered";
}

TEST_F(ExchangeExportsTest, AFailingExchangeRestoresNotificationsAndReleasesTheLock)
{
    const auto broken = MakeObject<TBrokenLineLink>();
    broken->Open();
    const CI_HANDLE handle = Add(broken);
    ASSERT_EQ(0u, ciRegisterCallBackNotifications(handle, &RecordNotification, 3));
    int32_t answer = 0;
    const uint8_t byte = 0;
    EXPECT_EQ(kErrException, ciSndGet(handle, &byte, 1, &answer, 10));
    EXPECT_EQ("line is down", ErrorText());

    broken->Deliver("x");
    EXPECT_EQ(1u, RecordedNotifications().size());
    std::atomic<bool> locked = false;
    std::thread other([&] {
        broken->Lock();
        locked = true;
        broken->Unlock();
    });
    other.join();
    EXPECT_TRUE(locked);
}

TEST_F(ExchangeExportsTest, TheLinksLockIsHeldForTheWholeExchange)
{
    double lockedAfterMs = 0;
    const double start = NowMs();
    std::thread other([&] {
        while (link_->WriteCount() == 0)
            Sleep(1);
        link_->Lock();
        lockedAfterMs = NowMs() - start;
        link_->Unlock();
    });
    EXPECT_EQ(0u, SndGet("abc", 100));
    other.join();
    EXPECT_GE(lockedAfterMs, 126 - kTickStepMs);
}

} // namespace
