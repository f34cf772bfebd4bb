// Measures, in one run against the module simulator on 127.0.0.1:
// - ciSndGetVantel97 round trips per second over a TCP link and the processor time this
//   process spends per exchange;
// - the same request and answer with a plain blocking WinSock client in this process, as
//   the floor a socket link cannot beat, and the ratio of the two; also with the plain
//   client in the link's loop, which runs the host's messages after each exchange;
// - ciSndGet over the same TCP link, which ends at the quiet gap after the answer: the share
//   of its wall time the calling thread spends on the processor while it waits;
// - the processor time an open, idle UDP link costs per second.
// Each figure is printed with the goal it is held against.
// The simulator runs in a process of its own, so this process's processor time is the
// library's (or the plain client's) plus a negligible loop around the calls.
//
//   SocketBench.exe [seconds per measurement]      (run under Wine with WINEPREFIX set)
#include "support/ModuleSimulator.h"
#include "BenchSupport.h"
#include "conduvex.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr double kDefaultSeconds = 3.0;
constexpr uint8_t kAddress = 1;
constexpr uint32_t kTimeoutMs = 1000;
// "*a", length (2), address, signature, code: the bytes before the data.
constexpr size_t kFrameHead = 7;
// Checksum and CR after the data.
constexpr size_t kFrameTail = 2;
constexpr int kPlainExchanges = 10;

// The goals: the link's share of the plain client's rate, ciSndGet's processor share of its
// wall time, an idle UDP link's processor time per second.
constexpr double kRateShareGoal = 2.0 / 3.0;
constexpr double kWaitCpuShareGoal = 0.10;
constexpr double kIdleUdpGoalMs = 5.0;

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// A blocking WinSock connection to the simulator's TCP port.
class TPlainClient {
public:
    explicit TPlainClient(int port)
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = inet_addr("127.0.0.1");
        BOOL noDelay = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        connected_ = connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~TPlainClient()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        if (started_)
            WSACleanup();
    }
    TPlainClient(const TPlainClient&) = delete;
    TPlainClient& operator=(const TPlainClient&) = delete;

    bool Connected() const { return connected_; }

    // Sends the request and reads one whole answer frame.
    bool Exchange(const std::string& request)
    {
        if (send(socket_, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size()))
            return false;
        char answer[300];
        size_t have = 0;
        size_t need = kFrameHead;
        while (have < need) {
            const int count = recv(socket_, answer + have, static_cast<int>(sizeof answer - have), 0);
            if (count <= 0)
                return false;
            have += static_cast<size_t>(count);
            if (have >= 4)
                need = (static_cast<uint8_t>(answer[2]) << 8 | static_cast<uint8_t>(answer[3])) - 5 + kFrameHead +
                       kFrameTail;
        }
        return have == need && answer[0] == '*';
    }

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    bool connected_ = false;
};

struct TConduvex {
    HMODULE dll = LoadLibraryA("Conduvex.dll");
    PFN_ciCreate ciCreate = Bind<PFN_ciCreate>(dll, "ciCreate");
    PFN_ciOpen ciOpen = Bind<PFN_ciOpen>(dll, "ciOpen");
    PFN_ciRelease ciRelease = Bind<PFN_ciRelease>(dll, "ciRelease");
    PFN_ciSndGetVantel97 ciSndGetVantel97 = Bind<PFN_ciSndGetVantel97>(dll, "ciSndGetVantel97");
    PFN_ciSndGet ciSndGet = Bind<PFN_ciSndGet>(dll, "ciSndGet");
    PFN_ciRead ciRead = Bind<PFN_ciRead>(dll, "ciRead");

    bool Complete() const { return ciCreate && ciOpen && ciRelease && ciSndGetVantel97 && ciSndGet && ciRead; }

    CI_HANDLE OpenLink(const std::string& connectionString) const
    {
        const CI_HANDLE link = ciCreate(connectionString.c_str());
        if (link != 0 && ciOpen(link) != CI_OK) {
            ciRelease(link);
            return 0;
        }
        return link;
    }
};

TRate MeasureLink(const TConduvex& ci, CI_HANDLE link, double seconds)
{
    const std::string request = ReadInputsFrame(kAddress);
    return Measure(seconds, [&] {
        const bool taken = SendAndReadAnswer(ci.ciSndGetVantel97, ci.ciRead, link, request, kTimeoutMs);
        PumpMessages(); // As a host's message loop would between calls.
        return taken;
    });
}

double ThreadCpuMs()
{
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user))
        return 0;
    return CpuMs(kernel, user);
}

struct TWaitCost {
    double msPerExchange = 0;
    double cpuShare = 0;
};

// ciSndGet exchanges, each ending at the quiet gap after the answer: wall time per exchange
// and the calling thread's processor time as a share of it; zeros when one failed.
TWaitCost MeasurePlainExchange(const TConduvex& ci, CI_HANDLE link)
{
    const std::string request = ReadInputsFrame(kAddress);
    const double cpuStart = ThreadCpuMs();
    const double start = NowMs();
    for (int i = 0; i < kPlainExchanges; ++i) {
        int32_t answerLength = 0;
        if (ci.ciSndGet(link, reinterpret_cast<const uint8_t*>(request.data()),
                        static_cast<int32_t>(request.size()), &answerLength, kTimeoutMs) != CI_OK ||
            answerLength == 0)
            return {};
        PumpMessages();
    }
    const double wall = NowMs() - start;
    return {wall / kPlainExchanges, (ThreadCpuMs() - cpuStart) / wall};
}

const char* Verdict(bool met)
{
    return met ? "met" : "NOT met";
}

// Processor time per second of this process while it only waits (and runs its messages).
double IdleCpuMsPerSecond(double seconds)
{
    const double cpuStart = ProcessCpuMs();
    const double start = NowMs();
    while (NowMs() - start < seconds * 1000.0) {
        PumpMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return (ProcessCpuMs() - cpuStart) * 1000.0 / (NowMs() - start);
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : kDefaultSeconds;
    TModuleSimulator simulator(TModuleSimulator::kSockets, "--address 1 --inputs 16 --outputs 8");
    if (!simulator.Failure().empty()) {
        std::printf("module simulator: %s\n", simulator.Failure().c_str());
        return 1;
    }
    const TConduvex ci;
    if (!ci.Complete()) {
        std::printf("Conduvex.dll is missing or lacks an export\n");
        return 1;
    }

    const CI_HANDLE tcp = ci.OpenLink(simulator.TcpConnectionString());
    if (tcp == 0) {
        std::printf("cannot open %s\n", simulator.TcpConnectionString().c_str());
        return 1;
    }
    const TRate link = MeasureLink(ci, tcp, seconds);
    const TWaitCost plainExchange = MeasurePlainExchange(ci, tcp);
    ci.ciRelease(tcp);

    TPlainClient client(simulator.TcpPort());
    const std::string request = ReadInputsFrame(kAddress);
    const TRate plain = client.Connected() ? Measure(seconds, [&] { return client.Exchange(request); }) : TRate{};
    // The link's loop runs the host's messages after each exchange, which costs a call into
    // the system even when none wait: the same loop around the plain client shows the
    // exchange alone.
    const auto plainInLoop = [&] {
        const bool taken = client.Exchange(request);
        PumpMessages();
        return taken;
    };
    const TRate plainLooped = client.Connected() ? Measure(seconds, plainInLoop) : TRate{};

    const double baseline = IdleCpuMsPerSecond(seconds);
    const CI_HANDLE udp = ci.OpenLink(simulator.UdpConnectionString());
    const double withUdp = udp != 0 ? IdleCpuMsPerSecond(seconds) : 0;
    if (udp != 0)
        ci.ciRelease(udp);

    std::printf("Module simulator on 127.0.0.1 (TCP %d, UDP %d), request 0x31, answer of 11 bytes\n",
                simulator.TcpPort(), simulator.UdpPort());
    std::printf("ciSndGetVantel97 + ciRead over TCP: %8.1f exchanges/s, %.3f ms each, CPU %.3f ms per exchange\n",
                link.callsPerSecond, link.callsPerSecond > 0 ? 1000.0 / link.callsPerSecond : 0.0,
                link.cpuMsPerCall);
    std::printf("plain blocking WinSock client:      %8.1f exchanges/s, %.3f ms each, CPU %.3f ms per exchange\n",
                plain.callsPerSecond, plain.callsPerSecond > 0 ? 1000.0 / plain.callsPerSecond : 0.0,
                plain.cpuMsPerCall);
    if (link.callsPerSecond > 0 && plain.callsPerSecond > 0) {
        std::printf("Ratio (plain / link): %.2f in rate, %.2f in CPU per exchange\n",
                    plain.callsPerSecond / link.callsPerSecond,
                    plain.cpuMsPerCall > 0 ? link.cpuMsPerCall / plain.cpuMsPerCall : 0.0);
        const double share = link.callsPerSecond / plain.callsPerSecond;
        std::printf("  the link's rate is %.0f%% of the plain client's (goal: at least %.0f%%): %s\n",
                    100.0 * share, 100.0 * kRateShareGoal, Verdict(share >= kRateShareGoal));
    }
    std::printf("plain client, same message loop:    %8.1f exchanges/s, %.3f ms each, CPU %.3f ms per exchange\n",
                plainLooped.callsPerSecond, plainLooped.callsPerSecond > 0 ? 1000.0 / plainLooped.callsPerSecond : 0.0,
                plainLooped.cpuMsPerCall);
    if (link.callsPerSecond > 0 && plainLooped.callsPerSecond > 0)
        std::printf("  the link's rate is %.0f%% of the plain client's in the same message loop\n",
                    100.0 * link.callsPerSecond / plainLooped.callsPerSecond);
    std::printf("ciSndGet over TCP (ends at the quiet gap): %.1f ms each, the calling thread on the "
                "processor %.1f%% of it (goal: under %.0f%%): %s\n",
                plainExchange.msPerExchange, 100.0 * plainExchange.cpuShare, 100.0 * kWaitCpuShareGoal,
                Verdict(plainExchange.msPerExchange > 0 && plainExchange.cpuShare < kWaitCpuShareGoal));
    const double idleUdp = withUdp - baseline;
    std::printf("Idle process: %.1f ms CPU per second; with an open idle UDP link: %.1f ms per second "
                "(the link: %.1f ms per second; goal: under %.0f ms): %s\n",
                baseline, withUdp, idleUdp, kIdleUdpGoalMs, Verdict(udp != 0 && idleUdp < kIdleUdpGoalMs));
    return link.callsPerSecond > 0 && plain.callsPerSecond > 0 && plainExchange.msPerExchange > 0 && udp != 0
               ? 0
               : 1;
}
