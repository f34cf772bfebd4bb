#include "serial/SerialPortInterface.h"

#include "support/ProcessProbe.h"
#include "support/SerialPeer.h"
#include "support/SerialPeers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace serial_peers;

constexpr int kPair = 0;
constexpr int kRoundTrips = 10000;
constexpr size_t kRequestLength = 16;

uint16_t WholeAnswer(const std::string& answer)
{
    return answer.size() >= kRequestLength ? 0 : 1;
}

std::string Request(int number)
{
    char text[kRequestLength + 1];
    std::snprintf(text, sizeof text, "REQ%08d:%04X", number, (number * 7919) & 0xFFFF);
    return std::string(text, kRequestLength);
}

std::vector<DWORD> NewThreads(const std::vector<DWORD>& before)
{
    std::vector<DWORD> added;
    for (const DWORD id : ThreadIdsOfProcess()) {
        if (std::find(before.begin(), before.end(), id) == before.end())
            added.push_back(id);
    }
    return added;
}

// The host's main road: each request written, its echo awaited with the locked exchange;
// nothing may be lost, doubled or late, and the engine must sleep between requests.
TEST(SerialPortSoak, TenThousandRoundTripsWithAnEchoingPeer)
{
    TSerialPeer peer(PeerPort(kPair), LinkPort(kPair));
    ASSERT_TRUE(peer.IsOpen()) << "COM" << PeerPort(kPair) << " is missing: run tools/pty-ports.sh start";
    peer.StartEcho();
    const auto link = MakeObject<TSerialPortInterface>("comport=" + std::to_string(LinkPort(kPair)) +
                                                       ";baudrate=115200");
    const std::vector<DWORD> before = ThreadIdsOfProcess();
    ASSERT_TRUE(link->Open());
    const std::vector<DWORD> engine = NewThreads(before);
    ASSERT_EQ(engine.size(), 2u);
    const auto engineCpuMs = [&] { return ThreadCpuMs(engine[0]) + ThreadCpuMs(engine[1]); };

    const double cpuAtStart = engineCpuMs();
    const DWORD start = GetTickCount();
    for (int number = 0; number < kRoundTrips; ++number) {
        const std::string request = Request(number);
        const std::string answer = link->SendAndReceive(request, 2000, &WholeAnswer);
        ASSERT_EQ(answer, request) << "round trip " << number;
    }
    const DWORD elapsed = GetTickCount() - start;
    const double soakCpu = engineCpuMs() - cpuAtStart;
    std::printf("%d round trips in %lu ms; engine threads used %.0f ms of processor time\n", kRoundTrips,
                elapsed, soakCpu);
    EXPECT_EQ(link->ReadLength(), 0) << "nothing arrives twice";
    EXPECT_LT(soakCpu, elapsed * 0.5) << "the engine threads must not spin";

    const double idleStart = engineCpuMs();
    Sleep(1000);
    EXPECT_LT(engineCpuMs() - idleStart, 50.0) << "the engine threads must be idle between requests";
    EXPECT_EQ(peer.ReadFor(50), "");
}

} // namespace
