// The copy of a stopped thread's stack and the memory seen through it.
#include <gtest/gtest.h>

#include <vector>

#include "StackSnapshot.h"

namespace {

constexpr CodeAddress kBase = 0x10000;
constexpr CodeAddress kTop = 0x14000; // four pages

// Process memory [kBase, kTop) whose bytes can change and whose pages can be made unreadable.
class TMemory : public IFunctionEnvironment, public ICodeReader {
public:
    TMemory() : bytes_(kTop - kBase)
    {
        for (size_t i = 0; i < bytes_.size(); ++i)
            bytes_[i] = static_cast<uint8_t>(i * 7);
    }

    std::vector<uint8_t> bytes_;
    CodeAddress unreadableBelow = 0;

    bool Read(CodeAddress address, uint8_t* buffer, size_t count) const override
    {
        if (address < kBase || address < unreadableBelow || address + count > kTop)
            return false;
        std::copy_n(bytes_.begin() + (address - kBase), count, buffer);
        return true;
    }
    const ICodeReader& Code() const override { return *this; }
    bool IsCommitted(CodeAddress address) const override { return address >= kBase && address < kTop; }
    TCodeBounds CodeBounds(CodeAddress) const override { return {1, 2}; }
    CodeAddress CxxThrowRoutine() const override { return 3; }
    std::string SystemMessage(uint32_t) const override { return "message"; }
};

std::vector<uint8_t> ReadThrough(const IFunctionEnvironment& memory, CodeAddress address, size_t count)
{
    std::vector<uint8_t> bytes(count);
    if (!memory.Code().Read(address, bytes.data(), count))
        bytes.clear();
    return bytes;
}

std::vector<uint8_t> Original(CodeAddress address, size_t count)
{
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>((address - kBase + i) * 7);
    return bytes;
}

TEST(StackSnapshot, ReadsInsideTheCopyShowTheMomentItWasTaken)
{
    TMemory memory;
    TStackSnapshot snapshot(memory, kTop - kBase);
    ASSERT_TRUE(snapshot.Take(0x12345, kTop));
    EXPECT_EQ(0x12345u, snapshot.CopiedFrom());
    EXPECT_EQ(kTop, snapshot.CopiedTo());
    std::fill(memory.bytes_.begin(), memory.bytes_.end(), 0xEE); // the thread went on
    EXPECT_EQ(Original(0x12345, 16), ReadThrough(snapshot, 0x12345, 16));
    EXPECT_EQ(Original(kTop - 4, 4), ReadThrough(snapshot, kTop - 4, 4));
    // Below the copy, and across its lower edge, the process's bytes as they are now.
    EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), ReadThrough(snapshot, 0x12340, 4));
    std::vector<uint8_t> across(8, 0xEE);
    std::copy_n(Original(0x12345, 3).begin(), 3, across.begin() + 5);
    EXPECT_EQ(across, ReadThrough(snapshot, 0x12340, 8));
    // Past the top the process decides, and it has nothing there.
    EXPECT_TRUE(ReadThrough(snapshot, kTop - 2, 4).empty());
    // Everything else comes from the process unchanged.
    EXPECT_EQ(3u, snapshot.CxxThrowRoutine());
    EXPECT_EQ(2u, snapshot.CodeBounds(0).high);
    EXPECT_EQ("message", snapshot.SystemMessage(5));
    EXPECT_TRUE(snapshot.IsCommitted(kBase));
}

TEST(StackSnapshot, CopyStopsAtTheFirstUnreadablePageBelowTheTop)
{
    TMemory memory;
    memory.unreadableBelow = 0x12000;
    TStackSnapshot snapshot(memory, kTop - kBase);
    ASSERT_TRUE(snapshot.Take(0x11800, kTop));
    EXPECT_EQ(0x12000u, snapshot.CopiedFrom());
    std::fill(memory.bytes_.begin(), memory.bytes_.end(), 0xEE);
    EXPECT_EQ(Original(0x12000, 8), ReadThrough(snapshot, 0x12000, 8));
    EXPECT_TRUE(ReadThrough(snapshot, 0x11FFC, 8).empty()) << "half of it lies in the unreadable page";
}

TEST(StackSnapshot, RoomLimitsTheCopyToTheBytesNearestTheStackPointer)
{
    TMemory memory;
    TStackSnapshot snapshot(memory, 0x1000);
    ASSERT_TRUE(snapshot.Take(0x11800, kTop));
    EXPECT_EQ(0x11800u, snapshot.CopiedFrom());
    EXPECT_EQ(0x12800u, snapshot.CopiedTo());
    std::fill(memory.bytes_.begin(), memory.bytes_.end(), 0xEE);
    EXPECT_EQ(Original(0x11800, 4), ReadThrough(snapshot, 0x11800, 4));
    EXPECT_EQ(Original(0x127FC, 4), ReadThrough(snapshot, 0x127FC, 4));
    // Above the copy, up to the top, the process's bytes as they are now.
    EXPECT_EQ(std::vector<uint8_t>(4, 0xEE), ReadThrough(snapshot, 0x12800, 4));
    std::vector<uint8_t> across(4, 0xEE);
    std::copy_n(Original(0x127FE, 2).begin(), 2, across.begin());
    EXPECT_EQ(across, ReadThrough(snapshot, 0x127FE, 4));
}

TEST(StackSnapshot, NothingCopiedLeavesEveryReadToTheProcess)
{
    TMemory memory;
    TStackSnapshot snapshot(memory, kTop - kBase);
    EXPECT_FALSE(snapshot.Take(kTop, kTop));
    EXPECT_FALSE(snapshot.Take(kTop + 0x100, kTop));
    memory.unreadableBelow = kTop;
    EXPECT_FALSE(snapshot.Take(kBase, kTop));
    memory.unreadableBelow = 0;
    memory.bytes_[0x2000] = 0x5A;
    EXPECT_EQ(std::vector<uint8_t>{0x5A}, ReadThrough(snapshot, 0x12000, 1));
    TStackSnapshot empty(memory, 0);
    EXPECT_FALSE(empty.Take(kBase, kTop));
}

} // namespace
