#include "debuginfo/MapFileCache.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "OwnDebugInfoWriter.h"
#include "debuginfo/DebugInfoHooks.h"
#include "debuginfo/Location.h"

namespace {

// One module at 0x10000000 whose image is unreadable, with a ".zel" side file (or none).
class TFakeModules : public IModuleSystem {
public:
    TFakeModules()
    {
        TOwnDebugInfoWriter writer;
        writer.segments = {{0, 0x100, "Unit.cpp"}};
        writer.publics = {{"Run(int)", 0x10}, {"Stop%1", 0x40}};
        writer.lines = {{20, 0x10}, {21, 0x18}};
        zel_ = writer.Data();
    }

    std::optional<TModuleIdentity> ModuleAt(uint64_t address) const override
    {
        if (address < kHandle || address >= kHandle + 0x10000)
            return std::nullopt;
        return TModuleIdentity{kHandle, u"C:\\Bin\\Mod.dll", fileTime.load()};
    }

    const IMemoryReader& Memory() const override { return memory_; }

    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        ++reads;
        if (path == u"C:\\Bin\\Mod.zel" && withDebugInfo)
            return zel_;
        return std::nullopt;
    }

    static constexpr uint64_t kHandle = 0x10000000;
    std::atomic<uint32_t> fileTime = 1;
    bool withDebugInfo = true;
    mutable std::atomic<int> reads = 0;

private:
    TBufferReader memory_{""};
    std::string zel_;
};

TEST(MapFileCache, BuildsOncePerModuleAndLocates)
{
    TFakeModules modules;
    TMapFileCache cache;
    const std::shared_ptr<const TMapFile> first = cache.Find(modules, TFakeModules::kHandle + 0x10);
    const int reads = modules.reads;
    const std::shared_ptr<const TMapFile> second = cache.Find(modules, TFakeModules::kHandle + 0x20);
    EXPECT_EQ(first, second);
    EXPECT_EQ(modules.reads, reads);
    EXPECT_EQ(cache.Size(), 1u);

    // Without headers the code start is 0: the side file's offsets are the addresses.
    TLocation location;
    ASSERT_TRUE(LocateAddress(*first, 0x1A, location));
    EXPECT_EQ(location.publicName, u"Run(int)");
    EXPECT_EQ(location.line, 21);
    EXPECT_EQ(location.moduleFileName, u"C:\\Bin\\Mod.dll");
}

TEST(MapFileCache, AReplacedModuleIsRebuiltWhileTheOldObjectStaysUsable)
{
    TFakeModules modules;
    TMapFileCache cache;
    const std::shared_ptr<const TMapFile> old = cache.Find(modules, TFakeModules::kHandle);
    modules.fileTime = 2;
    const std::shared_ptr<const TMapFile> fresh = cache.Find(modules, TFakeModules::kHandle);
    EXPECT_NE(old, fresh);
    EXPECT_EQ(cache.Size(), 1u);
    EXPECT_EQ(old->FindPublic(0x10).name, u"Run(int)");
}

TEST(MapFileCache, ModulesWithoutDebugInformationAreNotKept)
{
    TFakeModules modules;
    modules.withDebugInfo = false;
    TMapFileCache cache;
    EXPECT_FALSE(cache.Find(modules, TFakeModules::kHandle)->Valid());
    EXPECT_FALSE(cache.Find(modules, 0x1234)->Valid());
    EXPECT_EQ(cache.Size(), 0u);
}

TEST(MapFileCache, AModuleWithoutDebugInformationIsSearchedOnceUntilReplaced)
{
    TFakeModules modules;
    modules.withDebugInfo = false;
    TMapFileCache cache;
    const std::shared_ptr<const TMapFile> first = cache.Find(modules, TFakeModules::kHandle);
    const int reads = modules.reads;
    EXPECT_GT(reads, 0);
    EXPECT_EQ(cache.Find(modules, TFakeModules::kHandle + 0x10), first);
    EXPECT_EQ(modules.reads, reads);

    // A new file in its place is searched again, and its debug information found.
    modules.withDebugInfo = true;
    modules.fileTime = 2;
    const std::shared_ptr<const TMapFile> fresh = cache.Find(modules, TFakeModules::kHandle);
    EXPECT_TRUE(fresh->Valid());
    EXPECT_GT(modules.reads, reads);
    EXPECT_EQ(cache.Size(), 1u);
}

TEST(MapFileCache, ThreadsShareAndReplaceEntries)
{
    TFakeModules modules;
    TMapFileCache cache;
    std::atomic<int> found = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t == 0 && i % 10 == 0)
                    modules.fileTime = modules.fileTime + 1;
                const std::shared_ptr<const TMapFile> map = cache.Find(modules, TFakeModules::kHandle + 0x10);
                if (map->FindPublic(0x10).name == u"Run(int)")
                    ++found;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(found, 800);
    EXPECT_EQ(cache.Size(), 1u);
}

TEST(DebugInfoHooks, NamesFunctionStartsAndLineRanges)
{
    TFakeModules modules;
    TMapFileCache cache;
    const std::shared_ptr<const TMapFile> map = cache.Find(modules, TFakeModules::kHandle);
    EXPECT_EQ(DebugInfoNameOf(*map, 0x10), u"Unit.cpp.Run(int)");
    EXPECT_EQ(DebugInfoNameOf(*map, 0x11), u"");
    EXPECT_EQ(DebugInfoNameOf(*map, 0x40), u"Unit.cpp.Stop%1 (Mod.dll)");

    int32_t line = 0;
    uint64_t start = 0;
    uint64_t end = 0;
    DebugInfoLineOf(*map, 0x12, line, start, end);
    EXPECT_EQ(line, 20);
    EXPECT_EQ(start, 0x12u);
    EXPECT_EQ(end, 0x18u);
    DebugInfoLineOf(*map, 0x14, line, start, end); // inside the range: kept
    EXPECT_EQ(start, 0x12u);
    DebugInfoLineOf(*map, 0x18, line, start, end);
    EXPECT_EQ(line, 21);
    EXPECT_EQ(end, 0x19u); // no further item
    DebugInfoLineOf(*map, 0x200, line, start, end); // outside every unit
    EXPECT_EQ(line, 0);
}

} // namespace
