#include "iobrant/binding/FakeConduvex.h"
#include "common/FakeLink.h"
#include "iobrant/vantel/RecordingDevice.h"
#include "iobrant/vantel/ScriptedLink.h"

#include "ConduvexError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>

namespace {

constexpr uint8_t kModule = 3;
constexpr uint8_t kSignature = 0x21;
constexpr uint8_t kIdentify = 0xF3;
constexpr uint8_t kInputsMessage = 13;

std::string Frame(uint8_t address, uint8_t signature, uint8_t code, const std::string& data = {})
{
    return BuildVantel97(address, signature, code, data);
}

class VantelStackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_conduvex::Install();
        link = MakeObject<TScriptedLink>(clock);
        stack = MakeObject<TClockedStack>(clock);
        stack->SetCommInterface(link.Get());
    }

    void TearDown() override
    {
        for (const auto& device : devices)
            stack->RemoveDevice(device.Get());
        stack->SetCommInterface(nullptr);
    }

    TIntfPtr<TRecordingDevice> AddDevice(uint8_t address)
    {
        auto device = MakeObject<TRecordingDevice>(address);
        EXPECT_TRUE(stack->AddDevice(device.Get()));
        devices.push_back(device);
        return device;
    }

    // The module answers every request with these frames, each `delay` ms after the write.
    void AnswerWith(std::vector<std::string> frames, uint32_t delay = 5)
    {
        link->SetResponder([frames, delay](TScriptedLink& on, const std::string&) {
            for (const auto& frame : frames)
                on.Arrive(delay, frame);
        });
    }

    bool Exchange(uint8_t address, std::string& answer, uint32_t timeoutMs = 100, const std::string& data = {})
    {
        return stack->SendAndReceive(address, kSignature, kIdentify, data, answer, timeoutMs);
    }

    TTestClock clock;
    TIntfPtr<TScriptedLink> link;
    TIntfPtr<TClockedStack> stack;
    std::vector<TIntfPtr<TRecordingDevice>> devices;
};

TEST_F(VantelStackTest, TheRequestGoesOutAsOneFrame)
{
    std::string answer;
    stack->SendAndReceive(0xFE, 1, kIdentify, {}, answer, 10);
    ASSERT_EQ(link->Requests().size(), 1u);
    EXPECT_EQ(link->Requests()[0], std::string("\x2A\x61\x00\x05\xFE\x01\xF3\x7D\x0D", 9));

    EXPECT_TRUE(stack->Send(kModule, 9, 0x20, "\x81"));
    EXPECT_EQ(link->Requests()[1], Frame(kModule, 9, 0x20, "\x81"));
}

TEST_F(VantelStackTest, TheAnswerCarriesTheSignatureAndAddressOfTheRequest)
{
    const std::string reply = Frame(kModule, kSignature, 0, "TARVO;V1");
    AnswerWith({reply});
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_EQ(answer, reply);
}

TEST_F(VantelStackTest, OtherFramesAreSkippedAndGoToTheirDevicesAfterTheExchange)
{
    const auto module = AddDevice(kModule);
    const auto neighbour = AddDevice(4);
    const std::string wrongSignature = Frame(kModule, kSignature + 1, 0, "late");
    const std::string wrongAddress = Frame(4, kSignature, 0, "other");
    const std::string reply = Frame(kModule, kSignature, 0, "mine");
    AnswerWith({wrongSignature, wrongAddress, reply});

    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_EQ(answer, reply);
    ASSERT_EQ(module->Responses().size(), 1u);
    EXPECT_EQ(module->Responses()[0].data, "late");
    ASSERT_EQ(neighbour->Responses().size(), 1u);
    EXPECT_EQ(neighbour->Responses()[0].data, "other");
}

TEST_F(VantelStackTest, AnUnsolicitedFrameIsNeverTakenAsTheAnswer)
{
    const auto module = AddDevice(kModule);
    const std::string message = Frame(kModule, kSignature, kInputsMessage, "\x05");
    const std::string reply = Frame(kModule, kSignature, 0, "ok");
    AnswerWith({message, reply});

    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_EQ(answer, reply);
    ASSERT_EQ(module->Automatic().size(), 1u);
    EXPECT_EQ(module->Automatic()[0].instruction, kInputsMessage);

    AnswerWith({Frame(kModule, kSignature, 12), Frame(kModule, kSignature, 15)});
    EXPECT_FALSE(Exchange(kModule, answer));
    EXPECT_EQ(module->Automatic().size(), 3u);
}

TEST_F(VantelStackTest, ARequestToTheBroadcastAddressTakesAnAnswerFromAnyAddress)
{
    const std::string reply = Frame(9, kSignature, 0, "nine");
    AnswerWith({Frame(9, kSignature + 1, 0), reply});
    std::string answer;
    EXPECT_TRUE(Exchange(kVantelBroadcast, answer));
    EXPECT_EQ(answer, reply);
}

TEST_F(VantelStackTest, NoiseAndBrokenFramesBeforeTheAnswerDoNotHideIt)
{
    const std::string reply = Frame(kModule, kSignature, 0, "ok");
    std::string broken = Frame(kModule, kSignature, 0, "bad");
    broken[8] ^= 0x40;
    link->SetResponder([&](TScriptedLink& on, const std::string&) {
        on.Arrive(1, std::string("\x00\xFFnoise*a\x7F", 10));
        on.Arrive(2, "**a" + broken.substr(0, 6));
        on.Arrive(3, broken.substr(6) + "*");
        on.Arrive(4, "zz" + reply);
    });
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_EQ(answer, reply);
}

TEST_F(VantelStackTest, AnAnswerStartingAfterTheDeadlineIsNotTaken)
{
    AnswerWith({Frame(kModule, kSignature, 0)}, 99);
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer, 100));

    AnswerWith({Frame(kModule, kSignature, 0)}, 105);
    const uint64_t start = clock.Elapsed();
    EXPECT_FALSE(Exchange(kModule, answer, 100));
    EXPECT_TRUE(answer.empty());
    // Gave up one poll after the deadline, across the tick counter's wrap.
    EXPECT_LE(clock.Elapsed() - start, 103u);
    EXPECT_GT(link->Pending(), 0u);
}

TEST_F(VantelStackTest, EachArrivalMovesTheDeadline)
{
    // 50 ms quiet gap with no character time: bytes 40 ms apart keep the exchange alive
    // far beyond the 100 ms time-out.
    link->SetResponder([](TScriptedLink& on, const std::string&) {
        on.Trickle(90, 40, Frame(kModule, kSignature, 0, "slow"));
    });
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer, 100));
    EXPECT_EQ(answer, Frame(kModule, kSignature, 0, "slow"));

    // A pause longer than the gap ends it.
    link->SetResponder([](TScriptedLink& on, const std::string&) {
        const std::string reply = Frame(kModule, kSignature, 0, "slow");
        on.Arrive(10, reply.substr(0, 5));
        on.Arrive(70, reply.substr(5));
    });
    EXPECT_FALSE(Exchange(kModule, answer, 20));
}

TEST_F(VantelStackTest, TheCharacterTimeWidensTheFirstWaitAndTheGap)
{
    link->SetCharTime(2.0);
    // First wait: 100 + Ceil((2 + 15) x 2) = 134 ms; gap: Ceil(15 x 2) + 50 = 80 ms.
    AnswerWith({Frame(kModule, kSignature, 0)}, 130);
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer, 100, "xy"));

    link->SetResponder([](TScriptedLink& on, const std::string&) {
        on.Trickle(5, 75, Frame(kModule, kSignature, 0));
    });
    EXPECT_TRUE(Exchange(kModule, answer, 10));
}

TEST_F(VantelStackTest, AnInactiveLinkAnswersNothingAtOnce)
{
    link->SetActiveFlag(false);
    AnswerWith({Frame(kModule, kSignature, 0)});
    std::string answer = "stale";
    EXPECT_FALSE(Exchange(kModule, answer));
    EXPECT_TRUE(answer.empty());
    EXPECT_TRUE(link->Requests().empty());
    EXPECT_EQ(clock.Elapsed(), 0u);
}

TEST_F(VantelStackTest, BytesWaitingBeforeTheRequestAreDispatchedNotTaken)
{
    const auto module = AddDevice(kModule);
    link->Arrive(0, Frame(kModule, kSignature, 0, "old answer"));
    AnswerWith({Frame(kModule, kSignature, 0, "new answer")});
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_EQ(ParseVantel97(answer).data, "new answer");
    ASSERT_EQ(module->Responses().size(), 1u);
    EXPECT_EQ(module->Responses()[0].data, "old answer");
}

TEST_F(VantelStackTest, TheDataHandlerLeavesTheAnswerToTheExchange)
{
    const auto module = AddDevice(kModule);
    // The link announces the answer while the exchange waits for it, as a provider's
    // thread would.
    link->SetResponder([](TScriptedLink& on, const std::string&) {
        on.Arrive(0, Frame(kModule, kSignature, 0, "ok"));
        on.DoDataReceived();
    });
    std::string answer;
    EXPECT_TRUE(Exchange(kModule, answer));
    EXPECT_TRUE(module->Responses().empty());
}

TEST_F(VantelStackTest, ReceivedFramesReachTheDevicesTheyAddress)
{
    const auto three = AddDevice(3);
    const auto four = AddDevice(4);
    const auto everyone = AddDevice(kVantelBroadcast);

    stack->Receive(Frame(3, 1, kInputsMessage));
    EXPECT_EQ(three->Automatic().size(), 1u);
    EXPECT_EQ(four->Automatic().size(), 0u);
    EXPECT_EQ(everyone->Automatic().size(), 1u);

    stack->Receive(Frame(kVantelBroadcast, 1, kInputsMessage));
    EXPECT_EQ(three->Automatic().size(), 2u);
    EXPECT_EQ(four->Automatic().size(), 1u);
    EXPECT_EQ(everyone->Automatic().size(), 2u);
}

TEST_F(VantelStackTest, ReceiveCopesWithSplitJoinedAndNoisyDeliveries)
{
    const auto module = AddDevice(kModule);
    const std::string first = Frame(kModule, 1, kInputsMessage, "a");
    const std::string second = Frame(kModule, 2, kInputsMessage, "b");
    stack->Receive("noise" + first + second.substr(0, 4));
    EXPECT_EQ(module->Automatic().size(), 1u);
    stack->Receive(second.substr(4) + "\x01\x02" + first);
    ASSERT_EQ(module->Automatic().size(), 3u);
    EXPECT_EQ(module->Automatic()[1].data, "b");
    EXPECT_EQ(module->Automatic()[2].data, "a");
}

TEST_F(VantelStackTest, TheLinksDataNotificationIsReadAndDispatched)
{
    const auto module = AddDevice(kModule);
    link->Arrive(0, Frame(kModule, 1, kInputsMessage, "x"));
    link->DoDataReceived();
    EXPECT_EQ(module->Automatic().size(), 1u);
    EXPECT_EQ(link->Pending(), 0u);
}

TEST_F(VantelStackTest, AddAndRemoveDeviceKeepBothSidesInStep)
{
    auto device = MakeObject<TRecordingDevice>(kModule);
    EXPECT_FALSE(stack->AddDevice(nullptr));
    EXPECT_TRUE(stack->AddDevice(device.Get()));
    TIntfPtr<IVantelStackDevice> found;
    EXPECT_TRUE(stack->GetDevice(0, found));
    EXPECT_EQ(IdentityOf(found.Get()), IdentityOf(device.Get()));
    EXPECT_EQ(IdentityOf(device->GetStack().Get()), IdentityOf(static_cast<IVantelStack*>(stack.Get())));
    EXPECT_FALSE(stack->GetDevice(1, found));

    EXPECT_TRUE(stack->RemoveDevice(device.Get()));
    EXPECT_FALSE(device->GetStack());
    EXPECT_FALSE(stack->RemoveDevice(device.Get()));
}

TEST(VantelStackOwner, OnlyALinkMayOwnTheStack)
{
    auto stack = MakeObject<TVantelStack>();
    auto notALink = MakeObject<TVantelStack>();
    try {
        stack->SetParent(static_cast<IVantelStack*>(notALink.Get()));
        FAIL() << "a stack accepted a parent that is not a link";
    } catch (const EConduvexError& error) {
        EXPECT_STREQ(error.what(), "IVantelStack Owner can be only ICommunicationInterface");
    }
    stack->SetParent(nullptr);

    auto link = MakeObject<TFakeLink>();
    stack->SetParent(static_cast<ICommunicationInterface*>(link.Get()));
    EXPECT_EQ(IdentityOf(stack->GetCommInterface().Get()), IdentityOf(link.Get()));
    EXPECT_EQ(link->GetOnDataReceived(), MakeMethod<&TVantelStack::icDataRcv>(stack.Get()));
    stack->SetParent(nullptr);
    EXPECT_FALSE(stack->GetCommInterface());
    EXPECT_FALSE(link->GetOnDataReceived());

    EXPECT_THROW(MakeObject<TVantelStack>(nullptr, static_cast<IVantelStack*>(notALink.Get())), EConduvexError);
    auto child = MakeObject<TVantelStack>(nullptr, static_cast<ICommunicationInterface*>(link.Get()));
    EXPECT_EQ(IdentityOf(child->GetCommInterface().Get()), IdentityOf(link.Get()));
    child->SetParent(nullptr);
}

// Unsolicited frames delivered on a worker thread while exchanges run on this one: no
// exchange loses its answer and no frame is lost or taken as an answer.
TEST(VantelStackThreads, NotificationsOnAnotherThreadDoNotRaceExchanges)
{
    fake_conduvex::Install();
    auto link = MakeObject<TFakeLink>();
    link->SetActiveFlag(true);
    auto stack = MakeObject<TVantelStack>();
    stack->SetCommInterface(link.Get());
    auto module = MakeObject<TRecordingDevice>(kModule);
    stack->AddDevice(module.Get());
    link->SetReply(Frame(kModule, kSignature, 0, "ok"));

    constexpr int kMessages = 200;
    std::atomic<bool> go = false;
    std::thread worker([&] {
        while (!go) {
        }
        for (int i = 0; i < kMessages; ++i) {
            link->Deliver(Frame(kModule, kSignature, kInputsMessage, std::string(1, static_cast<char>(i))));
            Sleep(0);
        }
    });
    go = true;
    int answered = 0;
    for (int i = 0; i < 40; ++i) {
        std::string answer;
        answered += stack->SendAndReceive(kModule, kSignature, kIdentify, {}, answer, 200) ? 1 : 0;
    }
    worker.join();
    link->DoDataReceived();

    EXPECT_EQ(answered, 40);
    // Each thread dispatches in arrival order; between threads the order is free.
    std::vector<int> received;
    for (const auto& record : module->Automatic())
        received.push_back(static_cast<uint8_t>(record.data[0]));
    std::sort(received.begin(), received.end());
    std::vector<int> expected(kMessages);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(received, expected);
    stack->RemoveDevice(module.Get());
    stack->SetCommInterface(nullptr);
}

} // namespace
