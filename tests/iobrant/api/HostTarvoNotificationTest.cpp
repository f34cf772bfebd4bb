// Iobrant's notifications as a host receives them, by callback and by window message, from
// the module simulator's automatic messages and the link's opening and closing; the last
// error shared with Conduvex.
#include "iobrant/api/IobrantHost.h"
#include "iobrant/api/PinnedIobrant.h"
#include "support/RecordingWindow.h"
#include "support/SerialPeer.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A COM number no other test program links.
constexpr int kComPort = 42;
constexpr UINT kHostMessage = WM_APP + 5;
constexpr DWORD kNotificationWaitMs = 3000;

struct THeard {
    std::string road;
    uint32_t handle;
    uint32_t kind;
    uint32_t data;
    friend bool operator==(const THeard&, const THeard&) = default;
};

std::vector<THeard>& Heard()
{
    static std::vector<THeard> heard;
    return heard;
}

void Q_CALL HearCallBack(uint32_t handle, uint32_t kind, uint32_t data, uint32_t)
{
    Heard().push_back({"callback", handle, kind & 0xFFFF, data & 0xFFFF});
}

// The window road, read from a recording window.
std::vector<THeard> Messages(const TRecordingWindow& window)
{
    std::vector<THeard> messages;
    for (const TRecordedMessage& message : window.Received()) {
        if (message.message == kHostMessage)
            messages.push_back({"message", static_cast<uint32_t>(message.wParam),
                                static_cast<uint32_t>(LOWORD(message.lParam)),
                                static_cast<uint32_t>(HIWORD(message.lParam))});
    }
    return messages;
}

bool HeardKind(uint32_t kind)
{
    for (const THeard& heard : Heard()) {
        if (heard.kind == kind)
            return true;
    }
    return false;
}

// How many messages a window had got each time the callback ran.
struct TWindowWatch {
    const TRecordingWindow* window;
    std::vector<size_t> messagesSeen;

    static void Q_CALL OnNotify(uint32_t, uint32_t, uint32_t, uint32_t userData)
    {
        auto* self = reinterpret_cast<TWindowWatch*>(static_cast<uintptr_t>(userData));
        self->messagesSeen.push_back(Messages(*self->window).size());
    }
};

class HostTarvoNotifications : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        conduvex = std::make_unique<TConduvexLibrary>();
        simulator = std::make_unique<TModuleSimulator>(kComPort, "--address 3 --inputs 8 --outputs 8");
    }

    static void TearDownTestSuite()
    {
        simulator.reset();
        conduvex.reset();
    }

    void SetUp() override
    {
        ASSERT_EQ(simulator->Failure(), "");
        ASSERT_TRUE(iobrant->Complete());
        ASSERT_EQ(simulator->Command("set-inputs 00000000"), "OK");
        Heard().clear();
    }

    void TearDown() override
    {
        if (handle != 0) {
            EXPECT_EQ(iobrant->qReleaseTarvo(handle), 0u);
        }
    }

    // A Tarvo object on its own link, open, with automatic messages on and every input
    // known; the notifications of reading them are dropped.
    void Create(int32_t kind)
    {
        handle = iobrant->qCreateTarvoEx(simulator->ConnectionString().c_str(), "ADDR=3", kind);
        ASSERT_NE(handle, 0u) << iobrant->ErrorText();
        ASSERT_EQ(iobrant->qOpen(handle), 0u) << iobrant->ErrorText();
        ASSERT_EQ(iobrant->qRegisterCallBackNotifications(handle, &HearCallBack, 0), 0u);
        ASSERT_EQ(iobrant->qSetAutoNotify(handle, 1), 0u);
        uint8_t states[8];
        int32_t count = 8;
        ASSERT_EQ(iobrant->qGetInputs(handle, states, &count), 0u);
        ASSERT_EQ(iobrant->qGetOutputs(handle, states, &count), 0u);
        PumpMessagesFor(50);
        Heard().clear();
        ASSERT_EQ(simulator->Command("log clear"), "OK");
    }

    static std::unique_ptr<TConduvexLibrary> conduvex;
    static std::unique_ptr<TModuleSimulator> simulator;
    std::unique_ptr<TIobrantLibrary> iobrant = std::make_unique<TIobrantLibrary>();
    Q_HANDLE handle = 0;
};

std::unique_ptr<TConduvexLibrary> HostTarvoNotifications::conduvex;
std::unique_ptr<TModuleSimulator> HostTarvoNotifications::simulator;

TEST_F(HostTarvoNotifications, AnAutomaticMessageReachesTheCallbackAndTheRecentStatesWithNoTraffic)
{
    Create(Q_KIND_CALLBACK);
    ASSERT_EQ(simulator->Command("set-input 2 1"), "OK");
    ASSERT_TRUE(PumpMessagesUntil([] { return HeardKind(Q_NOTIFY_INPUTS_CHANGED); }, kNotificationWaitMs));
    EXPECT_EQ(Heard(), (std::vector<THeard>{{"callback", handle, Q_NOTIFY_INPUT_CHANGED, 0x0201},
                                            {"callback", handle, Q_NOTIFY_INPUTS_CHANGED, 0}}));

    Q_BOOL state = 0;
    ASSERT_EQ(iobrant->qGetRecentInputByIndex(handle, 1, &state), 0u);
    EXPECT_EQ(state, Q_TRUE);
    uint8_t states[8];
    int32_t count = 8;
    ASSERT_EQ(iobrant->qGetRecentInputsState(handle, states, &count), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(states), 8), std::string("\0\1\0\0\0\0\0\0", 8));
    EXPECT_EQ(simulator->Command("log"), "OK");
}

TEST_F(HostTarvoNotifications, TheWindowRoadDeliversCallbackFirstThenTheSentMessage)
{
    Create(Q_KIND_MESSAGE);
    TRecordingWindow window;
    ASSERT_EQ(iobrant->qRegisterMsgNotifications(handle, window.Handle(), kHostMessage, 0), 0u);
    ASSERT_EQ(simulator->Command("set-inputs 00101000"), "OK");
    ASSERT_TRUE(PumpMessagesUntil([&] { return Messages(window).size() >= 3; }, kNotificationWaitMs));
    const std::vector<THeard> expected{{"message", handle, Q_NOTIFY_INPUT_CHANGED, 0x0202},
                                       {"message", handle, Q_NOTIFY_INPUT_CHANGED, 0x0204},
                                       {"message", handle, Q_NOTIFY_INPUTS_CHANGED, 0}};
    EXPECT_EQ(Messages(window), expected);
    ASSERT_EQ(Heard().size(), 3u);
    EXPECT_EQ(Heard()[0].kind, Q_NOTIFY_INPUT_CHANGED);

    // The message is sent after the callback: when the callback runs, the window has not
    // got the message of that notification yet.
    const size_t before = Messages(window).size();
    TWindowWatch watch{&window, {}};
    ASSERT_EQ(iobrant->qRegisterCallBackNotifications(handle, &TWindowWatch::OnNotify,
                                                       static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&watch))),
              0u);
    ASSERT_EQ(iobrant->qSetOutput(handle, 1, 1), 0u);
    EXPECT_EQ(watch.messagesSeen, (std::vector<size_t>{before, before + 1}));
    const std::vector<THeard> all = Messages(window);
    const std::vector<THeard> outputs(all.begin() + static_cast<ptrdiff_t>(before), all.end());
    EXPECT_EQ(outputs, (std::vector<THeard>{{"message", handle, Q_NOTIFY_OUTPUT_CHANGED, 0x0201},
                                            {"message", handle, Q_NOTIFY_OUTPUTS_CHANGED, 0}}));
}

TEST_F(HostTarvoNotifications, ClosingAndOpeningTheLinkAreNotified)
{
    Create(Q_KIND_MESSAGE);
    ASSERT_EQ(iobrant->qClose(handle), 0u);
    ASSERT_TRUE(PumpMessagesUntil([] { return HeardKind(Q_NOTIFY_LINK_CLOSED); }, kNotificationWaitMs));
    ASSERT_EQ(iobrant->qOpen(handle), 0u);
    ASSERT_TRUE(PumpMessagesUntil([] { return HeardKind(Q_NOTIFY_LINK_OPENED); }, kNotificationWaitMs));
    EXPECT_EQ(Heard(), (std::vector<THeard>{{"callback", handle, Q_NOTIFY_LINK_CLOSED, 0},
                                            {"callback", handle, Q_NOTIFY_LINK_OPENED, 0}}));
    ASSERT_EQ(iobrant->qUnregisterCallBackNotifications(handle), 0u);
    ASSERT_EQ(iobrant->qClose(handle), 0u);
    PumpMessagesFor(100);
    EXPECT_EQ(Heard().size(), 2u);
}

TEST_F(HostTarvoNotifications, BothLibrariesShareOneLastError)
{
    ASSERT_EQ(iobrant->SetLastError(0x20000011, "seen from both"), 0x20000011u);
    EXPECT_EQ(conduvex->LastError(), 0x20000011u);
    EXPECT_EQ(conduvex->ErrorText(), "seen from both");
    conduvex->SetLastError(0x20000007, nullptr);
    EXPECT_EQ(iobrant->LastError(), 0x20000007u);
    EXPECT_EQ(iobrant->ErrorText(), "Index out of band.");
    EXPECT_EQ(iobrant->qHandlesCount(), 0);
    EXPECT_EQ(iobrant->LastError(), 0u);
    EXPECT_EQ(iobrant->ciHandleByIndex(conduvex->ciHandlesCount()), 0u);
    EXPECT_EQ(conduvex->LastError(), 0x20000007u);
}

} // namespace
