#include "handlers/win/ThreadPause.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "../FakeHandlerException.h"
#include "handlers/win/LibraryThreadRegistry.h"
#include "handlers/win/MainThreadHandlers.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

std::atomic<int> hookInstalls{0};

void CountHookInstall()
{
    ++hookInstalls;
}

// This program carries the debug-information marker; the system's modules do not.
void RoutineInThisProgram() {}

// A thread that passes the gate in a loop, as a message loop through the hooks would.
class TGatedThread {
public:
    // As the main thread, it makes itself the library's main thread; as a library thread, it
    // registers itself as one.
    explicit TGatedThread(const void* entryStart, bool asMainThread = false, bool asLibraryThread = false)
        : thread_([this, asMainThread, asLibraryThread] {
              std::optional<TLibraryThreadRegistration> registration;
              if (asLibraryThread)
                  registration.emplace();
              id_ = GetCurrentThreadId();
              if (asMainThread)
                  MainThreadHandlers().Start();
              started_ = true;
              while (!stop_) {
                  ThreadPause().Gate();
                  ++passes_;
                  Sleep(1);
                  MSG message;
                  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                      DispatchMessageW(&message);
              }
              if (asMainThread)
                  MainThreadHandlers().Stop();
          })
    {
        while (!started_)
            Sleep(1);
        if (entryStart)
            SetThreadEntry(id_, nullptr, u"gated", GetCurrentThreadId(), entryStart, {});
    }
    ~TGatedThread()
    {
        stop_ = true;
        thread_.join();
        SetThreadEntry(id_, nullptr, {}, 0, nullptr, {});
    }
    TGatedThread(const TGatedThread&) = delete;
    TGatedThread& operator=(const TGatedThread&) = delete;

    DWORD Id() const { return id_; }
    // Whether the loop goes on within a while.
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
    std::atomic<DWORD> id_{0};
    std::thread thread_;
};

// Resumes the paused threads when the test ends, before the threads it holds are joined.
struct TResumeAtEnd {
    TResumeAtEnd() = default;
    ~TResumeAtEnd() { ThreadPause().Pause(false, 0); }
    TResumeAtEnd(const TResumeAtEnd&) = delete;
    TResumeAtEnd& operator=(const TResumeAtEnd&) = delete;
};

bool Contains(const std::vector<DWORD>& ids, DWORD id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

class ThreadPauseTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed);
        ThreadPause().SetHookInstaller(CountHookInstall);
    }
    static void TearDownTestSuite()
    {
        ThreadPause().Pause(false, 0);
        ThreadNameBuffer().Close();
    }
    void TearDown() override { ThreadPause().Pause(false, 0); }
};

TEST_F(ThreadPauseTest, OnlyThreadsStartedInModulesWithDebugInformationArePaused)
{
    ASSERT_TRUE(IsPausableStart(reinterpret_cast<const void*>(&RoutineInThisProgram)));
    const void* systemRoutine = reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Sleep"));
    ASSERT_FALSE(IsPausableStart(systemRoutine));
    EXPECT_FALSE(IsPausableStart(nullptr));

    const TGatedThread ours(reinterpret_cast<const void*>(&RoutineInThisProgram));
    const TGatedThread system(systemRoutine);
    const TGatedThread unnamed(nullptr);
    ThreadPause().Pause(true, 0);
    SetLastError(1234);
    ThreadPause().Gate(); // this thread passes, its last error untouched
    EXPECT_EQ(GetLastError(), 1234u);
    const std::vector<DWORD> paused = ThreadPause().PausedThreads();
    EXPECT_TRUE(Contains(paused, ours.Id()));
    EXPECT_FALSE(Contains(paused, system.Id()));
    EXPECT_FALSE(Contains(paused, unnamed.Id()));
    EXPECT_FALSE(Contains(paused, GetCurrentThreadId()));
    EXPECT_FALSE(ours.Runs());
    EXPECT_TRUE(system.Runs());
    EXPECT_TRUE(unnamed.Runs());

    ThreadPause().Pause(false, 0);
    EXPECT_TRUE(ours.Runs());
    EXPECT_TRUE(ThreadPause().PausedThreads().empty());
    EXPECT_EQ(hookInstalls, 1);
}

TEST_F(ThreadPauseTest, TheThreadToKeepRunsOn)
{
    const TGatedThread kept(reinterpret_cast<const void*>(&RoutineInThisProgram));
    ThreadPause().Pause(true, kept.Id());
    EXPECT_FALSE(Contains(ThreadPause().PausedThreads(), kept.Id()));
    EXPECT_TRUE(kept.Runs());
}

TEST_F(ThreadPauseTest, TheLibrarysOwnThreadsRunOn)
{
    const TGatedThread builder(reinterpret_cast<const void*>(&RoutineInThisProgram), false, true);
    EXPECT_TRUE(IsRegisteredLibraryThread(builder.Id()));
    ThreadPause().Pause(true, 0);
    EXPECT_FALSE(Contains(ThreadPause().PausedThreads(), builder.Id()));
    EXPECT_TRUE(builder.Runs());
}

DWORD WINAPI RegisterAndWait(void* release)
{
    const TLibraryThreadRegistration registration;
    WaitForSingleObject(release, INFINITE);
    return 0;
}

TEST(LibraryThreadRegistry, ThreadsLeaveWhenTheyEndAndAreForgottenWhenTerminated)
{
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD leaving = 0;
    DWORD terminated = 0;
    const HANDLE first = CreateThread(nullptr, 0, RegisterAndWait, release, 0, &leaving);
    const HANDLE second = CreateThread(nullptr, 0, RegisterAndWait, release, 0, &terminated);
    ASSERT_TRUE(first && second);
    for (int i = 0; i < 500 && RegisteredLibraryThreads().size() < 2; ++i)
        Sleep(2);
    EXPECT_TRUE(IsRegisteredLibraryThread(leaving));
    EXPECT_TRUE(IsRegisteredLibraryThread(terminated));
    EXPECT_FALSE(IsRegisteredLibraryThread(GetCurrentThreadId()));

    TerminateThread(second, 1);
    WaitForSingleObject(second, 5000);
    EXPECT_FALSE(IsRegisteredLibraryThread(terminated));
    EXPECT_TRUE(IsRegisteredLibraryThread(leaving));
    SetEvent(release);
    WaitForSingleObject(first, 5000);
    EXPECT_TRUE(RegisteredLibraryThreads().empty());
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(release);
}

TEST_F(ThreadPauseTest, TheMainThreadWaitsAtItsGateUntilACallLetsItPass)
{
    EXPECT_FALSE(ThreadPause().LetMainThreadPass()); // not paused: the gate is open
    const TGatedThread mainThread(reinterpret_cast<const void*>(&RoutineInThisProgram), true);
    ASSERT_EQ(MainThreadHandlers().ThreadId(), mainThread.Id());
    ThreadPause().Pause(true, 0);
    EXPECT_FALSE(Contains(ThreadPause().PausedThreads(), mainThread.Id())); // its own gate holds it
    EXPECT_FALSE(mainThread.Runs());

    EXPECT_TRUE(ThreadPause().LetMainThreadPass());
    EXPECT_TRUE(mainThread.Runs());
    EXPECT_FALSE(ThreadPause().LetMainThreadPass()); // open already
    ThreadPause().CloseMainThreadGate();
    EXPECT_FALSE(mainThread.Runs());

    ThreadPause().Pause(false, 0);
    EXPECT_TRUE(mainThread.Runs());
}

std::atomic<DWORD> mainHandlerThread{0};

void OnMainThread(IHandlerException&, uint8_t, bool&)
{
    mainHandlerThread = GetCurrentThreadId();
}

TEST_F(ThreadPauseTest, APausedMainThreadIsLetThroughForItsHandlersAndHeldAgainAfter)
{
    const TGatedThread mainThread(reinterpret_cast<const void*>(&RoutineInThisProgram), true);
    ASSERT_TRUE(HandlerLists().Add(THandlerKind::Exception, OnMainThread, THandlerThread::Main, 0));
    const TResumeAtEnd resume;
    ThreadPause().Pause(true, 0);
    ASSERT_FALSE(mainThread.Runs());

    TFakeException exception;
    exception.pausesThreads = true;
    bool handled = false;
    const ULONGLONG start = GetTickCount64();
    FireHandlers(nullptr, THandlerKind::Exception, 0, handled, exception);
    EXPECT_EQ(mainHandlerThread, mainThread.Id());
    EXPECT_LT(GetTickCount64() - start, TMainThreadHandlers::kProbeTimeoutMs); // answered, no time-out
    EXPECT_FALSE(mainThread.Runs());
    HandlerLists().Clear();
}

} // namespace
