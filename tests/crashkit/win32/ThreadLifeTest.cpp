// Threads that end by setting their "finished" event from system code.
#include "win32/ThreadLife.h"

#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <memory>

namespace {

using THandle = std::unique_ptr<void, decltype(&CloseHandle)>;

THandle Owned(HANDLE handle)
{
    return THandle(handle, &CloseHandle);
}

struct TEnding {
    HANDLE finished = nullptr;
    std::atomic<bool> ranOn{false};
};

unsigned __stdcall EndByFinishThread(void* argument)
{
    auto* ending = static_cast<TEnding*>(argument);
    FinishThread(ending->finished);
    ending->ranOn = true;
    return 7;
}

TEST(ThreadExit, TheEventIsSetAndTheThreadEndsWithoutReturningToItsEntry)
{
    const THandle finished = Owned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TEnding ending{finished.get()};
    const THandle thread = Owned(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &EndByFinishThread, &ending, 0, nullptr)));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 5000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(finished.get(), 0));
    EXPECT_FALSE(ending.ranOn);
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &exitCode));
    EXPECT_EQ(0u, exitCode);
}

// How many handles the system counts for the object behind this one; 0 when it cannot tell.
ULONG HandlesOfObject(HANDLE handle)
{
    // The basic information block of the system's object query: attributes, granted
    // access, handle count, then fields this test does not read.
    struct TBasicInformation {
        ULONG attributes;
        ACCESS_MASK grantedAccess;
        ULONG handleCount;
        ULONG rest[11];
    };
    using TQueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<TQueryObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject")));
    TBasicInformation information{};
    if (!query || query(handle, 0, &information, sizeof information, nullptr) != 0)
        return 0;
    return information.handleCount;
}

TEST(ThreadExit, TheHandleTheExitSetsIsClosed)
{
    const THandle finished = Owned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_EQ(1u, HandlesOfObject(finished.get()));
    for (int round = 0; round < 5; ++round) {
        ResetEvent(finished.get());
        TEnding ending{finished.get()};
        const THandle thread =
            Owned(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &EndByFinishThread, &ending, 0, nullptr)));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 5000));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(finished.get(), 0));
    }
    EXPECT_EQ(1u, HandlesOfObject(finished.get())) << "a handle of the event was left open";
}

} // namespace
