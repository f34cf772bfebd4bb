// Iobrant on TCP and UDP links, as a host uses it, against the module simulator on
// 127.0.0.1: the same calls over either socket kind. Socket links report through a window
// of the thread that opened them, so every wait here runs this thread's messages.
#include "iobrant/api/HostTarvoSuite.h"
#include "iobrant/api/IobrantHost.h"
#include "support/SerialPeer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr DWORD kNotificationWaitMs = 5000;

enum class TSocketKind { Tcp, Udp };

std::string States(const uint8_t* states, int32_t count)
{
    std::string text;
    for (int32_t i = 0; i < count; ++i)
        text += states[i] ? '1' : '0';
    return text;
}

class HostTarvoOverSockets : public THostTarvoSuite<HostTarvoOverSockets, ::testing::TestWithParam<TSocketKind>> {
public:
    static std::unique_ptr<TModuleSimulator> StartSimulator()
    {
        return std::make_unique<TModuleSimulator>(TModuleSimulator::kSockets,
                                                  "--address 3 --inputs 8 --outputs 8 --thermometers 2");
    }

protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(OpenTarvo(ConnectionString(), "set-inputs 00000000")); }

    void TearDown() override
    {
        if (handle != 0) {
            // The module keeps the setting; the next test starts without its messages.
            EXPECT_EQ(iobrant.qSetAutoNotify(handle, 0), 0u);
        }
        THostTarvoSuite::TearDown();
    }

    static std::string ConnectionString()
    {
        return GetParam() == TSocketKind::Tcp ? simulator->TcpConnectionString() : simulator->UdpConnectionString();
    }

    std::string RecentInputs()
    {
        uint8_t states[8] = {};
        int32_t count = 8;
        if (iobrant.qGetRecentInputsState(handle, states, &count) != 0)
            return "unknown";
        return States(states, count);
    }
};

TEST_P(HostTarvoOverSockets, TheLinkIsTheOneAskedFor)
{
    Q_BOOL opened = Q_FALSE;
    ASSERT_EQ(iobrant.qIsOpened(handle, &opened), 0u);
    EXPECT_EQ(opened, Q_TRUE);
    const CI_HANDLE link = iobrant.qGetTarvoCIHandle(handle);
    ASSERT_NE(link, 0u);
    const auto ciGetConfig = ExportOf<PFN_ciGetConfig>(conduvex->library, "ciGetConfig");
    char text[128] = {};
    int32_t length = sizeof(text);
    ASSERT_EQ(ciGetConfig(link, text, &length), 0u);
    // A UDP link prints its settings without the provider.
    const std::string expected = GetParam() == TSocketKind::Tcp
                                     ? ConnectionString()
                                     : "Host=127.0.0.1;Port=" + std::to_string(simulator->UdpPort());
    EXPECT_EQ(std::string(text), expected);

    char info[64] = {};
    length = sizeof(info);
    ASSERT_EQ(iobrant.qInfo(handle, info, &length), 0u) << iobrant.ErrorText();
    EXPECT_STREQ(info, "TARVO 8/8 ETH ;F97;V0573.26.01;T2");
}

TEST_P(HostTarvoOverSockets, InputsOutputsAndTemperatureReachTheModule)
{
    ASSERT_EQ(simulator->Command("set-inputs 10100001"), "OK");
    uint8_t states[8] = {};
    int32_t count = 8;
    ASSERT_EQ(iobrant.qGetInputs(handle, states, &count), 0u) << iobrant.ErrorText();
    EXPECT_EQ(States(states, count), "10100001");

    ASSERT_EQ(iobrant.qSetOutput(handle, 1, 1), 0u) << iobrant.ErrorText();
    ASSERT_EQ(iobrant.qSetOutput(handle, 6, 1), 0u) << iobrant.ErrorText();
    EXPECT_EQ(simulator->Command("get-outputs"), "OK 01000010");
    ASSERT_EQ(iobrant.qSetOutput(handle, 1, 0), 0u) << iobrant.ErrorText();
    EXPECT_EQ(simulator->Command("get-outputs"), "OK 00000010");

    ASSERT_EQ(simulator->Command("set-temperature -4.5 1"), "OK");
    int32_t tenths = 0;
    ASSERT_EQ(iobrant.qGetTemperature(handle, 1, &tenths), 0u) << iobrant.ErrorText();
    EXPECT_EQ(tenths, -45);
}

TEST_P(HostTarvoOverSockets, AnAutomaticMessageChangesTheRecentInputs)
{
    ASSERT_EQ(iobrant.qSetAutoNotify(handle, 1), 0u) << iobrant.ErrorText();
    uint8_t states[8] = {};
    int32_t count = 8;
    ASSERT_EQ(iobrant.qGetInputs(handle, states, &count), 0u) << iobrant.ErrorText();
    EXPECT_EQ(RecentInputs(), "00000000");
    ASSERT_EQ(simulator->Command("log clear"), "OK");

    ASSERT_EQ(simulator->Command("set-input 3 1"), "OK");
    EXPECT_TRUE(PumpMessagesUntil([&] { return RecentInputs() == "00100000"; }, kNotificationWaitMs))
        << RecentInputs();
    // Known from the module's own message: nothing was asked.
    EXPECT_EQ(simulator->Command("log"), "OK");
}

INSTANTIATE_TEST_SUITE_P(, HostTarvoOverSockets, ::testing::Values(TSocketKind::Tcp, TSocketKind::Udp),
                         [](const auto& info) { return info.param == TSocketKind::Tcp ? "Tcp" : "Udp"; });

} // namespace
