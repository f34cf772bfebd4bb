// The stack and its devices over a real Conduvex serial link (the built Conduvex.dll) to
// the module simulator on a pty: two modules, 3 and 4, on one bus.
#include "support/ModuleSimulator.h"
#include "iobrant/vantel/RecordingDevice.h"
#include "support/PinnedLibrary.h"
#include "support/ProgramFolder.h"
#include "support/SerialPeer.h"

#include "binding/ConduvexBinding.h"
#include "binding/DLLInterface.h"
#include "vantel/VantelStack.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A COM number no other test program links.
constexpr int kComPort = 40;
constexpr uint8_t kInputs = 0x31;
constexpr uint8_t kAutoNotify = 0x10;
constexpr uint8_t kInputsMessage = 13;

// Each test binds the Conduvex.dll beside this program anew (PinnedLibrary.h).
const TPinnedLibrary kPinnedConduvex(Beside(TConduvexBinding::kLibraryName));

std::string Hex(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        text += kDigits[static_cast<uint8_t>(c) >> 4];
        text += kDigits[static_cast<uint8_t>(c) & 15];
    }
    return text;
}

struct TReplies {
    std::vector<TVantelFormat97> received;
    void OnReply(const TVantelFormat97&, const TVantelFormat97& reply) { received.push_back(reply); }
};

class IobrantOverConduvex : public ::testing::Test {
protected:
    void SetUp() override
    {
        conduvex = std::make_unique<TConduvexBinding>(Beside(TConduvexBinding::kLibraryName));
        ASSERT_TRUE(conduvex->Bind()) << conduvex->KeptMessage();
        ProcessConduvex().Adopt(conduvex->Functions());
        simulator = std::make_unique<TModuleSimulator>(kComPort, "--modules 3,4 --inputs 8 --outputs 8");
        ASSERT_EQ(simulator->Failure(), "");

        const CI_HANDLE handle = conduvex->Functions().ciCreate(simulator->ConnectionString().c_str());
        ASSERT_NE(handle, 0u) << conduvex->ConduvexLastErrorText();
        link = TDLLInterface::AttachM(handle, false);
        link->Open();
        ASSERT_TRUE(link->IsActive());
        stack = MakeObject<TVantelStack>();
        stack->SetCommInterface(link.Get());
        three = Add(3);
        four = Add(4);
    }

    void TearDown() override
    {
        for (const auto& device : devices)
            stack->RemoveDevice(device.Get());
        devices.clear();
        if (stack)
            stack->SetCommInterface(nullptr);
        stack.Reset();
        link.Reset();
        simulator.reset();
        ProcessConduvex().Unbind();
        conduvex.reset();
    }

    TIntfPtr<TRecordingDevice> Add(uint8_t address)
    {
        auto device = MakeObject<TRecordingDevice>(address);
        stack->AddDevice(device.Get());
        devices.push_back(device);
        return device;
    }

    std::unique_ptr<TConduvexBinding> conduvex;
    std::unique_ptr<TModuleSimulator> simulator;
    TIntfPtr<TDLLInterface> link;
    TIntfPtr<TVantelStack> stack;
    std::vector<TIntfPtr<TRecordingDevice>> devices;
    TIntfPtr<TRecordingDevice> three;
    TIntfPtr<TRecordingDevice> four;
};

TEST_F(IobrantOverConduvex, RequestsReachTheModuleAsFramesAndAnswersComeBack)
{
    EXPECT_EQ(simulator->Command("log clear"), "OK");
    EXPECT_TRUE(three->Reset());
    EXPECT_EQ(simulator->Command("log"), "OK " + Hex(BuildVantel97(3, 0, 0xE3, {})));

    std::string text;
    EXPECT_TRUE(three->GetIdentificationText(text));
    EXPECT_EQ(text.rfind("TARVO 8/8", 0), 0u) << text;
    EXPECT_TRUE(four->SetUserData("hello"));
    std::string data;
    EXPECT_TRUE(four->GetUserData(data));
    EXPECT_EQ(data, "hello");
    EXPECT_TRUE(three->GetUserData(data));
    EXPECT_EQ(data, "");
}

TEST_F(IobrantOverConduvex, ABroadcastRequestTakesTheFirstAnswer)
{
    auto anyone = Add(kVantelBroadcast);
    uint8_t acknowledge = 0xFF;
    std::string reply;
    EXPECT_TRUE(anyone->SendReceiveRaw(0xF0, {}, -1, acknowledge, reply));
    EXPECT_EQ(acknowledge, 0);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(static_cast<uint8_t>(reply[0]), 3);
}

TEST_F(IobrantOverConduvex, FaultyAnswersAreSkippedOrSurvived)
{
    EXPECT_EQ(simulator->Command("fault noise"), "OK");
    EXPECT_TRUE(three->Reset());
    EXPECT_EQ(simulator->Command("fault split 20"), "OK");
    EXPECT_TRUE(three->Reset());

    EXPECT_EQ(simulator->Command("fault wrong-signature once"), "OK");
    EXPECT_FALSE(three->Reset());
    EXPECT_EQ(three->GetStatus(), kVantelStatusNoReply);
    EXPECT_EQ(simulator->Command("fault wrong-address once"), "OK");
    EXPECT_FALSE(three->Reset());
    EXPECT_TRUE(three->Reset());

    EXPECT_EQ(simulator->Command("fault unsolicited"), "OK");
    EXPECT_TRUE(three->Reset());
    ASSERT_FALSE(three->Automatic().empty());
    EXPECT_EQ(three->Automatic().back().instruction, 12);
}

TEST_F(IobrantOverConduvex, ALateAnswerCountsOnlyBeforeTheDeadline)
{
    uint8_t acknowledge = 0;
    std::string reply;
    EXPECT_EQ(simulator->Command("fault late 100"), "OK");
    EXPECT_TRUE(three->SendReceiveRaw(0xF0, {}, 400, acknowledge, reply));
    EXPECT_EQ(simulator->Command("fault late 600"), "OK");
    EXPECT_FALSE(three->SendReceiveRaw(0xF0, {}, 200, acknowledge, reply));
    EXPECT_EQ(three->GetStatus(), kVantelStatusNoReply);
}

TEST_F(IobrantOverConduvex, AnAsynchronousReplyAndAnotherModulesMessageArriveByNotification)
{
    TReplies replies;
    TVantelFormat97 none;
    ASSERT_TRUE(three->Exchange(kInputs, {}, MakeMethod<&TReplies::OnReply>(&replies), false, -1, none));
    EXPECT_TRUE(PumpMessagesUntil([&] { return !replies.received.empty(); }, 3000));
    ASSERT_EQ(replies.received.size(), 1u);
    EXPECT_EQ(replies.received[0].address, 3);

    EXPECT_TRUE(four->SendData(kAutoNotify, "\x01", {}, true, -1));
    EXPECT_EQ(simulator->Command("@4 set-input 2 1"), "OK");
    EXPECT_TRUE(PumpMessagesUntil([&] { return !four->Automatic().empty(); }, 3000));
    ASSERT_EQ(four->Automatic().size(), 1u);
    EXPECT_EQ(four->Automatic()[0].instruction, kInputsMessage);
    EXPECT_EQ(four->Automatic()[0].data, "\x02");
    EXPECT_TRUE(three->Automatic().empty());
}

} // namespace
