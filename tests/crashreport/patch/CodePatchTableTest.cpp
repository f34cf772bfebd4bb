#include "patch/CodePatchTable.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

namespace {

__attribute__((noinline)) int Original()
{
    return 42;
}

__attribute__((noinline)) int Replacement()
{
    return 7;
}

__attribute__((noinline)) int OtherOriginal()
{
    return 43;
}

int Call(int (*routine)())
{
    int (*volatile call)() = routine;
    return call();
}

int (*g_routinePointer)() = &Original;

// Executable memory holding an import stub, "jmp [slot]", whose slot holds the target.
class TImportStub {
public:
    explicit TImportStub(int (*target)())
    {
        memory_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
        uint8_t* slot = memory_ + 64;
        std::memcpy(slot, &target, sizeof target);
        memory_[0] = 0xFF;
        memory_[1] = 0x25;
        // x86: the slot's address; x86_64: its distance from the next instruction.
        const auto operand = sizeof(void*) == 8 ? static_cast<uint32_t>(slot - (memory_ + 6))
                                                : static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot));
        std::memcpy(memory_ + 2, &operand, sizeof operand);
        FlushInstructionCache(GetCurrentProcess(), memory_, 4096);
    }
    ~TImportStub() { VirtualFree(memory_, 0, MEM_RELEASE); }
    TImportStub(const TImportStub&) = delete;
    TImportStub& operator=(const TImportStub&) = delete;

    int (*Routine() const)() { return reinterpret_cast<int (*)()>(memory_); }
    const uint8_t* Bytes() const { return memory_; }

private:
    uint8_t* memory_;
};

TEST(CodePatchTable, AJumpPatchOfAFunctionInThisModuleAppliesAndRestores)
{
    TCodePatchTable table;
    ASSERT_TRUE(table.PatchJump(reinterpret_cast<void*>(&Original), reinterpret_cast<const void*>(&Replacement)));
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(Call(&Original), 7);
    table.RestorePatches();
    EXPECT_EQ(Call(&Original), 42);
    table.ClearPatches();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(Call(&Original), 42);
}

TEST(CodePatchTable, AJumpPatchOfAnImportStubPatchesTheRoutineItLeadsTo)
{
    const TImportStub stub(&OtherOriginal);
    uint8_t stubBefore[6];
    std::memcpy(stubBefore, stub.Bytes(), sizeof stubBefore);
    EXPECT_EQ(TCodePatchTable::JumpSite(reinterpret_cast<void*>(stub.Routine())), reinterpret_cast<void*>(&OtherOriginal));
    TCodePatchTable table;
    ASSERT_TRUE(table.PatchJump(reinterpret_cast<void*>(stub.Routine()), reinterpret_cast<const void*>(&Replacement)));
    EXPECT_EQ(std::memcmp(stubBefore, stub.Bytes(), sizeof stubBefore), 0); // the stub is untouched
    EXPECT_EQ(Call(&OtherOriginal), 7);
    EXPECT_EQ(Call(stub.Routine()), 7);
    table.ClearPatches();
    EXPECT_EQ(Call(stub.Routine()), 43);
}

TEST(CodePatchTable, EqualBytesAreNeitherWrittenNorRecorded)
{
    TCodePatchTable table;
    uint8_t same[5];
    std::memcpy(same, reinterpret_cast<const void*>(&Original), sizeof same);
    EXPECT_FALSE(table.PatchCode(reinterpret_cast<void*>(&Original), same, sizeof same));
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_FALSE(table.PatchCode(nullptr, same, sizeof same));
    EXPECT_FALSE(table.PatchCode(reinterpret_cast<void*>(16), same, sizeof same)); // unreadable
    EXPECT_EQ(table.Count(), 0u);
}

TEST(CodePatchTable, APatchChangedByAnotherPartyIsLeftAloneOnRestore)
{
    int (*const original)() = g_routinePointer;
    TCodePatchTable table;
    ASSERT_TRUE(table.PatchPointer(reinterpret_cast<void*>(&g_routinePointer), reinterpret_cast<const void*>(&Replacement)));
    EXPECT_EQ(Call(g_routinePointer), 7);
    g_routinePointer = &OtherOriginal; // someone else hooks after us
    table.ClearPatches();
    EXPECT_EQ(g_routinePointer, &OtherOriginal);
    g_routinePointer = original;

    ASSERT_TRUE(table.PatchPointer(reinterpret_cast<void*>(&g_routinePointer), reinterpret_cast<const void*>(&Replacement)));
    table.RestorePatches();
    EXPECT_EQ(g_routinePointer, original);
    table.RestorePatches(); // restored once only: the pointer stays the original
    EXPECT_EQ(g_routinePointer, original);
}

// A free spot more than 8 GB from the code, holding "mov eax, 7; ret"; none on 32-bit.
void* FarCode(const void* from)
{
    if constexpr (sizeof(void*) == 8) {
        const uint64_t origin = reinterpret_cast<uintptr_t>(from);
        for (uint64_t distance = uint64_t{1} << 33; distance < (uint64_t{1} << 46); distance <<= 1) {
            for (const uint64_t candidate : {origin + distance, origin - distance}) {
                void* memory = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(candidate & ~uint64_t{0xFFFF})),
                                            4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE);
                if (memory) {
                    static constexpr uint8_t kReturnSeven[] = {0xB8, 7, 0, 0, 0, 0xC3};
                    std::memcpy(memory, kReturnSeven, sizeof kReturnSeven);
                    FlushInstructionCache(GetCurrentProcess(), memory, sizeof kReturnSeven);
                    return memory;
                }
            }
        }
    }
    return nullptr;
}

TEST(CodePatchTable, AJumpBeyondTheDisplacementsReachGoesThroughAThunkNearby)
{
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "a 32-bit displacement reaches every address of a 32-bit process";
    void* farCode = FarCode(reinterpret_cast<const void*>(&Original));
    ASSERT_NE(farCode, nullptr);
    TCodePatchTable table;
    ASSERT_TRUE(table.PatchJump(reinterpret_cast<void*>(&Original), farCode));
    EXPECT_EQ(Call(&Original), 7);
    table.ClearPatches(); // restores and releases the thunk
    EXPECT_EQ(Call(&Original), 42);
    VirtualFree(farCode, 0, MEM_RELEASE);
}

} // namespace
