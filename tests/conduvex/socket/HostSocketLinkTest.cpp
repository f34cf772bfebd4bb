// TCP and UDP links through the exports, against the module simulator on 127.0.0.1. The
// links report through a message-only window of the thread that opened them, so every
// wait here runs this thread's messages.
#include "conduvex/api/HostLinkLibrary.h"
#include "support/ModuleSimulator.h"
#include "support/SerialPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kAddress = 3;
constexpr uint8_t kIdentify = 0xF3;
constexpr uint8_t kReadInputs = 0x31;
constexpr uint32_t kExchangeTimeoutMs = 3000;
constexpr DWORD kNotificationWaitMs = 5000;
// A refused connect is reported within milliseconds; a silent host takes 1500 ms.
constexpr DWORD kRefusalBoundMs = 1000;
const std::string kIdentification = "TARVO 8/8 ETH ;F97;V0573.26.01;T1";

std::vector<uint32_t>& HeardKinds()
{
    static std::vector<uint32_t> kinds;
    return kinds;
}

void CI_CALL Hear(CI_HANDLE, uint32_t kind, uint32_t, uint32_t)
{
    HeardKinds().push_back(kind & 0xFFFF);
}

bool Heard(uint32_t kind)
{
    for (const uint32_t heard : HeardKinds()) {
        if (heard == kind)
            return true;
    }
    return false;
}

// One Vantel 97 frame as ciReadVant97 splits it.
struct TFrame {
    uint8_t address = 0;
    uint8_t signature = 0;
    uint8_t instruction = 0;
    std::string data;
};

class HostSocketLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ci_.Loaded()) << "Conduvex.dll beside the test program";
        simulator_ = std::make_unique<TModuleSimulator>(TModuleSimulator::kSockets,
                                                        "--address 3 --inputs 8 --outputs 8");
        ASSERT_EQ("", simulator_->Failure());
        HeardKinds().clear();
    }

    void TearDown() override
    {
        for (const CI_HANDLE handle : created_)
            EXPECT_EQ(0u, ci_.ciRelease(handle));
    }

    CI_HANDLE Create(const std::string& connectionString)
    {
        const CI_HANDLE handle = ci_.ciCreate(connectionString.c_str());
        EXPECT_NE(0u, handle) << ci_.ErrorText();
        if (handle) {
            created_.push_back(handle);
            EXPECT_EQ(0u, ci_.ciRegisterCallBackNotifications(handle, &Hear, 0));
        }
        return handle;
    }

    CI_HANDLE Open(const std::string& connectionString)
    {
        const CI_HANDLE handle = Create(connectionString);
        EXPECT_EQ(0u, ci_.ciOpen(handle)) << ci_.ErrorText();
        EXPECT_TRUE(IsActive(handle));
        return handle;
    }

    bool IsActive(CI_HANDLE handle)
    {
        CI_BOOL active = CI_FALSE;
        return ci_.ciIsActive(handle, &active) == 0 && active == CI_TRUE;
    }

    // The request, then the answer frame taken from the read-ahead buffer.
    TFrame Exchange(CI_HANDLE handle, uint8_t signature, uint8_t instruction)
    {
        int32_t answerLength = 0;
        EXPECT_EQ(0u, ci_.ciSndGetVant97(handle, kAddress, signature, instruction, nullptr, 0, &answerLength,
                                         kExchangeTimeoutMs))
            << ci_.ErrorText();
        EXPECT_GT(answerLength, 0);
        return ReadFrame(handle);
    }

    TFrame ReadFrame(CI_HANDLE handle)
    {
        TFrame frame;
        uint8_t data[256] = {};
        int32_t length = sizeof data;
        EXPECT_EQ(0u, ci_.ciReadVant97(handle, &frame.address, &frame.signature, &frame.instruction, data, &length))
            << ci_.ErrorText();
        frame.data.assign(reinterpret_cast<char*>(data), static_cast<size_t>(length > 0 ? length : 0));
        return frame;
    }

    // A request frame, signature 0, as the simulator reads it.
    static std::string Request(uint8_t instruction)
    {
        std::string frame = {'*', 'a', 0, 5, static_cast<char>(kAddress), 0, static_cast<char>(instruction)};
        unsigned sum = 0;
        for (const char c : frame)
            sum += static_cast<uint8_t>(c);
        frame += static_cast<char>(255 - sum % 256);
        frame += '\r';
        return frame;
    }

    void Write(CI_HANDLE handle, const std::string& bytes)
    {
        EXPECT_EQ(0u, ci_.ciWrite(handle, reinterpret_cast<const uint8_t*>(bytes.data()),
                                  static_cast<int32_t>(bytes.size())))
            << ci_.ErrorText();
    }

    THostLinkLibrary& ci_ = THostLinkLibrary::Get();
    std::unique_ptr<TModuleSimulator> simulator_;

private:
    std::vector<CI_HANDLE> created_;
};

TEST_F(HostSocketLinkTest, TcpLinkIdentifiesTheModule)
{
    const CI_HANDLE link = Create(simulator_->TcpConnectionString());
    EXPECT_EQ("TCP_CLIENT", ci_.TextOf(ci_.ciGetProvider, link));
    EXPECT_EQ("TCPC 127.0.0.1:" + std::to_string(simulator_->TcpPort()), ci_.TextOf(ci_.ciGetID, link));
    EXPECT_EQ(simulator_->TcpConnectionString(), ci_.TextOf(ci_.ciGetConfig, link));
    ASSERT_EQ(0u, ci_.ciOpen(link)) << ci_.ErrorText();
    EXPECT_TRUE(IsActive(link));
    EXPECT_TRUE(PumpMessagesUntil([] { return Heard(CI_NOTIFY_OPENED); }, kNotificationWaitMs));

    const TFrame answer = Exchange(link, 0x21, kIdentify);
    EXPECT_EQ(kAddress, answer.address);
    EXPECT_EQ(0x21, answer.signature);
    EXPECT_EQ(0, answer.instruction) << "acknowledge code";
    EXPECT_EQ(kIdentification, answer.data);
    EXPECT_EQ(0, ci_.ciReadLength(link)) << "one answer, taken whole";

    // The link stays usable: a second exchange on the same connection.
    ASSERT_EQ("OK", simulator_->Command("set-inputs 10000001"));
    EXPECT_EQ(std::string("\x81", 1), Exchange(link, 0x22, kReadInputs).data);
}

TEST_F(HostSocketLinkTest, TcpOldAnswerWaitingInTheSocketIsNotTakenForTheExchangesAnswer)
{
    const CI_HANDLE link = Open(simulator_->TcpConnectionString());
    ASSERT_EQ("OK", simulator_->Command("set-inputs 00000100"));
    // An answer nobody reads: no messages run, so it stays in the socket.
    Write(link, Request(kIdentify));
    Sleep(300);
    const TFrame answer = Exchange(link, 0x22, kReadInputs);
    EXPECT_EQ(0x22, answer.signature);
    EXPECT_EQ(std::string("\x20", 1), answer.data);
    EXPECT_EQ(0, ci_.ciReadLength(link));
}

TEST_F(HostSocketLinkTest, TcpPeerCloseIsAnnouncedAndLeavesTheLinkInactive)
{
    const CI_HANDLE link = Open(simulator_->TcpConnectionString());
    ASSERT_TRUE(IsActive(link));
    HeardKinds().clear();
    ASSERT_EQ("OK", simulator_->Command("quit"));
    ASSERT_TRUE(PumpMessagesUntil([] { return Heard(CI_NOTIFY_CLOSED); }, kNotificationWaitMs));
    EXPECT_FALSE(IsActive(link));
    int32_t answerLength = 0;
    EXPECT_EQ(CI_ERR_NOT_OPENED,
              ci_.ciSndGetVant97(link, kAddress, 0, kIdentify, nullptr, 0, &answerLength, kExchangeTimeoutMs));
    EXPECT_EQ(CI_ERR_NOT_OPENED, ci_.LastError());
}

TEST_F(HostSocketLinkTest, TcpRefusedPortFailsAtOnceAndStaysInactive)
{
    const int port = TModuleSimulator::RefusingTcpPort();
    ASSERT_NE(0, port);
    const CI_HANDLE link = Create("provider=TCP_CLIENT;host=127.0.0.1;port=" + std::to_string(port));
    const DWORD start = GetTickCount();
    EXPECT_EQ(CI_ERR_CONNECTION_FAILURE, ci_.ciOpen(link));
    EXPECT_LT(GetTickCount() - start, kRefusalBoundMs);
    EXPECT_EQ(CI_ERR_CONNECTION_FAILURE, ci_.LastError());
    EXPECT_FALSE(IsActive(link));
    PumpMessagesFor(50);
    EXPECT_FALSE(Heard(CI_NOTIFY_OPENED));
    EXPECT_EQ(CI_ERR_NOT_OPENED, ci_.ciWrite(link, reinterpret_cast<const uint8_t*>("x"), 1));
}

TEST_F(HostSocketLinkTest, UdpLinkIdentifiesTheModule)
{
    const CI_HANDLE link = Create(simulator_->UdpConnectionString());
    EXPECT_EQ("UDP_CLIENT", ci_.TextOf(ci_.ciGetProvider, link));
    EXPECT_EQ("UDPC 127.0.0.1:" + std::to_string(simulator_->UdpPort()), ci_.TextOf(ci_.ciGetID, link));
    ASSERT_EQ(0u, ci_.ciOpen(link)) << ci_.ErrorText();
    EXPECT_TRUE(IsActive(link));

    const TFrame answer = Exchange(link, 0x44, kIdentify);
    EXPECT_EQ(kAddress, answer.address);
    EXPECT_EQ(0x44, answer.signature);
    EXPECT_EQ(0, answer.instruction);
    EXPECT_EQ(kIdentification, answer.data);

    ASSERT_EQ(0u, ci_.ciClose(link));
    EXPECT_FALSE(IsActive(link));
    EXPECT_TRUE(PumpMessagesUntil([] { return Heard(CI_NOTIFY_CLOSED); }, kNotificationWaitMs));
}

TEST_F(HostSocketLinkTest, UdpRequestsInSeparateDatagramsAreAnsweredInOrder)
{
    const CI_HANDLE link = Open(simulator_->UdpConnectionString());
    ASSERT_EQ("OK", simulator_->Command("set-inputs 01000000"));
    ASSERT_EQ(0u, ci_.ciClearReadBuffer(link));
    Write(link, Request(kIdentify));
    Write(link, Request(kReadInputs));
    const int32_t expected = static_cast<int32_t>(kIdentification.size() + 9 + 1 + 9);
    ASSERT_TRUE(PumpMessagesUntil([&] { return ci_.ciReadLength(link) >= expected; }, kNotificationWaitMs))
        << ci_.ciReadLength(link) << " bytes arrived";
    EXPECT_EQ(expected, ci_.ciReadLength(link));
    // The notification is posted after the datagram is queued, so it may come a moment later.
    EXPECT_TRUE(PumpMessagesUntil([] { return Heard(CI_NOTIFY_DATA_RECEIVED); }, kNotificationWaitMs));
    EXPECT_EQ(kIdentification, ReadFrame(link).data);
    EXPECT_EQ(std::string("\x02", 1), ReadFrame(link).data);
    EXPECT_EQ(0, ci_.ciReadLength(link));

    // Both requests reached the module whole, one per datagram.
    const std::string log = simulator_->Command("log");
    EXPECT_EQ(2u, static_cast<size_t>(std::count(log.begin(), log.end(), ' '))) << log;
}

} // namespace
