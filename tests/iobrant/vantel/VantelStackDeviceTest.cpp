#include "iobrant/binding/FakeConduvex.h"
#include "iobrant/vantel/FakeStack.h"
#include "iobrant/vantel/RecordingDevice.h"

#include "ConduvexError.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr uint8_t kOwnAddress = 5;

std::string Bytes(std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (const uint8_t value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// Receives asynchronous replies.
struct TReplyRecorder {
    std::vector<std::pair<TVantelFormat97, TVantelFormat97>> calls;
    bool fail = false;

    void OnReply(const TVantelFormat97& request, const TVantelFormat97& reply)
    {
        calls.emplace_back(request, reply);
        if (fail)
            throw std::runtime_error("handler failed");
    }
};

class VantelStackDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_conduvex::Install();
        stack = MakeObject<TFakeStack>();
        device = MakeObject<TRecordingDevice>(kOwnAddress);
        device->SetStack(stack.Get());
    }

    void TearDown() override { device->SetStack(nullptr); }

    // The signatures of every request so far, as bytes.
    std::string Signatures() const
    {
        std::string signatures;
        for (const auto& request : stack->requests)
            signatures += static_cast<char>(request.signature);
        return signatures;
    }

    bool Asynchronous(uint8_t instruction, int32_t timeoutMs = -1, TVantelReplyMethod callback = {})
    {
        TVantelFormat97 reply;
        return device->Exchange(instruction, {}, callback, false, timeoutMs, reply);
    }

    const TFakeStack::TRequest& Last() const { return stack->requests.back(); }

    TIntfPtr<TFakeStack> stack;
    TIntfPtr<TRecordingDevice> device;
};

TEST_F(VantelStackDeviceTest, SignaturesAreReusedWhenFreeAndSkippedWhileOutstanding)
{
    EXPECT_TRUE(device->Reset());
    EXPECT_TRUE(device->Reset());
    EXPECT_TRUE(Asynchronous(0x31));
    EXPECT_TRUE(Asynchronous(0x31));
    EXPECT_TRUE(device->Reset());
    EXPECT_EQ(Signatures(), Bytes({0, 0, 0, 1, 2}));

    device->SetFixedSignature(0x77);
    EXPECT_TRUE(device->Reset());
    EXPECT_TRUE(Asynchronous(0x31));
    device->SetFixedSignature(0);
    EXPECT_TRUE(device->Reset());
    EXPECT_EQ(Signatures(), Bytes({0, 0, 0, 1, 2, 0x77, 0x77, 2}));
}

TEST_F(VantelStackDeviceTest, AFullTableReportsOverloadAndExpiredSlotsComeBack)
{
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(Asynchronous(0x31, 1000));
    EXPECT_EQ(static_cast<uint8_t>(Signatures()[255]), 255);

    EXPECT_FALSE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusNoReply);
    EXPECT_EQ(stack->requests.size(), 256u);
    EXPECT_EQ(fake_conduvex::State().lastError, kErrActionFailed);
    EXPECT_EQ(fake_conduvex::State().lastErrorText, "SIG stack overload");

    // Past the time-out of every slot.
    Sleep(1100);
    EXPECT_TRUE(Asynchronous(0x31));
    EXPECT_TRUE(Asynchronous(0x31));
    EXPECT_EQ(static_cast<uint8_t>(Signatures()[256]), 255);
    EXPECT_EQ(static_cast<uint8_t>(Signatures()[257]), 0);
}

TEST_F(VantelStackDeviceTest, StatusAndLastAcknowledgeTellHowTheExchangeEnded)
{
    uint8_t code = 0;
    stack->SetAnswerer([&](const TFakeStack::TRequest& request) {
        return BuildVantel97(request.address, request.signature, code, "r");
    });
    EXPECT_TRUE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusAcknowledged);
    EXPECT_EQ(device->GetLastAck(), 0);

    code = 3;
    std::string data;
    uint8_t acknowledge = 0xAA;
    EXPECT_FALSE(device->SendWithAck(0x40, {}, {}, true, -1, acknowledge, data));
    EXPECT_EQ(device->GetStatus(), kVantelStatusRefused);
    EXPECT_EQ(device->GetLastAck(), 3);
    EXPECT_EQ(acknowledge, 0xAA);
    EXPECT_TRUE(device->SendReceiveRaw(0x40, "q", 250, acknowledge, data));
    EXPECT_EQ(acknowledge, 3);
    EXPECT_EQ(data, "r");
    EXPECT_EQ(Last().timeoutMs, 250u);

    stack->SetAnswerer([](const TFakeStack::TRequest&) { return std::string(); });
    EXPECT_FALSE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusNoReply);
    EXPECT_EQ(device->GetLastAck(), -1);

    stack->SetAnswerer([](const TFakeStack::TRequest& request) {
        std::string frame = BuildVantel97(request.address, request.signature, 0, "r");
        frame[7] ^= 1;
        return frame;
    });
    EXPECT_FALSE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusBadReply);

    // Passes the frame check with LEN 4, but is no reply.
    stack->SetAnswerer([](const TFakeStack::TRequest&) {
        std::string frame = Bytes({'*', 'a', 0, 4, kOwnAddress, 0});
        return frame + static_cast<char>(VantelChecksum(frame)) + '\r';
    });
    EXPECT_FALSE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusBadReply);

    stack->SetAnswerer([](const TFakeStack::TRequest& request) {
        return BuildVantel97(request.address, request.signature + 1, 0, {});
    });
    EXPECT_FALSE(device->Reset());
    EXPECT_EQ(device->GetStatus(), kVantelStatusCleared);
    EXPECT_EQ(device->GetLastAck(), 0);
}

TEST_F(VantelStackDeviceTest, TimeOutsDefaultToOneSecond)
{
    device->Reset();
    EXPECT_EQ(Last().timeoutMs, 1000u);
    EXPECT_EQ(Last().instruction, 0xE3);
    EXPECT_TRUE(Last().data.empty());
    device->PrepareConfigWrite();
    EXPECT_EQ(Last().timeoutMs, 500u);
    EXPECT_EQ(Last().instruction, 0xE4);
    EXPECT_EQ(Last().address, kOwnAddress);
}

TEST_F(VantelStackDeviceTest, WithoutAStackNothingIsSent)
{
    device->SetStack(nullptr);
    EXPECT_FALSE(device->Reset());
    EXPECT_FALSE(Asynchronous(0x31));
}

TEST_F(VantelStackDeviceTest, IdentifyReadsNameVersionAndThirdField)
{
    stack->replyData[0xF3] = " TARVO 8/8 ETH ; FW v1.23 ; third ; rest";
    EXPECT_TRUE(device->Identify());
    EXPECT_TRUE(device->Identified());
    EXPECT_EQ(device->Name(), "TARVO 8/8 ETH");
    EXPECT_EQ(device->Version(), "1.23");
    EXPECT_EQ(device->ThirdItem(), "third");

    // Only a lower-case "v" and what precedes it are cut.
    stack->replyData[0xF3] = "TARVO;V0573.26;T1";
    EXPECT_TRUE(device->Identify());
    EXPECT_EQ(device->Version(), "V0573.26");
    EXPECT_EQ(device->ThirdItem(), "T1");

    stack->replyData[0xF3] = "two;fields";
    EXPECT_TRUE(device->Identify());
    EXPECT_EQ(device->Name(), "TARVO");
    std::string text;
    EXPECT_TRUE(device->GetIdentificationText(text));
    EXPECT_EQ(text, "two;fields");

    stack->SetAnswerer([](const TFakeStack::TRequest&) { return std::string(); });
    EXPECT_FALSE(device->Identify());
    EXPECT_FALSE(device->Identified());
}

TEST_F(VantelStackDeviceTest, ParameterFlagAndUserData)
{
    uint8_t value = 0;
    stack->replyData[0xF1] = "\x07";
    EXPECT_TRUE(device->ReadParamF1(value));
    EXPECT_EQ(value, 7);
    stack->replyData[0xF1] = "";
    EXPECT_TRUE(device->ReadParamF1(value));
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(device->WriteParamE1(0x42));
    EXPECT_EQ(Last().data, "\x42");
    EXPECT_EQ(device->ParameterByte(), 0x42);

    bool flag = true;
    stack->replyData[0xFE] = Bytes({0});
    EXPECT_TRUE(device->ReadFlagFE(flag));
    EXPECT_FALSE(flag);
    stack->replyData[0xFE] = "\x02";
    EXPECT_TRUE(device->ReadFlagFE(flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(device->WriteFlagEE(true));
    EXPECT_EQ(Last().data, "\x01");
    EXPECT_TRUE(device->WriteFlagEE(false));
    EXPECT_EQ(Last().data, Bytes({0}));

    EXPECT_TRUE(device->SetUserData("abcdefghijklmnopqrst"));
    EXPECT_EQ(Last().instruction, 0xE2);
    EXPECT_EQ(Last().data, Bytes({0}) + "abcdefghijklmnop");
    EXPECT_TRUE(device->SetUserData("abc"));
    EXPECT_EQ(Last().data, Bytes({0}) + "abc" + Bytes({0}));
    stack->replyData[0xF2] = "stored";
    std::string data;
    EXPECT_TRUE(device->GetUserData(data));
    EXPECT_EQ(data, "stored");
}

TEST_F(VantelStackDeviceTest, FactoryInformationNeedsEightBytes)
{
    uint16_t word1 = 0;
    uint16_t word2 = 0;
    uint32_t value = 0;
    stack->replyData[0xFA] = Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_TRUE(device->GetFactoryInfo(word1, word2, value));
    EXPECT_EQ(word1, 0x0102);
    EXPECT_EQ(word2, 0x0304);
    EXPECT_EQ(value, 0x05060708u);
    stack->replyData[0xFA] = Bytes({1, 2, 3, 4, 5, 6, 7});
    EXPECT_FALSE(device->GetFactoryInfo(word1, word2, value));
}

TEST_F(VantelStackDeviceTest, AddressAndBaudRate)
{
    uint8_t address = 0;
    uint32_t baud = 0;
    stack->replyData[0xF0] = Bytes({9});
    EXPECT_TRUE(device->ReadAddress(address));
    EXPECT_EQ(address, kOwnAddress);
    stack->replyData[0xF0] = Bytes({9, 6});
    EXPECT_TRUE(device->ReadAddress(address));
    EXPECT_EQ(address, 9);
    EXPECT_EQ(device->GetAddress(), 9);

    EXPECT_TRUE(device->ReadAddressAndBaud(address, baud));
    EXPECT_EQ(baud, 9600u);
    stack->replyData[0xF0] = Bytes({9, 12});
    EXPECT_TRUE(device->ReadAddressAndBaud(address, baud));
    EXPECT_EQ(baud, 0u);

    stack->requests.clear();
    EXPECT_TRUE(device->WriteAddressAndBaud(7, 14400));
    ASSERT_EQ(stack->requests.size(), 2u);
    EXPECT_EQ(stack->requests[0].instruction, 0xE4);
    EXPECT_EQ(stack->requests[0].timeoutMs, 1000u);
    EXPECT_EQ(stack->requests[1].instruction, 0xE0);
    EXPECT_EQ(stack->requests[1].data, Bytes({7, 0xFF}));
    EXPECT_EQ(device->GetAddress(), 7);
    EXPECT_TRUE(device->WriteAddressAndBaud(7, 115200));
    EXPECT_EQ(Last().data, Bytes({7, 10}));
}

TEST_F(VantelStackDeviceTest, WriteAddressReplacesTheFirstByteOfTheReadBack)
{
    stack->replyData[0xF0] = Bytes({kOwnAddress, 6, 0x33});
    EXPECT_TRUE(device->WriteAddress(12));
    ASSERT_EQ(stack->requests.size(), 3u);
    EXPECT_EQ(stack->requests[0].instruction, 0xF0);
    EXPECT_EQ(stack->requests[1].instruction, 0xE4);
    EXPECT_EQ(stack->requests[1].timeoutMs, 500u);
    EXPECT_EQ(stack->requests[2].instruction, 0xE0);
    EXPECT_EQ(stack->requests[2].data, Bytes({12, 6, 0x33}));
    EXPECT_EQ(device->GetAddress(), 12);

    stack->requests.clear();
    stack->SetAnswerer([](const TFakeStack::TRequest& request) {
        const uint8_t code = request.instruction == 0xE4 ? 1 : 0;
        return BuildVantel97(request.address, request.signature, code, Bytes({12, 6}));
    });
    EXPECT_FALSE(device->WriteAddress(20));
    EXPECT_EQ(stack->requests.size(), 2u);
    EXPECT_EQ(device->GetAddress(), 12);
}

TEST_F(VantelStackDeviceTest, WriteAddressBySerialRunsFromTheProgrammingAddress)
{
    EXPECT_TRUE(device->WriteAddressEB(0x1234, 0x5678, 9));
    EXPECT_TRUE(Last().synchronous);
    EXPECT_EQ(Last().address, 254);
    EXPECT_EQ(Last().instruction, 0xEB);
    EXPECT_EQ(Last().data, Bytes({9, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(device->GetAddress(), 9);

    stack->SetAnswerer([](const TFakeStack::TRequest&) { return std::string(); });
    EXPECT_FALSE(device->WriteAddressEB(1, 2, 30));
    EXPECT_EQ(device->GetAddress(), 9);

    device->SetAddress(255);
    EXPECT_TRUE(device->WriteAddressEB(1, 2, 31));
    EXPECT_FALSE(Last().synchronous);
    EXPECT_EQ(Last().address, 255);
    EXPECT_EQ(device->GetAddress(), 31);
}

TEST_F(VantelStackDeviceTest, AnAsynchronousReplyReachesItsHandlerOnce)
{
    TReplyRecorder recorder;
    ASSERT_TRUE(Asynchronous(0x20, -1, MakeMethod<&TReplyRecorder::OnReply>(&recorder)));
    const uint8_t signature = Last().signature;
    const TVantelFormat97 reply = ParseVantel97(BuildVantel97(kOwnAddress, signature, 0, "done"));
    device->Dispatch(reply);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].first.instruction, 0x20);
    EXPECT_EQ(recorder.calls[0].first.signature, signature);
    EXPECT_EQ(recorder.calls[0].second, reply);

    device->Dispatch(reply);
    EXPECT_EQ(recorder.calls.size(), 1u);
    // The slot is free again.
    device->Reset();
    EXPECT_EQ(Last().signature, signature);
}

TEST_F(VantelStackDeviceTest, DispatchSortsRepliesFromUnsolicitedFrames)
{
    for (const uint8_t code : {0, 5, 6, 11, 12, 15, 16, 0xFF})
        device->Dispatch(ParseVantel97(BuildVantel97(kOwnAddress, 1, code, {})));
    ASSERT_EQ(device->Responses().size(), 2u);
    EXPECT_EQ(device->Responses()[1].instruction, 5);
    ASSERT_EQ(device->Automatic().size(), 2u);
    EXPECT_EQ(device->Automatic()[0].instruction, 12);
    EXPECT_EQ(device->Automatic()[1].instruction, 15);
}

TEST_F(VantelStackDeviceTest, AFailingHandlerLeavesItsErrorAndNoBox)
{
    TReplyRecorder recorder;
    recorder.fail = true;
    ASSERT_TRUE(Asynchronous(0x20, -1, MakeMethod<&TReplyRecorder::OnReply>(&recorder)));
    EXPECT_NO_THROW(device->Dispatch(ParseVantel97(BuildVantel97(kOwnAddress, Last().signature, 0, {}))));
    EXPECT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(fake_conduvex::State().lastError, kErrException);
    EXPECT_EQ(fake_conduvex::State().lastErrorText, "handler failed");
}

TEST_F(VantelStackDeviceTest, AFailedSendFreesTheSignature)
{
    stack->sendSucceeds = false;
    EXPECT_FALSE(Asynchronous(0x20));
    stack->sendSucceeds = true;
    EXPECT_TRUE(Asynchronous(0x20));
    EXPECT_EQ(Signatures(), Bytes({0, 0}));
}

} // namespace
