// Measures qGetInputs calls per second against the module simulator and, on the same link
// in the same run, the same exchange made directly with Conduvex's ciSndGetVantel97 (and
// ciRead to take the answer): the Iobrant stack's overhead as a ratio. A host's view: both
// libraries are loaded by name and reached through their exports only.
//
//   TarvoBench.exe [seconds per road]      (run under Wine with WINEPREFIX set)
#include "support/ModuleSimulator.h"
#include "BenchSupport.h"
#include "conduvex.h"
#include "iobrant.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kComPort = 44;
constexpr double kDefaultSeconds = 3.0;
constexpr uint8_t kAddress = 1;
constexpr uint32_t kTimeoutMs = 1000;

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

    const double stack = Measure(seconds, [&] {
                             uint8_t states[16];
                             int32_t count = sizeof(states);
                             return qGetInputs(tarvo, states, &count) == Q_OK;
                         }).callsPerSecond;
    const std::string request = ReadInputsFrame(kAddress);
    const double direct = Measure(seconds, [&] {
                              return SendAndReadAnswer(ciSndGetVantel97, ciRead, link, request, kTimeoutMs);
                          }).callsPerSecond;

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
