#include "serial/SyncDispatch.h"

#include "support/SerialPeer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// A registered method that records where and with what it ran.
struct TRecorder {
    std::atomic<int> runs{0};
    std::atomic<DWORD> threadId{0};
    std::atomic<int> lastValue{0};
    std::atomic<int32_t> lastIndex{0};
    uint32_t id = 0;
    bool disableWhileRunning = false;
    bool throwOnFirstRun = false;

    void Run(int32_t index, const void* record)
    {
        const int run = ++runs;
        threadId = GetCurrentThreadId();
        lastIndex = index;
        lastValue = record ? *static_cast<const int*>(record) : -1;
        if (disableWhileRunning)
            SafeSyncSetEnabled(id, false);
        if (throwOnFirstRun && run == 1)
            throw std::runtime_error("method failure");
    }
};

class SyncDispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        recorder_.id = SafeSyncRegister(MakeMethod<&TRecorder::Run>(&recorder_));
        ASSERT_NE(recorder_.id, 0u);
    }
    void TearDown() override { SafeSyncUnregister(recorder_.id); }

    // Calls from a worker thread while this (the owning) thread runs its messages.
    bool CallFromWorker(int value, uint32_t timeoutMs = 2000)
    {
        std::atomic<bool> done{false};
        bool result = false;
        std::thread worker([&] {
            result = SafeSyncCall(recorder_.id, timeoutMs, std::make_shared<int>(value));
            done = true;
        });
        PumpMessagesUntil([&] { return done.load(); }, 10000);
        worker.join();
        return result;
    }

    TRecorder recorder_;
};

TEST_F(SyncDispatch, RunsTheMethodOnTheOwningThreadWithTheCallersRecord)
{
    ASSERT_TRUE(SafeSyncSetEnabled(recorder_.id, true));
    EXPECT_TRUE(CallFromWorker(42));
    EXPECT_EQ(recorder_.runs, 1);
    EXPECT_EQ(recorder_.threadId, GetCurrentThreadId());
    EXPECT_EQ(recorder_.lastValue, 42);
    EXPECT_GE(recorder_.lastIndex, 1);
    EXPECT_LE(recorder_.lastIndex, kSafeSyncEntryCount);
    EXPECT_TRUE(CallFromWorker(43));
    EXPECT_EQ(recorder_.lastValue, 43) << "each call carries its own record";
}

TEST_F(SyncDispatch, DisabledOrUnknownEntriesAreNotCalled)
{
    EXPECT_FALSE(CallFromWorker(1)) << "a new entry starts disabled";
    EXPECT_FALSE(SafeSyncCall(0, 100));
    EXPECT_FALSE(SafeSyncCall(recorder_.id + 1000, 100));
    PumpMessagesFor(50);
    EXPECT_EQ(recorder_.runs, 0);
    EXPECT_FALSE(SafeSyncSetEnabled(0, true));
    EXPECT_FALSE(SafeSyncUnregister(0));
}

TEST_F(SyncDispatch, DisablingDuringTheCallMakesItFailAlthoughTheMethodRan)
{
    recorder_.disableWhileRunning = true;
    ASSERT_TRUE(SafeSyncSetEnabled(recorder_.id, true));
    EXPECT_FALSE(CallFromWorker(7));
    EXPECT_EQ(recorder_.runs, 1);
}

TEST_F(SyncDispatch, AFailingMethodDoesNotStopLaterCalls)
{
    recorder_.throwOnFirstRun = true;
    ASSERT_TRUE(SafeSyncSetEnabled(recorder_.id, true));
    CallFromWorker(1);
    EXPECT_TRUE(CallFromWorker(2));
    EXPECT_EQ(recorder_.runs, 2);
    EXPECT_EQ(recorder_.lastValue, 2);
}

TEST_F(SyncDispatch, ACallTheOwnerDoesNotTakeInTimeFailsAndIsNeverRunLate)
{
    ASSERT_TRUE(SafeSyncSetEnabled(recorder_.id, true));
    bool result = true;
    DWORD elapsed = 0;
    std::thread worker([&] {
        const DWORD start = GetTickCount();
        result = SafeSyncCall(recorder_.id, 300, std::make_shared<int>(5));
        elapsed = GetTickCount() - start;
    });
    worker.join(); // this thread runs no messages meanwhile
    EXPECT_FALSE(result);
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 1500u);
    PumpMessagesFor(200);
    EXPECT_EQ(recorder_.runs, 0) << "a call delivered after its sender gave up is dropped";
    EXPECT_TRUE(CallFromWorker(6));
    EXPECT_EQ(recorder_.lastValue, 6);
}

TEST(SyncDispatchTable, HoldsSixtyFourEntriesAndReusesAFreedOneWithANewId)
{
    TRecorder recorder;
    std::vector<uint32_t> ids;
    for (uint32_t id = SafeSyncRegister(MakeMethod<&TRecorder::Run>(&recorder)); id != 0;
         id = SafeSyncRegister(MakeMethod<&TRecorder::Run>(&recorder)))
        ids.push_back(id);
    EXPECT_EQ(ids.size(), static_cast<size_t>(kSafeSyncEntryCount)) << "entries leaked by earlier tests?";
    ASSERT_FALSE(ids.empty());
    EXPECT_TRUE(SafeSyncUnregister(ids[10]));
    EXPECT_FALSE(SafeSyncUnregister(ids[10]));
    const uint32_t reused = SafeSyncRegister(MakeMethod<&TRecorder::Run>(&recorder));
    EXPECT_NE(reused, 0u);
    for (const uint32_t id : ids)
        EXPECT_NE(reused, id);
    ids[10] = reused;
    for (const uint32_t id : ids)
        SafeSyncUnregister(id);
}

} // namespace
