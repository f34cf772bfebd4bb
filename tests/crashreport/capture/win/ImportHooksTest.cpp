#include "capture/win/ImportHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "StandInModules.h"
#include "capture/win/MessageHooks.h"
#include "capture/win/ThreadHooks.h"
#include "handlers/win/ThreadPause.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

using TPeek = BOOL (*)(MSG*);
using TCreate = HANDLE (*)(LPTHREAD_START_ROUTINE, void*, DWORD*);
using TQueue = BOOL (*)(LPTHREAD_START_ROUTINE, void*);

std::atomic<int> replacementCalls{0};
void* originalPeek = nullptr;

BOOL WINAPI CountingPeekW(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    ++replacementCalls;
    return reinterpret_cast<decltype(&PeekMessageW)>(originalPeek)(message, window, first, last, remove);
}

class ImportHooksTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed); }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }
    void SetUp() override { ASSERT_NE(standIn.Get(), nullptr); }

    TLoadedModule standIn{L"capture_standin.dll"};
};

TEST_F(ImportHooksTest, AHookReachesEveryModulesImportsAndGoesBack)
{
    EXPECT_TRUE(LibraryInMainProgram());
    const auto peek = standIn.Export<TPeek>("StandInPeekW");
    TImportHook hook{"user32.dll", "PeekMessageW", nullptr, reinterpret_cast<const void*>(&CountingPeekW)};
    ASSERT_TRUE(HookImport(hook, false)); // in the main program every module counts
    originalPeek = hook.original;
    EXPECT_EQ(hook.original, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "PeekMessageW")));
    MSG message;
    peek(&message);
    EXPECT_EQ(replacementCalls, 1);
    UnhookImport(hook, false);
    peek(&message);
    EXPECT_EQ(replacementCalls, 1);

    TImportHook missing{"user32.dll", "NoSuchFunction", nullptr, reinterpret_cast<const void*>(&CountingPeekW)};
    EXPECT_FALSE(HookImport(missing, true));
}

TEST_F(ImportHooksTest, OneModulesEntriesAreReplacedAndRestored)
{
    void* const original = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "PeekMessageA"));
    const auto replacement = reinterpret_cast<const void*>(&CountingPeekW);
    EXPECT_EQ(ReplaceImportEntries(standIn.Get(), original, replacement), 1u);
    EXPECT_EQ(ReplaceImportEntries(standIn.Get(), original, replacement), 0u);
    EXPECT_EQ(ReplaceImportEntries(standIn.Get(), replacement, original), 1u);
    EXPECT_EQ(ReplaceImportEntries(nullptr, original, replacement), 0u);
}

// Retrieves messages through the stand-in in a loop; its named start lies in this program.
class TPeekingThread {
public:
    explicit TPeekingThread(TPeek peek)
        : thread_([this, peek] {
              SetThreadEntry(GetCurrentThreadId(), nullptr, u"peeking", 0,
                             reinterpret_cast<const void*>(&LibraryInMainProgram), {});
              started_ = true;
              MSG message;
              while (!stop_) {
                  peek(&message);
                  ++passes_;
                  Sleep(1);
              }
              SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {});
          })
    {
        while (!started_)
            Sleep(1);
    }
    ~TPeekingThread()
    {
        stop_ = true;
        thread_.join();
    }
    TPeekingThread(const TPeekingThread&) = delete;
    TPeekingThread& operator=(const TPeekingThread&) = delete;

    bool Runs() const
    {
        const int before = passes_;
        Sleep(80);
        return passes_ - before > 1;
    }

private:
    std::atomic<bool> started_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> passes_{0};
    std::thread thread_;
};

TEST_F(ImportHooksTest, TheFirstPauseMakesMessageRetrievalPassThePauseGate)
{
    const TPeekingThread peeking(standIn.Export<TPeek>("StandInPeekW"));
    ThreadPause().Pause(false, 0);
    EXPECT_TRUE(peeking.Runs()); // nothing hooked yet, nothing paused

    ArmMessageHooks();
    ThreadPause().Pause(true, 0);
    EXPECT_FALSE(peeking.Runs());
    ThreadPause().Pause(false, 0);
    EXPECT_TRUE(peeking.Runs());

    RemoveMessageHooks();
    ThreadPause().Pause(true, 0);
    EXPECT_TRUE(peeking.Runs()); // no gate in its way any more
    ThreadPause().Pause(false, 0);
}

struct TRoutineState {
    HANDLE release;
    std::atomic<DWORD> thread{0};
    std::atomic<void*> context{nullptr};
};

DWORD WINAPI WaitForRelease(void* parameter)
{
    auto* state = static_cast<TRoutineState*>(parameter);
    state->thread = GetCurrentThreadId();
    WaitForSingleObject(state->release, 5000);
    return 31;
}

DWORD WINAPI NoteWorkItem(void* parameter)
{
    auto* state = static_cast<TRoutineState*>(parameter);
    state->context = parameter;
    SetEvent(state->release);
    return 0;
}

DWORD Finish(HANDLE thread)
{
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

TEST_F(ImportHooksTest, ThreadsOfOtherModulesAreListedWhileTheyRun)
{
    const auto create = standIn.Export<TCreate>("StandInCreateThread");
    ASSERT_TRUE(InstallThreadHooks());
    TRoutineState state{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    const HANDLE thread = create(WaitForRelease, &state, &id);
    ASSERT_NE(thread, nullptr);
    while (state.thread == 0)
        Sleep(1);
    EXPECT_EQ(state.thread, id);
    const auto entry = GetThreadEntry(id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->startAddress, reinterpret_cast<const void*>(&WaitForRelease));
    EXPECT_EQ(entry->creatorThreadId, GetCurrentThreadId());
    SetEvent(state.release);
    EXPECT_EQ(Finish(thread), 31u);
    EXPECT_FALSE(GetThreadEntry(id));

    // Work items run through the same start, without an entry.
    ResetEvent(state.release);
    ASSERT_TRUE(standIn.Export<TQueue>("StandInQueueWorkItem")(NoteWorkItem, &state));
    EXPECT_EQ(WaitForSingleObject(state.release, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(state.context, &state);

    RemoveThreadHooks();
    ResetEvent(state.release);
    state.thread = 0;
    const HANDLE unlisted = create(WaitForRelease, &state, &id);
    ASSERT_NE(unlisted, nullptr);
    while (state.thread == 0)
        Sleep(1);
    EXPECT_FALSE(GetThreadEntry(id));
    SetEvent(state.release);
    EXPECT_EQ(Finish(unlisted), 31u);
    CloseHandle(state.release);
}

TEST_F(ImportHooksTest, OnI686CreateThreadItselfIsRedirectedWhateverCallsIt)
{
#if defined(__i386__)
    ASSERT_TRUE(InstallThreadHooks());
    ASSERT_TRUE(ThreadCreationRedirected());
    // Reached without any import table.
    const auto create = reinterpret_cast<decltype(&CreateThread)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread")));
    TRoutineState state{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    const HANDLE thread = create(nullptr, 0, WaitForRelease, &state, 0, &id);
    ASSERT_NE(thread, nullptr);
    while (state.thread == 0)
        Sleep(1);
    const auto entry = GetThreadEntry(id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->startAddress, reinterpret_cast<const void*>(&WaitForRelease));
    SetEvent(state.release);
    EXPECT_EQ(Finish(thread), 31u);
    RemoveThreadHooks();
    EXPECT_FALSE(ThreadCreationRedirected());

    // Restored: a new thread is not listed.
    ResetEvent(state.release);
    state.thread = 0;
    const HANDLE unlisted = create(nullptr, 0, WaitForRelease, &state, 0, &id);
    ASSERT_NE(unlisted, nullptr);
    while (state.thread == 0)
        Sleep(1);
    EXPECT_FALSE(GetThreadEntry(id));
    SetEvent(state.release);
    EXPECT_EQ(Finish(unlisted), 31u);
    CloseHandle(state.release);
#else
    GTEST_SKIP() << "the code walk decodes 32-bit code; x86_64 hooks the imports of CreateThread";
#endif
}

#if defined(__i386__)
// A routine that leaves its parameter on the stack for its caller.
__attribute__((cdecl)) DWORD LeavesItsParameter(void* parameter)
{
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter)) + 1;
}
#endif

TEST_F(ImportHooksTest, ARoutineThatLeavesItsParameterOnTheStackStillEndsItsThread)
{
#if defined(__i386__)
    ASSERT_TRUE(InstallThreadHooks());
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(&LeavesItsParameter));
    EXPECT_EQ(CallThreadRoutine(routine, reinterpret_cast<void*>(41)), 42u);
    DWORD id = 0;
    const HANDLE thread = standIn.Export<TCreate>("StandInCreateThread")(routine, reinterpret_cast<void*>(6), &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(Finish(thread), 7u);
    EXPECT_FALSE(GetThreadEntry(id));
    RemoveThreadHooks();
#else
    GTEST_SKIP() << "x86_64 has one calling convention: no routine leaves its parameter on the stack";
#endif
}

} // namespace
