// Measures, in one run against the module simulator on 127.0.0.1:
// - ciSndGetVantel97 + ciRead round trips per second over a TCP link and the processor time
//   this process spends per exchange, against the same request and answer with a plain
//   blocking WinSock client in this process, the floor a socket link cannot beat. Both run
//   in the same kind of loop: once calling nothing else, once running the thread's messages
//   after each exchange as a host's message loop does (under Wine that look at the queue
//   also gives up the processor, which costs either side the same). The two take turns in
//   short rounds, so that a change in the machine's load meets both, and the medians of the
//   rounds are compared. The loop without messages also counts what the link left for the
//   host's message loop;
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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kDefaultSeconds = 3.0;
constexpr uint8_t kAddress = 1;
constexpr uint32_t kTimeoutMs = 1000;
// "*a", length (2), address, signature, code: the bytes before the data.
constexpr size_t kFrameHead = 7;
// Checksum and CR after the data.
constexpr size_t kFrameTail = 2;
constexpr int kPlainExchanges = 10;
// The link and the plain client take turns this many times in each kind of loop.
constexpr int kRounds = 6;

// The goals: the link's share of the plain client's rate, ciSndGet's processor share of its
// wall time, an idle UDP link's processor time per second.
constexpr double kRateShareGoal = 2.0 / 3.0;
constexpr double kWaitCpuShareGoal = 0.10;
constexpr double kIdleUdpGoalMs = 5.0;
constexpr double kShortestIdleSeconds = 10.0;
constexpr double kLinkSettleSeconds = 1.0;

// Runs the thread's messages; gives how many there were.
int PumpMessages()
{
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
        ++count;
    }
    return count;
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

// One exchange, optionally followed by a run of the thread's messages.
template <class Exchange>
auto InLoop(Exchange exchange, bool runMessages)
{
    return [exchange, runMessages]() mutable {
        const bool taken = exchange();
        if (runMessages)
            PumpMessages();
        return taken;
    };
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Rounds of one measured kind: per-round rates and processor times, and their medians.
struct TRounds {
    std::vector<double> rates;
    std::vector<double> cpuMs;
    bool failed = false;

    void Add(const TRate& rate)
    {
        failed = failed || rate.callsPerSecond <= 0;
        rates.push_back(rate.callsPerSecond);
        cpuMs.push_back(rate.cpuMsPerCall);
    }
    TRate MedianRate() const
    {
        return failed ? TRate{} : TRate{Median(rates), Median(cpuMs)};
    }
};

struct TComparison {
    TRounds link;
    TRounds plain;
    // Messages found after the link's rounds, per exchange made (loop without messages only).
    double messagesPerExchange = 0;
};

// The link and the plain client take turns, kRounds times for `seconds` each.
template <class LinkExchange, class PlainExchange>
TComparison Compare(LinkExchange linkExchange, PlainExchange plainExchange, bool runMessages, double seconds)
{
    TComparison comparison;
    double exchanges = 0;
    int messages = 0;
    for (int round = 0; round < kRounds; ++round) {
        PumpMessages();
        const TRate link = Measure(seconds, InLoop(linkExchange, runMessages));
        comparison.link.Add(link);
        exchanges += link.callsPerSecond * seconds;
        messages += PumpMessages();
        comparison.plain.Add(Measure(seconds, InLoop(plainExchange, runMessages)));
    }
    comparison.messagesPerExchange = exchanges > 0 ? messages / exchanges : 0;
    return comparison;
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
TWaitCost MeasureQuietGapExchanges(const TConduvex& ci, CI_HANDLE link)
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

void PrintRate(const char* name, const TRate& rate)
{
    std::printf("  %-36s %8.1f exchanges/s, %.3f ms each, CPU %.3f ms per exchange\n", name, rate.callsPerSecond,
                rate.callsPerSecond > 0 ? 1000.0 / rate.callsPerSecond : 0.0, rate.cpuMsPerCall);
}

void PrintRoundRates(const char* name, const TRounds& rounds)
{
    std::printf("%s", name);
    for (const double rate : rounds.rates)
        std::printf(" %.0f", rate);
}

// Prints both medians and the link's share of the plain client's rate; true when the goal is met.
bool PrintComparison(const char* title, const TComparison& comparison)
{
    const TRate link = comparison.link.MedianRate();
    const TRate plain = comparison.plain.MedianRate();
    std::printf("%s\n", title);
    PrintRate("ciSndGetVantel97 + ciRead over TCP:", link);
    PrintRate("plain blocking WinSock client:", plain);
    if (link.callsPerSecond <= 0 || plain.callsPerSecond <= 0)
        return false;
    const double share = link.callsPerSecond / plain.callsPerSecond;
    std::printf("  the link's rate is %.0f%% of the plain client's (goal: at least %.0f%%): %s; rounds:",
                100.0 * share, 100.0 * kRateShareGoal, Verdict(share >= kRateShareGoal));
    PrintRoundRates(" link", comparison.link);
    PrintRoundRates(", plain", comparison.plain);
    std::printf("\n");
    return share >= kRateShareGoal;
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
    TPlainClient client(simulator.TcpPort());
    if (!client.Connected()) {
        std::printf("the plain client cannot connect to port %d\n", simulator.TcpPort());
        return 1;
    }
    const std::string request = ReadInputsFrame(kAddress);
    const auto linkExchange = [&] { return SendAndReadAnswer(ci.ciSndGetVantel97, ci.ciRead, tcp, request, kTimeoutMs); };
    const auto plainExchange = [&] { return client.Exchange(request); };
    const double roundSeconds = seconds / kRounds;
    const TComparison alone = Compare(linkExchange, plainExchange, false, roundSeconds);
    const TComparison looped = Compare(linkExchange, plainExchange, true, roundSeconds);
    const TWaitCost quietGap = MeasureQuietGapExchanges(ci, tcp);
    ci.ciRelease(tcp);

    // The system counts processor time in 10 ms steps: a window of 10 s resolves 1 ms a second.
    const double idleSeconds = std::max(seconds, kShortestIdleSeconds);
    const double baseline = IdleCpuMsPerSecond(idleSeconds);
    const CI_HANDLE udp = ci.OpenLink(simulator.UdpConnectionString());
    // The link's threads finish starting first: what they cost once is not its idle cost.
    if (udp != 0)
        IdleCpuMsPerSecond(kLinkSettleSeconds);
    const double withUdp = udp != 0 ? IdleCpuMsPerSecond(idleSeconds) : 0;
    if (udp != 0)
        ci.ciRelease(udp);

    std::printf("Module simulator on 127.0.0.1 (TCP %d, UDP %d), request 0x31, answer of 11 bytes\n",
                simulator.TcpPort(), simulator.UdpPort());
    std::printf("%d rounds of %.2f s each, the link and the plain client taking turns; medians of the rounds\n",
                kRounds, roundSeconds);
    const bool aloneMet = PrintComparison("Calling nothing else between exchanges:", alone);
    std::printf("  messages the link left for the host's message loop: %.3f per exchange\n", alone.messagesPerExchange);
    const bool loopedMet = PrintComparison("Running the thread's messages after each exchange:", looped);
    std::printf("ciSndGet over TCP (ends at the quiet gap): %.1f ms each, the calling thread on the "
                "processor %.1f%% of it (goal: under %.0f%%): %s\n",
                quietGap.msPerExchange, 100.0 * quietGap.cpuShare, 100.0 * kWaitCpuShareGoal,
                Verdict(quietGap.msPerExchange > 0 && quietGap.cpuShare < kWaitCpuShareGoal));
    const double idleUdp = withUdp - baseline;
    std::printf("Idle process: %.1f ms CPU per second; with an open idle UDP link: %.1f ms per second "
                "(the link: %.1f ms per second; goal: under %.0f ms): %s\n",
                baseline, withUdp, idleUdp, kIdleUdpGoalMs, Verdict(udp != 0 && idleUdp < kIdleUdpGoalMs));
    const bool measured = !alone.link.failed && !alone.plain.failed && !looped.link.failed && !looped.plain.failed;
    std::printf("The link against the plain client: %s\n", Verdict(measured && aloneMet && loopedMet));
    return measured && quietGap.msPerExchange > 0 && udp != 0 ? 0 : 1;
}
