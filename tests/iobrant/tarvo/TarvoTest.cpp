// The Tarvo device over a fake stack: identification, the caches and their change events,
// automatic messages, counters and the answer checks.
#include "iobrant/binding/FakeConduvex.h"
#include "iobrant/vantel/FakeStack.h"

#include "tarvo/Tarvo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <map>
#include <memory>
#include <thread>

namespace {

constexpr uint8_t kAddress = 3;
constexpr const char* kEightByEight = "TARVO 8/8 ETH ;F97;V0573.26.01;T1";

std::string Bytes(std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (const uint8_t value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// What the module answers, by instruction: acknowledge and data; no entry, no answer.
struct TModuleScript {
    std::map<uint8_t, std::pair<uint8_t, std::string>> answers;

    void Answer(uint8_t instruction, const std::string& data, uint8_t acknowledge = 0)
    {
        answers[instruction] = {acknowledge, data};
    }
    void Silence(uint8_t instruction) { answers.erase(instruction); }
};

// The events of one Tarvo object, as text: "1:0>1" for position 1 from 0 to 1, "*" for a
// group event with its number of changes.
struct TEventLog {
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
    std::function<void()> duringEvent;

    void OnInput(ITarvo*, uint16_t position, bool newState, bool oldState)
    {
        inputs.push_back(std::to_string(position) + ":" + std::to_string(oldState) + ">" + std::to_string(newState));
        if (duringEvent)
            duringEvent();
    }
    void OnInputs(ITarvo*, const TIOsChngRec& changes) { inputs.push_back("*" + std::to_string(changes.size())); }
    void OnOutput(ITarvo*, uint16_t position, bool newState, bool oldState)
    {
        outputs.push_back(std::to_string(position) + ":" + std::to_string(oldState) + ">" + std::to_string(newState));
    }
    void OnOutputs(ITarvo*, const TIOsChngRec& changes) { outputs.push_back("*" + std::to_string(changes.size())); }
};

class TarvoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_conduvex::Install();
        stack = MakeObject<TFakeStack>();
        stack->SetAnswerer([this](const TFakeStack::TRequest& request) {
            const auto answer = script.answers.find(request.instruction);
            if (answer == script.answers.end())
                return std::string();
            return BuildVantel97(request.address, request.signature, answer->second.first, answer->second.second);
        });
        tarvo = MakeObject<TTarvo>(kAddress);
        tarvo->SetStack(stack.Get());
        tarvo->InputChangedEventer()->Add(MakeMethod<&TEventLog::OnInput>(&events));
        tarvo->InputsChangedEventer()->Add(MakeMethod<&TEventLog::OnInputs>(&events));
        tarvo->OutputChangedEventer()->Add(MakeMethod<&TEventLog::OnOutput>(&events));
        tarvo->OutputsChangedEventer()->Add(MakeMethod<&TEventLog::OnOutputs>(&events));
        script.Answer(0xF3, kEightByEight);
    }

    void TearDown() override { tarvo->SetStack(nullptr); }

    // The instructions sent so far, in order.
    std::string Sent() const
    {
        std::string sent;
        for (const auto& request : stack->requests)
            sent += static_cast<char>(request.instruction);
        return sent;
    }

    void Deliver(uint8_t code, const std::string& data)
    {
        tarvo->Dispatch(ParseVantel97(BuildVantel97(kAddress, 0, code, data)));
    }

    TModuleScript script;
    TEventLog events;
    TIntfPtr<TFakeStack> stack;
    TIntfPtr<TTarvo> tarvo;
};

TEST_F(TarvoTest, IdentificationGivesTheCountsAndIsRetriedUntilItSucceeds)
{
    script.Silence(0xF3);
    EXPECT_EQ(tarvo->InputCount(), 0);
    EXPECT_FALSE(tarvo->IsTarvoIdentified());

    script.Answer(0xF3, "TARVO 16/12 USB ;F97;V0573.26.01;T2");
    EXPECT_EQ(tarvo->InputCount(), 16);
    EXPECT_EQ(tarvo->OutputCount(), 12);
    EXPECT_EQ(tarvo->ThermometerCount(), 2);
    EXPECT_EQ(tarvo->CounterCount(), 16);
    TTarvoInfo info;
    ASSERT_TRUE(tarvo->GetInfo(info));
    EXPECT_EQ(info.connectionKind, "USB");
    // Identified once: the counts ask nothing more.
    EXPECT_EQ(Sent(), Bytes({0xF3, 0xF3}));
}

TEST_F(TarvoTest, TheFirstModulesProfileHasEightByEightAndNoCounters)
{
    script.Answer(0xF3, "Tarvo;F97;V0573.26");
    EXPECT_EQ(tarvo->InputCount(), 8);
    EXPECT_EQ(tarvo->OutputCount(), 8);
    EXPECT_TRUE(tarvo->IsLegacyProfile());
    EXPECT_EQ(tarvo->CounterCount(), 0);

    auto other = MakeObject<TTarvo>(kAddress);
    other->SetStack(stack.Get());
    script.Answer(0xF3, "Vantel;F97;V0573.26");
    EXPECT_EQ(other->InputCount(), 0);
    EXPECT_FALSE(other->IsTarvoIdentified());
    other->SetStack(nullptr);
}

TEST_F(TarvoTest, ReadsFireChangesOnlyForWhatChangedSinglesFirst)
{
    TTarvoIOArray states;
    EXPECT_EQ(tarvo->GetRecentInputs(states), 0);
    ASSERT_EQ(tarvo->InputCount(), 8);

    script.Answer(0x31, Bytes({0x02}));
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    EXPECT_EQ(states, TTarvoIOArray({false, true, false, false, false, false, false, false}));
    // Every entry starts unknown, so the first read reports all of them.
    EXPECT_EQ(events.inputs.size(), 9u);
    EXPECT_EQ(events.inputs[1], "1:1>1");
    EXPECT_EQ(events.inputs.back(), "*8");

    events.inputs.clear();
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    EXPECT_TRUE(events.inputs.empty());

    script.Answer(0x31, Bytes({0x11}));
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    EXPECT_EQ(events.inputs, (std::vector<std::string>{"0:0>1", "1:1>0", "4:0>1", "*3"}));
    EXPECT_EQ(tarvo->GetRecentInputs(states), 8);
    EXPECT_EQ(states, TTarvoIOArray({true, false, false, false, true, false, false, false}));
}

TEST_F(TarvoTest, AnAnswerShorterThanTheInputsIsAFailureThatLeavesTheCache)
{
    script.Answer(0xF3, "TARVO 16/8 ETH ;F97;V0573.26.01;T0");
    ASSERT_EQ(tarvo->InputCount(), 16);
    script.Answer(0x31, Bytes({0x00, 0x01}));
    TTarvoIOArray states;
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    ASSERT_EQ(states.size(), 16u);
    EXPECT_TRUE(states[0]);

    events.inputs.clear();
    script.Answer(0x31, Bytes({0x00}));
    EXPECT_FALSE(tarvo->GetInputs(states, true));
    bool first = false;
    EXPECT_FALSE(tarvo->GetInput(9, first));
    EXPECT_TRUE(tarvo->GetRecentInput(1, first));
    EXPECT_TRUE(first);
    EXPECT_TRUE(events.inputs.empty());
    // A short automatic message is dropped as well.
    Deliver(13, Bytes({0x00}));
    EXPECT_TRUE(tarvo->GetRecentInput(1, first));
    EXPECT_TRUE(first);
}

TEST_F(TarvoTest, GrowingTheCacheLeavesTheKnownEntriesKnown)
{
    // Not identified: the cache follows the answers.
    script.Silence(0xF3);
    script.Answer(0x31, Bytes({0x01}));
    TTarvoIOArray states;
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    events.inputs.clear();
    script.Answer(0x31, Bytes({0x80, 0x01}));
    ASSERT_TRUE(tarvo->GetInputs(states, true));
    EXPECT_EQ(states.size(), 16u);
    // Only the eight new entries were unknown.
    ASSERT_EQ(events.inputs.size(), 9u);
    EXPECT_EQ(events.inputs[0], "8:0>0");
    EXPECT_EQ(events.inputs[7], "15:1>1");
}

TEST_F(TarvoTest, AnInputsMessageUpdatesTheCacheAndOtherMessagesDoNot)
{
    ASSERT_EQ(tarvo->InputCount(), 8);
    Deliver(13, Bytes({0x00}));
    events.inputs.clear();
    Deliver(13, Bytes({0x04}));
    EXPECT_EQ(events.inputs, (std::vector<std::string>{"2:0>1", "*1"}));
    Deliver(12, Bytes({0xFF}));
    Deliver(14, Bytes({0xFF}));
    bool state = true;
    EXPECT_TRUE(tarvo->GetRecentInput(1, state));
    EXPECT_FALSE(state);
    EXPECT_EQ(events.inputs.size(), 2u);
    EXPECT_TRUE(events.outputs.empty());
    EXPECT_EQ(Sent(), Bytes({0xF3}));
}

// Reads a Tarvo's input cache on a thread of its own, on request, as a host window would.
// The thread is started before any event fires: starting threads under the loader can take
// seconds on a loaded machine, which is not what the test is about.
class TOtherThreadReader {
public:
    explicit TOtherThreadReader(TIntfPtr<TTarvo> tarvo)
        : state(std::make_shared<TState>()), thread([state = state, tarvo] { Serve(*state, *tarvo); })
    {
    }
    // Joins the thread, unless a read never ended: then it is left to its fate.
    ~TOtherThreadReader()
    {
        bool stuck = false;
        {
            const std::lock_guard lock(state->mutex);
            state->stopping = true;
            stuck = everRead && !state->result.has_value();
            state->changed.notify_all();
        }
        if (stuck)
            thread.detach();
        else
            thread.join();
    }

    // The number of inputs read, or -1 when the read did not end within the time-out.
    int Read(std::chrono::seconds timeOut)
    {
        everRead = true;
        std::unique_lock lock(state->mutex);
        state->result.reset();
        state->requested = true;
        state->changed.notify_all();
        if (!state->changed.wait_for(lock, timeOut, [&] { return state->result.has_value(); }))
            return -1;
        return *state->result;
    }

private:
    // Shared with the thread, which outlives the reader when a read never ends.
    struct TState {
        std::mutex mutex;
        std::condition_variable changed;
        bool requested = false;
        bool stopping = false;
        std::optional<int> result;
    };

    static void Serve(TState& state, TTarvo& tarvo)
    {
        std::unique_lock lock(state.mutex);
        for (;;) {
            state.changed.wait(lock, [&] { return state.requested || state.stopping; });
            if (!state.requested)
                return;
            state.requested = false;
            lock.unlock();
            TTarvoIOArray states;
            const int read = tarvo.GetRecentInputs(states);
            lock.lock();
            state.result = read;
            state.changed.notify_all();
        }
    }

    std::shared_ptr<TState> state;
    bool everRead = false;
    std::thread thread;
};

TEST_F(TarvoTest, ChangeEventsFireWithTheCacheUnlocked)
{
    ASSERT_EQ(tarvo->InputCount(), 8);
    TOtherThreadReader reader(tarvo);
    int readsInHandler = 0;
    events.duringEvent = [&] {
        // A cache still locked makes the read time out instead of hanging the test.
        if (reader.Read(std::chrono::seconds(20)) == 8)
            ++readsInHandler;
    };
    Deliver(13, Bytes({0x01}));
    // Every entry was already stored when the first handler ran.
    EXPECT_EQ(readsInHandler, 8);
}

TEST_F(TarvoTest, SetOutputConfirmsTheWrittenOutputOnly)
{
    script.Silence(0xF3);
    script.Answer(0x20, "");
    ASSERT_TRUE(tarvo->SetOutput(3, true, true, 0));
    EXPECT_EQ(stack->requests.back().data, Bytes({0x83}));
    EXPECT_EQ(events.outputs, (std::vector<std::string>{"2:1>1", "*1"}));
    bool state = false;
    EXPECT_FALSE(tarvo->GetRecentOutput(1, state));
    EXPECT_TRUE(tarvo->GetRecentOutput(3, state));
    EXPECT_TRUE(state);

    // Within the cache the outputs are read back.
    script.Answer(0x30, Bytes({0x04}));
    ASSERT_TRUE(tarvo->SetOutput(1, false, true, 0));
    EXPECT_EQ(Sent().substr(Sent().size() - 2), Bytes({0x20, 0x30}));

    script.Answer(0x23, "");
    ASSERT_TRUE(tarvo->SetOutput(2, true, true, 300));
    EXPECT_EQ(stack->requests.back().instruction, 0x23);
    EXPECT_EQ(stack->requests.back().data, Bytes({44, 0x82}));
    EXPECT_FALSE(tarvo->SetOutput(128, true, true, 0));
}

TEST_F(TarvoTest, AnAsynchronousOutputReplyUpdatesTheCache)
{
    ASSERT_EQ(tarvo->OutputCount(), 8);
    ASSERT_TRUE(tarvo->SetOutput(5, true, false, 0));
    const TFakeStack::TRequest request = stack->requests.back();
    EXPECT_FALSE(request.synchronous);
    EXPECT_TRUE(events.outputs.empty());
    tarvo->Dispatch(ParseVantel97(BuildVantel97(kAddress, request.signature, 0, {})));
    EXPECT_EQ(events.outputs, (std::vector<std::string>{"4:1>1", "*1"}));

    // A refused one changes nothing.
    ASSERT_TRUE(tarvo->SetOutput(6, true, false, 0));
    tarvo->Dispatch(ParseVantel97(BuildVantel97(kAddress, stack->requests.back().signature, 4, {})));
    bool state = false;
    EXPECT_FALSE(tarvo->GetRecentOutput(6, state));
}

TEST_F(TarvoTest, SetOutputsSendsOneCommandPerOutputAndKeepsThem)
{
    ASSERT_EQ(tarvo->OutputCount(), 8);
    script.Answer(0x20, "");
    ASSERT_TRUE(tarvo->SetOutputs({true, false, false, true, false, false, false, false}, true));
    EXPECT_EQ(stack->requests.back().data, Bytes({0x81, 0x02, 0x03, 0x84, 0x05, 0x06, 0x07, 0x08}));
    TTarvoIOArray states;
    EXPECT_EQ(tarvo->GetRecentOutputs(states), 8);
    EXPECT_TRUE(states[3]);
    EXPECT_FALSE(tarvo->SetOutputs({}, true));
}

TEST_F(TarvoTest, CountersFollowTheInputsUpToSixty)
{
    script.Answer(0xF3, "TARVO 64/8 ETH ;F97;V0573.26.01;T0");
    EXPECT_EQ(tarvo->CounterCount(), 60);

    script.Answer(0x60, Bytes({24, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    uint32_t value = 0;
    ASSERT_TRUE(tarvo->GetCounter(2, value, false));
    EXPECT_EQ(stack->requests.back().data, Bytes({0x02}));
    EXPECT_EQ(value, 0x010203u);
    uint32_t recent = 0;
    EXPECT_TRUE(tarvo->GetRecentCounter(2, recent));
    EXPECT_EQ(recent, 0x010203u);
    ASSERT_TRUE(tarvo->GetCounter(2, value, true));
    EXPECT_EQ(stack->requests.back().data, Bytes({0x82}));
    EXPECT_TRUE(tarvo->GetRecentCounter(2, recent));
    EXPECT_EQ(recent, 0u);
    EXPECT_FALSE(tarvo->GetRecentCounter(1, recent));

    script.Answer(0x60, Bytes({0, 0x01}));
    EXPECT_FALSE(tarvo->GetCounter(1, value, false));
    script.Answer(0x60, Bytes({33, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(tarvo->GetCounter(1, value, false));
}

TEST_F(TarvoTest, AModuleRefusingCountersAsAbsentHasNone)
{
    ASSERT_EQ(tarvo->CounterCount(), 8);
    script.Answer(0x60, "", 4);
    uint32_t value = 0;
    EXPECT_FALSE(tarvo->GetCounter(1, value, false));
    EXPECT_EQ(tarvo->CounterCount(), 8);
    script.Answer(0x60, "", 2);
    EXPECT_FALSE(tarvo->GetCounter(1, value, false));
    EXPECT_EQ(tarvo->CounterCount(), 0);
}

TEST_F(TarvoTest, CounterSettingsAreCodedAndChecked)
{
    const size_t before = stack->requests.size();
    EXPECT_FALSE(tarvo->SetCounterSetting(61, true, false));
    EXPECT_EQ(stack->requests.size(), before);

    script.Answer(0x6A, "");
    ASSERT_TRUE(tarvo->SetCounterSetting(5, true, false));
    EXPECT_EQ(stack->requests.back().data, Bytes({0x85}));

    script.Answer(0x6B, Bytes({0x43, 0x84}));
    bool a = true;
    bool b = false;
    ASSERT_TRUE(tarvo->GetCounterSetting(3, a, b));
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_FALSE(tarvo->GetCounterSetting(7, a, b));
}

TEST_F(TarvoTest, RefreshReadsEveryPartAskedForAndTellsWhichFailed)
{
    script.Answer(0x30, Bytes({0x01}));
    script.Answer(0x31, Bytes({0x02}));
    script.Answer(0x60, Bytes({8, 1, 2, 3, 4, 5, 6, 7, 8}));
    bool outputs = true;
    bool inputs = true;
    bool settings = true;
    bool counters = true;
    EXPECT_FALSE(tarvo->RefreshStatesEx(outputs, inputs, settings, counters));
    EXPECT_TRUE(outputs);
    EXPECT_TRUE(inputs);
    EXPECT_TRUE(counters);
    EXPECT_FALSE(settings);
    EXPECT_EQ(Sent(), Bytes({0xF3, 0x30, 0x31, 0x60, 0x6B}));
    uint32_t value = 0;
    EXPECT_TRUE(tarvo->GetRecentCounter(8, value));
    EXPECT_EQ(value, 8u);

    script.Answer(0x6B, Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88}));
    EXPECT_TRUE(tarvo->RefreshStates(false, false, false, true));
    bool a = false;
    bool b = true;
    EXPECT_TRUE(tarvo->GetRecentCounterSetting(8, a, b));
    EXPECT_TRUE(a);
    EXPECT_FALSE(b);
}

TEST_F(TarvoTest, AutomaticNotificationIsCached)
{
    script.Answer(0x11, "a");
    EXPECT_EQ(tarvo->GetAutoNotifyCached(), 1);
    EXPECT_EQ(tarvo->GetAutoNotifyCached(), 1);
    EXPECT_EQ(Sent(), Bytes({0x11}));
    script.Answer(0x10, "");
    EXPECT_TRUE(tarvo->SetAutoNotifyCached(0));
    EXPECT_EQ(stack->requests.back().data, Bytes({0}));
    EXPECT_EQ(tarvo->GetAutoNotifyCached(), 0);
    script.Answer(0x11, "ab");
    bool on = false;
    EXPECT_FALSE(tarvo->GetAutoNotify(on));
}

TEST_F(TarvoTest, AnswersOfTheWrongLengthAreFailures)
{
    script.Answer(0x71, Bytes({1, 77}));
    uint8_t pwm = 0;
    ASSERT_TRUE(tarvo->GetOutputPWM(1, pwm));
    EXPECT_EQ(pwm, 77);
    script.Answer(0x71, Bytes({77}));
    EXPECT_FALSE(tarvo->GetOutputPWM(1, pwm));

    script.Answer(0x62, Bytes({0x12, 0x34}));
    uint16_t pulses = 0;
    ASSERT_TRUE(tarvo->GetInputPPS(4, 9, pulses));
    EXPECT_EQ(stack->requests.back().data, Bytes({4, 9}));
    EXPECT_EQ(pulses, 0x1234);
    script.Answer(0x62, Bytes({0x12, 0x34, 0x56}));
    EXPECT_FALSE(tarvo->GetInputPPS(4, 9, pulses));
    EXPECT_EQ(pulses, 0);

    script.Answer(0x51, Bytes({0, 0xFF, 0x9C}));
    double degrees = 0;
    ASSERT_TRUE(tarvo->GetTemperature(0, degrees));
    EXPECT_DOUBLE_EQ(degrees, -10.0);
    script.Answer(0x51, Bytes({0, 0xFF}));
    EXPECT_FALSE(tarvo->GetTemperature(0, degrees));
}

TEST_F(TarvoTest, ThermostatSettingsAreAskedInGroupsWhenAllAtOnceIsTooLong)
{
    script.Answer(0xF3, "TARVO 8/20 ETH ;F97;V0573.26.01;T0");
    std::vector<std::string> groups;
    stack->SetAnswerer([&](const TFakeStack::TRequest& request) {
        if (request.instruction == 0xF3)
            return BuildVantel97(request.address, request.signature, 0, script.answers[0xF3].second);
        if (request.data.empty())
            return BuildVantel97(request.address, request.signature, 3, {});
        groups.push_back(request.data);
        std::string answer;
        for (const char channel : request.data)
            answer += std::string(1, channel) + std::string(7, '\x02');
        return BuildVantel97(request.address, request.signature, 0, answer);
    });
    AInteger channels;
    ATarvoThermostatSettings settings;
    ASSERT_TRUE(tarvo->GetThermostatSettings(channels, settings));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].size(), 12u);
    EXPECT_EQ(groups[1].size(), 8u);
    ASSERT_EQ(channels.size(), 20u);
    EXPECT_EQ(channels[19], 19);
    EXPECT_EQ(settings[0].mode, 0);
    EXPECT_FLOAT_EQ(settings[0].value3, 1.0F);
}

TEST_F(TarvoTest, NamesModesAndValuesTravelInTheirLayouts)
{
    script.Answer(0x2B, "");
    ASSERT_TRUE(tarvo->WriteText2B(2, "Pump", 3));
    EXPECT_EQ(stack->requests.back().data, std::string("\x02" "3Pump") + std::string(16, '\0'));
    script.Answer(0x3B, std::string("3Pump") + std::string(16, '\0'));
    std::string name;
    int number = 0;
    ASSERT_TRUE(tarvo->ReadText3B(2, name, number));
    EXPECT_EQ(name, "Pump");
    EXPECT_EQ(number, 3);

    script.Answer(0x38, Bytes({0xA5}));
    TTarvoMode mode;
    ASSERT_TRUE(tarvo->ReadMode38(0, mode));
    EXPECT_EQ(mode, (TTarvoMode{1, 1, 2, 1}));

    script.Answer(0x36, Bytes({7, 45, 8, 3}));
    ASingle values;
    ASSERT_TRUE(tarvo->ReadValues36(values));
    EXPECT_EQ(values, (ASingle{22.5F, 1.5F}));
    script.Answer(0x26, "");
    ASSERT_TRUE(tarvo->WriteValue26(1, 2, 200.0F));
    EXPECT_EQ(stack->requests.back().data, Bytes({1, 2, 255}));
}

} // namespace
