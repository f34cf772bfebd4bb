// Measures qGetInputs calls per second against the module simulator and, on the same link
// in the same run, the same exchange made directly with Conduvex's ciSndGetVantel97 (and
// ciRead to take the answer): the Iobrant stack's overhead as a ratio. A host's view: both
// libraries are loaded by name and reached through their exports only.
//
//   TarvoBench.exe [seconds per road]      (run under Wine with WINEPREFIX set)
#include "../../tests/iobrant/ModuleSimulator.h"
#include "conduvex.h"
#include "iobrant.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kComPort = 44;
constexpr double kDefaultSeconds = 3.0;
constexpr uint8_t kAddress = 1;
constexpr uint8_t kReadInputs = 0x31;
constexpr uint32_t kTimeoutMs = 1000;
constexpr int kWarmUpCalls = 20;

template <class Function>
Function Bind(HMODULE dll, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Runs `call` for the given time; calls per second, or 0 when one failed.
template <class Call>
double CallsPerSecond(double seconds, Call call)
{
    for (int i = 0; i < kWarmUpCalls; ++i) {
        if (!call())
            return 0;
    }
    const double start = NowMs();
    long calls = 0;
    while (NowMs() - start < seconds * 1000.0) {
        if (!call())
            return 0;
        ++calls;
    }
    return static_cast<double>(calls) * 1000.0 / (NowMs() - start);
}

// The request frame of instruction 0x31 to the module, signature 0.
std::string ReadInputsFrame()
{
    std::string frame = {'*', 'a', 0, 5, static_cast<char>(kAddress), 0, static_cast<char>(kReadInputs)};
    unsigned sum = 0;
    for (const char c : frame)
        sum += static_cast<uint8_t>(c);
    frame += static_cast<char>(255 - sum % 256);
    frame += '\r';
    return frame;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : kDefaultSeconds;
    TModuleSimulator simulator(kComPort, "--address 1 --inputs 16 --outputs 8");
    if (!simulator.Failure().empty()) {
        std::printf("module simulator: %s\n", simulator.Failure().c_str());
        return 1;
    }
    const HMODULE conduvex = LoadLibraryA("Conduvex.dll");
    const HMODULE iobrant = LoadLibraryA("Iobrant.dll");
    const auto ciCreate = Bind<PFN_ciCreate>(conduvex, "ciCreate");
    const auto ciOpen = Bind<PFN_ciOpen>(conduvex, "ciOpen");
    const auto ciRelease = Bind<PFN_ciRelease>(conduvex, "ciRelease");
    const auto ciSndGetVantel97 = Bind<PFN_ciSndGetVantel97>(conduvex, "ciSndGetVantel97");
    const auto ciRead = Bind<PFN_ciRead>(conduvex, "ciRead");
    const auto qCreateTarvoCI = Bind<PFN_qCreateTarvoCI>(iobrant, "qCreateTarvoCI");
    const auto qGetInputs = Bind<PFN_qGetInputs>(iobrant, "qGetInputs");
    const auto qReleaseTarvo = Bind<PFN_qReleaseTarvo>(iobrant, "qReleaseTarvo");
    if (!ciCreate || !ciOpen || !ciRelease || !ciSndGetVantel97 || !ciRead || !qCreateTarvoCI || !qGetInputs ||
        !qReleaseTarvo) {
        std::printf("Conduvex.dll or Iobrant.dll is missing or lacks an export\n");
        return 1;
    }
    const CI_HANDLE link = ciCreate(simulator.ConnectionString().c_str());
    if (link == 0 || ciOpen(link) != CI_OK) {
        std::printf("cannot open %s\n", simulator.ConnectionString().c_str());
        return 1;
    }
    const Q_HANDLE tarvo = qCreateTarvoCI(link, "ADDR=1");

    const double stack = CallsPerSecond(seconds, [&] {
        uint8_t states[16];
        int32_t count = sizeof(states);
        return qGetInputs(tarvo, states, &count) == Q_OK;
    });
    const std::string request = ReadInputsFrame();
    const double direct = CallsPerSecond(seconds, [&] {
        int32_t answerLength = 0;
        if (ciSndGetVantel97(link, reinterpret_cast<const uint8_t*>(request.data()),
                             static_cast<int32_t>(request.size()), &answerLength, kTimeoutMs) != CI_OK ||
            answerLength == 0)
            return false;
        uint8_t answer[64];
        int32_t length = sizeof(answer);
        return ciRead(link, answer, &length) == CI_OK && length == answerLength;
    });

    std::printf("Link: %s, module simulator with 16 inputs\n", simulator.ConnectionString().c_str());
    std::printf("qGetInputs through Iobrant:     %8.1f calls/s (%.3f ms per call)\n", stack,
                stack > 0 ? 1000.0 / stack : 0.0);
    std::printf("ciSndGetVantel97 + ciRead:      %8.1f calls/s (%.3f ms per call)\n", direct,
                direct > 0 ? 1000.0 / direct : 0.0);
    if (stack > 0 && direct > 0)
        std::printf("Ratio (direct / through the stack): %.2f\n", direct / stack);
    qReleaseTarvo(tarvo);
    ciRelease(link);
    FreeLibrary(iobrant);
    FreeLibrary(conduvex);
    return stack > 0 && direct > 0 ? 0 : 1;
}
