// Measures Vantel 97 round trips over a serial link against an echoing peer: exchanges per
// second and the processor time the library spends per exchange. A host's view: the
// library is loaded by name and reached through its exports only.
//
//   LinkBench.exe [exchanges [data bytes [link COM [peer COM]]]]
//
// The peer end of the pty pair echoes from a child process of its own, so that this
// process's processor time is the library's (plus a negligible loop around the calls).
#include "BenchSupport.h"
#include "SerialPeer.h"
#include "WinHandle.h"
#include "conduvex.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kDefaultExchanges = 2000;
constexpr int kDefaultDataBytes = 16;
constexpr int kDefaultLinkPort = 24;
constexpr int kDefaultPeerPort = 25;
constexpr int kPlainExchanges = 20;
constexpr uint32_t kTimeoutMs = 1000;
constexpr DWORD kChildWaitMs = 10000;
constexpr char kEchoSwitch[] = "--echo";

struct TCpuSample {
    double processMs;
    double threadMs;
    double wallMs;
};

TCpuSample Sample()
{
    FILETIME creation, exit, kernel, user;
    TCpuSample sample{};
    if (GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        sample.processMs = CpuMs(kernel, user);
    if (GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user))
        sample.threadMs = CpuMs(kernel, user);
    sample.wallMs = NowMs();
    return sample;
}

std::string EventName(const char* what, DWORD parentId)
{
    return std::string("LinkBench-") + what + "-" + std::to_string(parentId);
}

// Child: echoes on the peer port until the parent says stop.
int RunEcho(int peerPort, int linkPort, DWORD parentId)
{
    TWinHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, EventName("ready", parentId).c_str()));
    TWinHandle stop(OpenEventA(SYNCHRONIZE, FALSE, EventName("stop", parentId).c_str()));
    TSerialPeer peer(peerPort, linkPort);
    if (!ready || !stop || !peer.IsOpen())
        return 1;
    peer.StartEcho();
    SetEvent(ready.Get());
    WaitForSingleObject(stop.Get(), INFINITE);
    peer.StopBackground();
    return 0;
}

class TEchoPeerProcess {
public:
    TEchoPeerProcess(int peerPort, int linkPort)
        : ready_(CreateEventA(nullptr, TRUE, FALSE, EventName("ready", GetCurrentProcessId()).c_str())),
          stop_(CreateEventA(nullptr, TRUE, FALSE, EventName("stop", GetCurrentProcessId()).c_str()))
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::string command = "\"" + std::string(path) + "\" " + kEchoSwitch + " " + std::to_string(peerPort) +
                              " " + std::to_string(linkPort) + " " + std::to_string(GetCurrentProcessId());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            process_.Reset(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    ~TEchoPeerProcess()
    {
        SetEvent(stop_.Get());
        if (process_)
            WaitForSingleObject(process_.Get(), kChildWaitMs);
    }
    TEchoPeerProcess(const TEchoPeerProcess&) = delete;
    TEchoPeerProcess& operator=(const TEchoPeerProcess&) = delete;

    bool WaitReady() const
    {
        const HANDLE handles[] = {ready_.Get(), process_.Get()};
        return process_ && WaitForMultipleObjects(2, handles, FALSE, kChildWaitMs) == WAIT_OBJECT_0;
    }

private:
    TWinHandle ready_;
    TWinHandle stop_;
    TWinHandle process_;
};

// The request the peer echoes: a frame, so the echo is a good answer frame.
std::string Frame(const std::string& data)
{
    return BuildVantel97(1, 2, 3, data);
}

void Report(const char* what, int count, int failures, const TCpuSample& before, const TCpuSample& after)
{
    const double wallMs = after.wallMs - before.wallMs;
    const double processMs = after.processMs - before.processMs;
    const double threadMs = after.threadMs - before.threadMs;
    std::printf("%s: %d exchanges (%d failed) in %.0f ms\n", what, count, failures, wallMs);
    std::printf("  round trips per second:         %.1f\n", count * 1000.0 / wallMs);
    std::printf("  wall time per exchange:         %.3f ms\n", wallMs / count);
    std::printf("  CPU per exchange, whole library: %.3f ms (%.0f%% of the wall time)\n", processMs / count,
                100.0 * processMs / wallMs);
    std::printf("  CPU per exchange, calling thread: %.3f ms\n", threadMs / count);
}

int RunBenchmark(int exchanges, int dataBytes, int linkPort, int peerPort)
{
    const HMODULE library = LoadLibraryA("Conduvex.dll");
    if (!library) {
        std::printf("Conduvex.dll not found beside the program\n");
        return 1;
    }
    const auto create = Bind<PFN_ciCreate>(library, "ciCreate");
    const auto release = Bind<PFN_ciRelease>(library, "ciRelease");
    const auto sndGetVantel = Bind<PFN_ciSndGetVantel97>(library, "ciSndGetVantel97");
    const auto sndGet = Bind<PFN_ciSndGet>(library, "ciSndGet");
    const auto clear = Bind<PFN_ciClearReadBuffer>(library, "ciClearReadBuffer");

    TEchoPeerProcess peer(peerPort, linkPort);
    if (!peer.WaitReady()) {
        std::printf("the echoing peer on COM%d did not start (run tools/pty-ports.sh first)\n", peerPort);
        return 1;
    }
    const std::string text = "provider=COM;comport=" + std::to_string(linkPort) + ";baudrate=115200;active=1";
    const CI_HANDLE handle = create(text.c_str());
    const std::string request = Frame(std::string(static_cast<size_t>(dataBytes), 'x'));
    const auto* bytes = reinterpret_cast<const uint8_t*>(request.data());
    const auto size = static_cast<int32_t>(request.size());
    int32_t answer = 0;
    if (!handle || sndGetVantel(handle, bytes, size, &answer, kTimeoutMs) != 0 || answer != size) {
        std::printf("no echo over COM%d\n", linkPort);
        return 1;
    }
    std::printf("ciSndGetVantel97 of a %d-byte frame over COM%d at 115200 baud, echoed by COM%d\n", size,
                linkPort, peerPort);

    int failures = 0;
    TCpuSample before = Sample();
    for (int i = 0; i < exchanges; ++i) {
        clear(handle);
        if (sndGetVantel(handle, bytes, size, &answer, kTimeoutMs) != 0 || answer != size)
            ++failures;
    }
    Report("ciSndGetVantel97", exchanges, failures, before, Sample());

    failures = 0;
    before = Sample();
    for (int i = 0; i < kPlainExchanges; ++i) {
        clear(handle);
        if (sndGet(handle, bytes, size, &answer, kTimeoutMs) != 0 || answer != size)
            ++failures;
    }
    Report("ciSndGet (ends at the quiet gap)", kPlainExchanges, failures, before, Sample());

    release(handle);
    FreeLibrary(library);
    return 0;
}

int Argument(int argc, char** argv, int index, int fallback)
{
    return argc > index ? std::atoi(argv[index]) : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == kEchoSwitch)
        return RunEcho(std::atoi(argv[2]), std::atoi(argv[3]), static_cast<DWORD>(std::strtoul(argv[4], nullptr, 10)));
    return RunBenchmark(Argument(argc, argv, 1, kDefaultExchanges), Argument(argc, argv, 2, kDefaultDataBytes),
                        Argument(argc, argv, 3, kDefaultLinkPort), Argument(argc, argv, 4, kDefaultPeerPort));
}
