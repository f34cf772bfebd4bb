#include "model/ReportTextCache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(ReportTextCache, TextAssembledAcrossAChangeIsNotCached)
{
    TReportTextCache cache;
    const TReportTextCache::TSnapshot before = cache.Read();
    EXPECT_TRUE(cache.Change());
    EXPECT_FALSE(cache.StoreIfUnchanged(before.changeCounter, u"stale"));
    EXPECT_EQ(cache.Read().text, u"");

    const TReportTextCache::TSnapshot now = cache.Read();
    EXPECT_TRUE(cache.StoreIfUnchanged(now.changeCounter, u"fresh"));
    EXPECT_EQ(cache.Read().text, u"fresh");
}

TEST(ReportTextCache, ChangeClearsTheTextAndMovesTheCounter)
{
    TReportTextCache cache;
    cache.Replace(u"set from outside");
    const uint64_t counter = cache.ChangeCounter();
    EXPECT_EQ(cache.Read().text, u"set from outside");
    EXPECT_TRUE(cache.Change());
    EXPECT_EQ(cache.ChangeCounter(), counter + 1);
    EXPECT_EQ(cache.Read().text, u"");
}

TEST(ReportTextCache, ChangesInsideNestedUpdatesAreAnnouncedOnceAtTheOutermostEnd)
{
    TReportTextCache cache;
    cache.Replace(u"kept meanwhile");
    const uint64_t counter = cache.ChangeCounter();
    cache.BeginUpdate();
    cache.BeginUpdate();
    EXPECT_FALSE(cache.Change());
    EXPECT_FALSE(cache.Change());
    EXPECT_EQ(cache.ChangeCounter(), counter);
    EXPECT_EQ(cache.Read().text, u"kept meanwhile");
    EXPECT_FALSE(cache.EndUpdate());
    EXPECT_TRUE(cache.EndUpdate());
    EXPECT_EQ(cache.ChangeCounter(), counter + 1);
    EXPECT_EQ(cache.UpdateDepth(), 0);
}

TEST(ReportTextCache, AnUpdateWithoutChangeAnnouncesNothing)
{
    TReportTextCache cache;
    cache.BeginUpdate();
    EXPECT_FALSE(cache.EndUpdate());
    EXPECT_EQ(cache.ChangeCounter(), 0u);
    // The pending flag does not outlive the update that set it.
    cache.BeginUpdate();
    cache.Change();
    EXPECT_TRUE(cache.EndUpdate());
    cache.BeginUpdate();
    EXPECT_FALSE(cache.EndUpdate());
}

TEST(ReportTextCache, EveryConcurrentChangeIsCounted)
{
    TReportTextCache cache;
    constexpr int kThreads = 4;
    constexpr int kChanges = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kChanges; ++i)
                cache.Change();
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(cache.ChangeCounter(), uint64_t{kThreads} * kChanges);
}

} // namespace
