// How well the stack tracer finds the true chain of calls on i686 stacks of known truth: frames
// found, missing and stale per kind of chain. Not a test (the native tests hold it to a floor);
// run by tools/bench.sh, or by hand:
//   StackAccuracyBench CORPUS-DLL SYSTEM-DLL TRUTH-FILE
#include <cstdio>

#include "StackAccuracyCorpus.h"

namespace {

void PrintRow(const std::string& kind, const TAccuracyTally& tally)
{
    std::printf("%-18s %6d %6d %6d %7.2f%% %7d %6d %6.2f%% %6d %6d\n", kind.c_str(), tally.chains, tally.trueFrames,
                tally.found, tally.FoundPercent(), tally.Missing(), tally.stale, tally.StalePercent(),
                tally.exactChains, tally.staleAboveCrash);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: StackAccuracyBench CORPUS-DLL SYSTEM-DLL TRUTH-FILE\n");
        return 2;
    }
    const std::optional<TAccuracyReport> report = MeasureStackAccuracy({argv[1], argv[2], argv[3]});
    if (!report) {
        std::fprintf(stderr, "the corpus could not be read\n");
        return 1;
    }
    std::printf("%-18s %6s %6s %6s %8s %7s %6s %7s %6s %6s\n", "kind", "chains", "frames", "found", "found", "missing",
                "stale", "stale", "exact", "above");
    for (const auto& [kind, tally] : report->kinds)
        PrintRow(kind, tally);
    PrintRow("total", report->total);
    std::printf("(frames: true return addresses; found: of them listed; stale: listed frames of no true call,\n"
                " in %% of all listed; exact: chains listed exactly; above: chains with a stale frame between\n"
                " the crash and its true caller. Aim: at least 99%% found, under 1%% stale)\n");
    return 0;
}
