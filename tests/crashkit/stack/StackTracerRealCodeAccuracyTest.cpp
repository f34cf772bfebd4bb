// The tracer over the accuracy corpus: i686 chains of known calls of every depth, with and
// without frame pointers, through pointers, import cells, a module without debug information,
// recursion and a rethrown exception, stale return addresses below and between the frames.
// The floors hold what the tracer reaches; StackAccuracyBench prints the figures.
#include <gtest/gtest.h>

#include "StackAccuracyCorpus.h"

namespace {

// Share of the true frames found, per kind of chain: what the tracer reaches, less a little.
// Stale frames stay under 1% everywhere, and none may stand between a crash and its caller.
struct TAccuracyFloor {
    const char* kind;
    double minimumFoundPercent;
};

TEST(StackTracerAccuracy, FindsTheTrueChainsOfTheCorpus)
{
    if (std::string(CRASHKIT_ACCURACY_CHAINS).empty())
        GTEST_SKIP() << "the corpus was not built (no i686-w64-mingw32-g++-posix)";
    const std::optional<TAccuracyReport> report =
        MeasureStackAccuracy({CRASHKIT_ACCURACY_CORPUS_DLL, CRASHKIT_ACCURACY_SYSTEM_DLL, CRASHKIT_ACCURACY_CHAINS});
    ASSERT_TRUE(report);
    const TAccuracyFloor floors[] = {
        {"frame-pointers", 99}, {"no-frame-pointers", 99}, {"mixed", 99},         {"pointers", 99},
        {"import-callback", 99}, {"recursion", 99},         {"throw-rethrow", 99}, {"system-fault", 99},
    };
    for (const TAccuracyFloor& floor : floors) {
        const auto kind = report->kinds.find(floor.kind);
        ASSERT_NE(report->kinds.end(), kind) << floor.kind;
        EXPECT_GE(kind->second.FoundPercent(), floor.minimumFoundPercent) << floor.kind;
    }
    EXPECT_GE(report->total.FoundPercent(), 99);
    EXPECT_LT(report->total.StalePercent(), 1);
    EXPECT_EQ(0, report->total.staleAboveCrash);
    EXPECT_EQ(static_cast<int>(std::size(floors)), static_cast<int>(report->kinds.size()));
}

} // namespace
