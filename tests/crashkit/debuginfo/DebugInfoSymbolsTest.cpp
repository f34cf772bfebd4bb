#include "debuginfo/DebugInfoSymbols.h"

#include <gtest/gtest.h>

#include "OwnDebugInfoWriter.h"
#include "PeImageWriter.h"

namespace {

constexpr uint64_t kBase = 0x400000;
constexpr uint64_t kCode = kBase + TPeImageWriter::kCodeRva;

// One module at 0x400000 whose image in memory carries its own debug information.
class TImageModules : public IModuleSystem {
public:
    TImageModules() : image_(Image()), memory_(image_, kBase) {}

    std::optional<TModuleIdentity> ModuleAt(uint64_t address) const override
    {
        if (address < kBase || address >= kBase + image_.size())
            return std::nullopt;
        return TModuleIdentity{kBase, u"C:\\App\\Mod.dll", 7};
    }
    const IMemoryReader& Memory() const override { return memory_; }
    std::optional<std::string> ReadWholeFile(const UnicodeString&) const override { return std::nullopt; }

private:
    static std::string Image()
    {
        TOwnDebugInfoWriter writer;
        writer.segments = {{0, 0x100, "Engine.cpp"}};
        writer.publics = {{"Start()", 0x10}, {"Run(int)", 0x40}};
        writer.lines = {{30, 0x10}, {31, 0x14}, {40, 0x40}};
        return TPeImageWriter::Image({{u"ZEL", u"EXCEPT", writer.Data()}});
    }

    std::string image_;
    TBufferReader memory_;
};

TEST(DebugInfoSymbols, NamesLinesAndModulesForTheDisassembler)
{
    const TImageModules modules;
    TMapFileCache cache;
    const TDebugInfoSymbols symbols(modules, cache);
    EXPECT_EQ(symbols.NameOf(kCode + 0x40), "Engine.cpp.Run(int)");
    EXPECT_EQ(symbols.NameOf(kCode + 0x41), "");
    EXPECT_EQ(symbols.LineOf(kCode + 0x16), 31u);
    EXPECT_EQ(symbols.LineOf(kCode + 0x200), 0u);
    EXPECT_EQ(symbols.NameOf(0x10), "");
    const std::optional<TModuleRange> module = symbols.ModuleOf(kCode + 4);
    ASSERT_TRUE(module);
    EXPECT_EQ(module->start, kBase);
    EXPECT_GT(module->end, kCode + TPeImageWriter::kCodeSize);
    EXPECT_EQ(module->fileName, "C:\\App\\Mod.dll");
    EXPECT_FALSE(symbols.ModuleOf(0x10));
    EXPECT_EQ(cache.Size(), 1u);
}

} // namespace
