// Exchanges over a serial port against a peer thread that answers each request.
#include "conduvex/api/ExchangeClock.h"
#include "conduvex/api/HostLinkFixture.h"

#include <cmath>
#include <thread>

namespace {

constexpr DWORD kPeerWaitMs = 3000;
// At 1200 baud a character takes 8.33 ms: the quiet gap after an arrival is
// Ceil(83.3) + 50 = 134 ms, the request's own allowance Ceil((length + 10) x 8.33).
constexpr double kCharTimeMs = 1000.0 / 1200 * 10;
constexpr double kQuietGapMs = 134;

// A Vantel 97 frame written out by hand, as a device would send it.
std::string Frame(uint8_t address, uint8_t signature, uint8_t instruction, const std::string& data)
{
    const size_t len = data.size() + 5;
    std::string frame = {'*', 'a', static_cast<char>(len >> 8), static_cast<char>(len & 0xFF),
                         static_cast<char>(address), static_cast<char>(signature),
                         static_cast<char>(instruction)};
    frame += data;
    unsigned sum = 0;
    for (const char c : frame)
        sum += static_cast<uint8_t>(c);
    frame += static_cast<char>(255 - sum % 256);
    frame += '\r';
    return frame;
}

const std::string kRequest = Frame(0x10, 0x01, 0xF3, "");
const std::string kAnswer = Frame(0x10, 0x01, 0x80, "\x05\x06\x07");

class HostLinkExchangeTest : public THostLinkFixture {
protected:
    void SetUp() override
    {
        THostLinkFixture::SetUp();
        if (IsSkipped())
            return;
        handle_ = Keep(ci_.ciCreateCB(
            ("provider=COM;comport=" + std::to_string(kLinkPort) + ";baudrate=1200;active=1").c_str(),
            &Record, 0x77));
        ASSERT_TRUE(IsActive(handle_)) << ci_.ErrorText();
    }

    void TearDown() override
    {
        if (device_.joinable())
            device_.join();
        THostLinkFixture::TearDown();
    }

    // The peer reads one request of that size and then writes the answer (if any).
    void AnswerWith(size_t requestSize, const std::string& answer)
    {
        device_ = std::thread([this, requestSize, answer] {
            request_ = peer_->Read(requestSize, kPeerWaitMs);
            if (request_.size() == requestSize && !answer.empty())
                peer_->Write(answer);
        });
    }

    // Runs the exchange and gives the time it took.
    template <class Exchange>
    double TimedExchange(Exchange&& exchange)
    {
        const double start = NowMs();
        EXPECT_EQ(0u, exchange()) << ci_.ErrorText();
        const double elapsed = NowMs() - start;
        if (device_.joinable())
            device_.join();
        return elapsed;
    }

    uint32_t SndGetVantel(const std::string& request, uint32_t timeoutMs)
    {
        return ci_.ciSndGetVantel97(handle_, reinterpret_cast<const uint8_t*>(request.data()),
                                    static_cast<int32_t>(request.size()), &answerLength_, timeoutMs);
    }

    struct TFrameRead {
        uint32_t code;
        uint8_t address;
        uint8_t instruction;
        int32_t dataLength;
        std::string data;
    };

    TFrameRead ReadFrame(int32_t capacity)
    {
        TFrameRead read{};
        uint8_t signature = 0;
        std::string data(64, '\0');
        read.dataLength = capacity;
        read.code = ci_.ciReadVant97(handle_, &read.address, &signature, &read.instruction,
                                     capacity < 0 ? nullptr : reinterpret_cast<uint8_t*>(data.data()),
                                     &read.dataLength);
        if (read.code == 0 && capacity >= 0)
            read.data = data.substr(0, static_cast<size_t>(read.dataLength));
        return read;
    }

    CI_HANDLE handle_ = 0;
    int32_t answerLength_ = -1;
    std::thread device_;
    std::string request_;
};

TEST_F(HostLinkExchangeTest, OneGoodFrameEndsTheVantelExchangeAtOnce)
{
    AnswerWith(kRequest.size(), kAnswer);
    const double elapsed = TimedExchange([&] { return SndGetVantel(kRequest, 1000); });
    EXPECT_EQ(kRequest, request_);
    EXPECT_LT(elapsed, kQuietGapMs) << "it did not wait for a quiet line";
    EXPECT_EQ(static_cast<int32_t>(kAnswer.size()), answerLength_);
    EXPECT_EQ(static_cast<int32_t>(kAnswer.size()), ci_.ciReadLength(handle_));

    const TFrameRead query = ReadFrame(-1);
    EXPECT_EQ(CI_ERR_BUFFER_TOO_SMALL, query.code);
    EXPECT_EQ(3, query.dataLength);
    const TFrameRead shortBuffer = ReadFrame(2);
    EXPECT_EQ(CI_ERR_BUFFER_TOO_SMALL, shortBuffer.code);
    EXPECT_EQ(12, shortBuffer.dataLength) << "the whole frame's length";
    const TFrameRead full = ReadFrame(8);
    ASSERT_EQ(0u, full.code) << ci_.ErrorText();
    EXPECT_EQ(0x10, full.address);
    EXPECT_EQ(0x80, full.instruction);
    EXPECT_EQ("\x05\x06\x07", full.data);
    EXPECT_EQ(0, ci_.ciReadLength(handle_));
}

TEST_F(HostLinkExchangeTest, AFramePlusTrailingBytesWaitsForTheQuietLine)
{
    AnswerWith(kRequest.size(), kAnswer + "+-");
    const double elapsed = TimedExchange([&] { return SndGetVantel(kRequest, 1000); });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed));
    EXPECT_EQ(static_cast<int32_t>(kAnswer.size()), answerLength_);
    EXPECT_EQ(static_cast<int32_t>(kAnswer.size() + 2), ci_.ciReadLength(handle_));
    EXPECT_EQ("\x05\x06\x07", ReadFrame(8).data);
    EXPECT_EQ("+-", ReadAll(handle_));
}

TEST_F(HostLinkExchangeTest, ACorruptedFrameIsMeasuredThenRefusedAndDropped)
{
    std::string corrupted = kAnswer;
    corrupted[corrupted.size() - 2] ^= 0x11;
    AnswerWith(kRequest.size(), corrupted);
    const double elapsed = TimedExchange([&] { return SndGetVantel(kRequest, 1000); });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed));
    EXPECT_EQ(static_cast<int32_t>(corrupted.size()), answerLength_);
    const TFrameRead read = ReadFrame(8);
    EXPECT_EQ(CI_ERR_BAD_VANTEL_PACKET, read.code);
    EXPECT_EQ("Bad vantel packet.", ci_.ErrorText());
    EXPECT_EQ(0, read.dataLength);
    EXPECT_EQ(0, ci_.ciReadLength(handle_));
}

TEST_F(HostLinkExchangeTest, WithoutAnAnswerTheExchangeEndsAtItsDeadline)
{
    AnswerWith(kRequest.size(), "");
    const double elapsed = TimedExchange([&] { return SndGetVantel(kRequest, 100); });
    EXPECT_EQ(kRequest, request_);
    EXPECT_TRUE(TookAbout(100 + std::ceil((kRequest.size() + 10) * kCharTimeMs), elapsed));
    EXPECT_EQ(0, answerLength_);
}

TEST_F(HostLinkExchangeTest, ThePlainExchangeEndsAtTheQuietGapAfterTheAnswer)
{
    AnswerWith(3, "pong");
    const double elapsed = TimedExchange([&] {
        return ci_.ciSndGet(handle_, reinterpret_cast<const uint8_t*>("pin"), 3, &answerLength_, 1000);
    });
    EXPECT_TRUE(TookAbout(kQuietGapMs, elapsed));
    EXPECT_EQ(4, answerLength_);
    EXPECT_EQ("pong", ReadAll(handle_));
}

TEST_F(HostLinkExchangeTest, TheFrameExchangeBuildsItsRequest)
{
    const std::string expected = Frame(0xFE, 0x02, 0x33, "ab");
    AnswerWith(expected.size(), kAnswer);
    TimedExchange([&] {
        return ci_.ciSndGetVant97(handle_, 0xFE, 0x02, 0x33, reinterpret_cast<const uint8_t*>("ab"), 2,
                                  &answerLength_, 1000);
    });
    EXPECT_EQ(expected, request_);
    EXPECT_EQ(static_cast<int32_t>(kAnswer.size()), answerLength_);
}

TEST_F(HostLinkExchangeTest, AClosedLinkIsNotOpenedAndSaysSoInTheLastError)
{
    ASSERT_EQ(0u, ci_.ciClose(handle_));
    answerLength_ = 9;
    EXPECT_EQ(CI_ERR_NOT_OPENED, SndGetVantel(kRequest, 10));
    EXPECT_EQ(CI_ERR_NOT_OPENED, ci_.LastError());
    EXPECT_EQ("Connection is not opened.", ci_.ErrorText());
    EXPECT_EQ(0, answerLength_);
    EXPECT_EQ("", peer_->ReadFor(50));
}

TEST_F(HostLinkExchangeTest, NotificationsComeBackAfterTheExchange)
{
    AnswerWith(kRequest.size(), kAnswer);
    TimedExchange([&] { return SndGetVantel(kRequest, 1000); });
    // The link's own report of the reply may still be on its way; let it pass.
    PumpMessagesFor(500);
    ClearNotifications();
    ASSERT_TRUE(peer_->Write("unsolicited"));
    EXPECT_TRUE(PumpMessagesUntil([] { return CountOf(CI_NOTIFY_DATA_RECEIVED) > 0; }, kPeerWaitMs));
    EXPECT_EQ(0x77u, Notifications().front().userData);
}

} // namespace
