#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "ThrowingCode.h"
#include "capture/win/ExceptionSink.h"
#include "capture/win/LibraryThread.h"
#include "capture/win/ThrowSnapshot.h"
#include "win32/ContextRegisters.h"

namespace {

uintptr_t markedArea = 0;

// Looks, on the raising thread while its report is made, at the stack the report would trace.
class TStackInspectingSink : public IExceptionSink {
public:
    TStackInspectingSink() { SetExceptionSink(this); }
    ~TStackInspectingSink() override { SetExceptionSink(nullptr); }
    TStackInspectingSink(const TStackInspectingSink&) = delete;
    TStackInspectingSink& operator=(const TStackInspectingSink&) = delete;

    void HandleException(const TCaughtException& exception) override
    {
        ++reports;
        if (!exception.context)
            return;
        hadContext = true;
        const uintptr_t ip = InstructionPointerOf(*exception.context);
        const uintptr_t sp = StackPointerOf(*exception.context);
        atThrower = ip > ThrowerStart() && ip < ThrowerStart() + kThrowerExtent;
        const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        reportBelowRaise = here < sp;
        markAboveRaise = markedArea >= sp;
        const auto* mark = reinterpret_cast<const volatile uint32_t*>(markedArea);
        markIntact = markAboveRaise;
        for (size_t word = 0; markIntact && word < kMarkWords; ++word)
            markIntact = mark[word] == kMark + word;
    }

    int reports = 0;
    bool hadContext = false;
    bool atThrower = false;
    bool reportBelowRaise = false;
    bool markAboveRaise = false;
    bool markIntact = false;
};

DWORD ThrowsThroughACaller(void*)
{
    CallThrowWithMarkedFrame(&markedArea);
    return 1;
}

// By the time the thread's catch reports, the raising frames are unwound and their memory
// reused; the report runs below the raise's stack, which holds again what it held at the raise.
TEST(ThrowSnapshot, AnExceptionEscapingALibraryThreadIsReportedOverTheStackOfItsRaise)
{
    TStackInspectingSink sink;
    const HANDLE thread = StartLibraryThread(&ThrowsThroughACaller, nullptr, 0, nullptr);
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    ASSERT_EQ(sink.reports, 1);
    ASSERT_TRUE(sink.hadContext) << "the registers of the raise";
    EXPECT_TRUE(sink.atThrower) << "the thrower's own instruction";
    EXPECT_TRUE(sink.reportBelowRaise);
    EXPECT_TRUE(sink.markAboveRaise);
    EXPECT_TRUE(sink.markIntact) << "the thrower's frame as it was at the raise";
}

CONTEXT ContextAt(const void* stackPointer)
{
    CONTEXT context{};
#if defined(__x86_64__)
    context.Rsp = reinterpret_cast<DWORD64>(stackPointer);
#else
    context.Esp = reinterpret_cast<DWORD>(stackPointer);
#endif
    return context;
}

TEST(ThrowSnapshot, KeepsTheStackAboveTheRaiseAndPutsBackOnlyWhatFallsInsideTheGap)
{
    TThrowSnapshot snapshot;
    uint8_t stack[64];
    std::memset(stack, 0xA5, sizeof stack);
    const int object = 0;
    snapshot.Take(&object, ContextAt(stack));
    EXPECT_GE(snapshot.CopiedBytes(), sizeof stack);
    EXPECT_LE(snapshot.CopiedBytes(), TThrowSnapshot::kStackBytes);
    EXPECT_TRUE(snapshot.ContextFor(&object));
    EXPECT_FALSE(snapshot.ContextFor(nullptr));

    std::memset(stack, 0, sizeof stack);
    const auto base = reinterpret_cast<uintptr_t>(stack);
    snapshot.RestoreInto(base + 8, base + 16);
    for (size_t at = 0; at < sizeof stack; ++at)
        EXPECT_EQ(stack[at], at >= 8 && at < 16 ? 0xA5 : 0) << at;
}

TEST(ThrowSnapshot, AStackPointerOutsideTheThreadsStackKeepsNothing)
{
    TThrowSnapshot snapshot;
    const int object = 0;
    static uint8_t notAStack[64];
    for (const void* pointer : {static_cast<const void*>(notAStack), reinterpret_cast<const void*>(0x10)}) {
        snapshot.Take(&object, ContextAt(pointer));
        EXPECT_EQ(snapshot.CopiedBytes(), 0u);
        EXPECT_EQ(snapshot.GapBelow(reinterpret_cast<uintptr_t>(__builtin_frame_address(0))), 0u);
    }
}

TEST(ThrowSnapshot, OnceFrozenALaterRaiseReplacesNothing)
{
    TThrowSnapshot snapshot;
    uint8_t stack[16] = {};
    const int first = 0;
    const int second = 0;
    snapshot.Take(&first, ContextAt(stack));
    snapshot.Freeze();
    snapshot.Take(&second, ContextAt(stack));
    EXPECT_TRUE(snapshot.ContextFor(&first));
    EXPECT_FALSE(snapshot.ContextFor(&second));
}

TEST(ThrowSnapshot, TheGapReachesBelowTheRaiseOnlyFromAboveIt)
{
    TThrowSnapshot snapshot;
    uint8_t stack[16] = {};
    const int object = 0;
    snapshot.Take(&object, ContextAt(stack));
    const auto raise = reinterpret_cast<uintptr_t>(stack);
    EXPECT_EQ(snapshot.GapBelow(raise), 0u);
    EXPECT_EQ(snapshot.GapBelow(raise - 64), 0u);
    const size_t gap = snapshot.GapBelow(raise + 1000);
    EXPECT_GT(gap, 1000u) << "reaching below the raise";
    EXPECT_LT(gap, 1000u + 4096u) << "not much further";
}

struct TThrowTiming {
    bool keeping;
    double secondsPerThrow = 0;
};

constexpr int kTimedThrows = 2000;

DWORD WINAPI TimeThrows(void* parameter)
{
    auto& timing = *static_cast<TThrowTiming*>(parameter);
    TThrowSnapshot snapshot;
    const TThrowSnapshotScope scope(snapshot);
    if (!timing.keeping)
        snapshot.Freeze();
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int round = 0; round < kTimedThrows; ++round) {
        try {
            uintptr_t area = 0;
            CallThrowWithMarkedFrame(&area);
        } catch (const std::runtime_error&) {
            // Caught at once, as the library's own errors are.
        }
    }
    QueryPerformanceCounter(&end);
    timing.secondsPerThrow =
        static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / kTimedThrows;
    return 0;
}

double SecondsPerThrow(bool keeping)
{
    TThrowTiming timing{keeping};
    const HANDLE thread = CreateThread(nullptr, 0, &TimeThrows, &timing, 0, nullptr);
    EXPECT_TRUE(thread);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    return timing.secondsPerThrow;
}

// Throws of the library's own errors happen in normal operation: keeping the stack adds a
// registers record and a copy of the thread's used stack, nothing allocated.
TEST(ThrowSnapshot, KeepingTheRaisesStackCostsLittlePerThrow)
{
    const double plain = SecondsPerThrow(false);
    const double keeping = SecondsPerThrow(true);
    std::printf("per throw: %.2f us without the stack kept, %.2f us with it\n", plain * 1e6, keeping * 1e6);
    EXPECT_LT(keeping - plain, 20e-6) << "seconds more per throw";
}

} // namespace
