// The handle table of Tarvo objects: notifications 512 to 517 with their data, and the
// release that frees object, stack and link.
#include "iobrant/binding/FakeConduvex.h"
#include "iobrant/vantel/ScriptedLink.h"

#include "tarvo/Tarvo.h"
#include "api/TarvoIntfHandler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

constexpr uint8_t kAddress = 3;

struct TNotification {
    uint32_t handle;
    uint32_t kind;
    uint32_t data;
    friend bool operator==(const TNotification&, const TNotification&) = default;
};

std::vector<TNotification>& Received()
{
    static std::vector<TNotification> received;
    return received;
}

void __stdcall Record(uint32_t handle, uint32_t kind, uint32_t data, uint32_t)
{
    Received().push_back({handle, kind, data});
}

class TWatchedTarvo : public TTarvo {
public:
    TWatchedTarvo(uint8_t address, bool& freed) : TTarvo(address), freed_(freed) {}
    ~TWatchedTarvo() override { freed_ = true; }

private:
    bool& freed_;
};

class TWatchedStack : public TClockedStack {
public:
    TWatchedStack(TTestClock& clock, bool& freed) : TClockedStack(clock), freed_(freed) {}
    ~TWatchedStack() override { freed_ = true; }

private:
    bool& freed_;
};

// A module on a scripted link: every request is answered at once with acknowledge 0 and
// the outputs for 0x30.
class TModuleLink : public TScriptedLink {
public:
    TModuleLink(TTestClock& clock, bool& freed) : TScriptedLink(clock), freed_(freed)
    {
        SetResponder([this](TScriptedLink& link, const std::string& request) {
            const TVantelFormat97 asked = ParseVantel97(request);
            link.Arrive(0, BuildVantel97(asked.address, asked.signature, 0, asked.instruction == 0x30 ? outputs : ""));
        });
    }
    ~TModuleLink() override { freed_ = true; }

    using TCommunicationInterface::DoClose;
    using TCommunicationInterface::DoOpen;

    std::string outputs = std::string(1, '\0');

private:
    bool& freed_;
};

class TarvoIntfHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_conduvex::Install();
        Received().clear();
        link = MakeObject<TModuleLink>(clock, linkFreed);
        stack = MakeObject<TWatchedStack>(clock, stackFreed);
        stack->SetCommInterface(link.Get());
        first = AddTarvo(firstFreed);
        second = AddTarvo(secondFreed);
    }

    uint32_t AddTarvo(bool& freed)
    {
        auto tarvo = MakeObject<TWatchedTarvo>(kAddress, freed);
        stack->AddDevice(tarvo.Get());
        const uint32_t handle = handles.AddTarvo(tarvo.Get());
        handles.RegisterCallBackNotifications(handle, &Record, 0);
        return handle;
    }

    void Deliver(uint32_t handle, uint8_t code, const std::string& data)
    {
        handles.TarvoByHandle(handle)->Dispatch(ParseVantel97(BuildVantel97(kAddress, 0, code, data)));
    }

    TTestClock clock;
    bool linkFreed = false;
    bool stackFreed = false;
    bool firstFreed = false;
    bool secondFreed = false;
    TIntfPtr<TModuleLink> link;
    TIntfPtr<TWatchedStack> stack;
    TTarvoIntfHandler handles;
    uint32_t first = 0;
    uint32_t second = 0;
};

TEST_F(TarvoIntfHandlerTest, OneChangeGivesTheSingleNotificationsFirstThenTheGroup)
{
    Deliver(first, 13, std::string(1, '\0'));
    EXPECT_EQ(Received().size(), 9u);
    Received().clear();

    Deliver(first, 13, std::string(1, '\x12'));
    EXPECT_EQ(Received(), (std::vector<TNotification>{{first, 514, 0x0201}, {first, 514, 0x0204}, {first, 512, 0}}));
}

TEST_F(TarvoIntfHandlerTest, AnOutputSwitchedOnFromOffCarriesNewStateTwo)
{
    const auto tarvo = handles.TarvoByHandle(second);
    ASSERT_TRUE(tarvo->SetOutput(2, false, true, 0));
    Received().clear();
    link->outputs = std::string(1, '\x02');
    ASSERT_TRUE(tarvo->SetOutput(2, true, true, 0));
    EXPECT_EQ(Received(), (std::vector<TNotification>{{second, 515, 0x0201}, {second, 513, 0}}));
    EXPECT_EQ(TarvoChangeData(7, false, true), 0x0107);
}

TEST_F(TarvoIntfHandlerTest, TheLinkOpeningAndClosingReachEveryHandleOnIt)
{
    link->DoClose();
    link->DoOpen();
    EXPECT_EQ(Received(), (std::vector<TNotification>{{first, 517, 0}, {second, 517, 0}, {first, 516, 0}, {second, 516, 0}}));

    handles.UnregisterCallBackNotifications(first);
    Received().clear();
    link->DoClose();
    EXPECT_EQ(Received(), (std::vector<TNotification>{{second, 517, 0}}));
}

// Whether another thread could take the link's exchange lock while a notification ran.
struct TLockProbe {
    static inline ICommunicationInterface* link = nullptr;
    static inline std::vector<bool> lockable;

    static void __stdcall OnNotify(uint32_t, uint32_t kind, uint32_t, uint32_t)
    {
        if (kind != kTarvoNotifyInputsChanged)
            return;
        // Detached, so that a link still locked fails the test instead of hanging it.
        auto locked = std::make_shared<std::promise<void>>();
        std::thread([locked, probed = TIntfPtr<ICommunicationInterface>(link)] {
            probed->Lock();
            probed->Unlock();
            locked->set_value();
        }).detach();
        lockable.push_back(locked->get_future().wait_for(std::chrono::seconds(3)) == std::future_status::ready);
    }
};

TEST_F(TarvoIntfHandlerTest, AMessageThatCameDuringAnExchangeIsAnnouncedWithTheLinkUnlocked)
{
    link->SetResponder([](TScriptedLink& module, const std::string& request) {
        const TVantelFormat97 asked = ParseVantel97(request);
        module.Arrive(0, BuildVantel97(asked.address, 0, 13, std::string(1, '\x01')) +
                             BuildVantel97(asked.address, asked.signature, 0, {}));
    });
    TLockProbe::link = link.Get();
    TLockProbe::lockable.clear();
    handles.RegisterCallBackNotifications(first, &TLockProbe::OnNotify, 0);
    ASSERT_TRUE(handles.TarvoByHandle(first)->Reset());
    EXPECT_EQ(TLockProbe::lockable, std::vector<bool>{true});
}

TEST_F(TarvoIntfHandlerTest, ReleasingTakesTheObjectOffItsStackSoThatAllAreFreed)
{
    EXPECT_FALSE(handles.TarvoByHandle(first + 4));
    EXPECT_TRUE(handles.ReleaseTarvo(first));
    EXPECT_TRUE(firstFreed);
    EXPECT_FALSE(handles.TarvoByHandle(first));
    // The released entry no longer listens to the link.
    link->DoClose();
    EXPECT_EQ(Received(), (std::vector<TNotification>{{second, 517, 0}}));

    stack.Reset();
    link.Reset();
    handles.ReleaseAll();
    EXPECT_TRUE(secondFreed);
    EXPECT_TRUE(stackFreed);
    EXPECT_TRUE(linkFreed);
    EXPECT_EQ(handles.Count(), 0);
}

} // namespace
