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

void* originalGet = nullptr;

BOOL WINAPI CountingGetW(LPMSG message, HWND window, UINT first, UINT last)
{
    ++replacementCalls;
    return reinterpret_cast<decltype(&GetMessageW)>(originalGet)(message, window, first, last);
}

class ImportHooksTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed); }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }
    void SetUp() override { ASSERT_NE(standIn.Get(), nullptr); }

    TStandInModule standIn{L"capture_standin.dll"};
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

// An import stub "jmp [cell]" as a linker writes one, with its cell beside it.
class TImportStub {
public:
    explicit TImportStub(void* target)
        : code_(static_cast<uint8_t*>(VirtualAlloc(nullptr, 64, MEM_COMMIT, PAGE_EXECUTE_READWRITE)))
    {
        void** cell = Cell();
        *cell = target;
        code_[0] = 0xFF;
        code_[1] = 0x25;
#if defined(__x86_64__)
        const auto displacement = static_cast<int32_t>(reinterpret_cast<uint8_t*>(cell) - (code_ + 6));
#else
        const auto displacement = static_cast<int32_t>(reinterpret_cast<uintptr_t>(cell));
#endif
        memcpy(code_ + 2, &displacement, sizeof displacement);
    }
    ~TImportStub() { VirtualFree(code_, 0, MEM_RELEASE); }
    TImportStub(const TImportStub&) = delete;
    TImportStub& operator=(const TImportStub&) = delete;

    const void* Code() const { return code_; }
    void** Cell() const { return reinterpret_cast<void**>(code_ + 32); }

private:
    uint8_t* code_;
};

TEST_F(ImportHooksTest, AnImportStubGivenAsTheRoutineIsRedirectedToo)
{
    void* const original = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetMessageW"));
    const TImportStub stub(original);
    originalGet = original;
    TImportHook hook{"user32.dll", "GetMessageW", stub.Code(), reinterpret_cast<const void*>(&CountingGetW)};
    ASSERT_TRUE(HookImport(hook, true));
    EXPECT_EQ(*stub.Cell(), reinterpret_cast<const void*>(&CountingGetW));
    UnhookImport(hook, true);
    EXPECT_EQ(*stub.Cell(), original);
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

// An image in memory with three import descriptors, the second damaged (its table lies
// outside the image): the walk must stop there.
class TDamagedImage {
public:
    static constexpr DWORD kSize = 0x10000;

    TDamagedImage() : base_(static_cast<uint8_t*>(VirtualAlloc(nullptr, kSize, MEM_COMMIT, PAGE_READWRITE)))
    {
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base_);
        dos->e_magic = IMAGE_DOS_SIGNATURE;
        dos->e_lfanew = 0x80;
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base_ + 0x80);
        nt->Signature = IMAGE_NT_SIGNATURE;
        nt->OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR_MAGIC;
        nt->OptionalHeader.SizeOfImage = kSize;
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT] = {0x1000, 4 * sizeof(IMAGE_IMPORT_DESCRIPTOR)};
        auto* descriptors = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base_ + 0x1000);
        const DWORD tables[] = {0x3000, 0x20000, 0x3100};
        for (size_t i = 0; i < 3; ++i) {
            descriptors[i].Name = 0x2000;
            descriptors[i].FirstThunk = tables[i];
        }
    }
    ~TDamagedImage() { VirtualFree(base_, 0, MEM_RELEASE); }
    TDamagedImage(const TDamagedImage&) = delete;
    TDamagedImage& operator=(const TDamagedImage&) = delete;

    HMODULE Module() const { return reinterpret_cast<HMODULE>(base_); }
    void*& Entry(DWORD rva, size_t index) const { return reinterpret_cast<void**>(base_ + rva)[index]; }

private:
    uint8_t* base_;
};

TEST_F(ImportHooksTest, TheWalkEndsAtADescriptorWhoseTableLiesOutsideTheImage)
{
    const TDamagedImage image;
    int from = 0;
    int other = 0;
    int to = 0;
    image.Entry(0x3000, 0) = &other;
    image.Entry(0x3000, 1) = &from;
    image.Entry(0x3100, 0) = &from;
    bool damaged = false;
    EXPECT_EQ(ReplaceImportEntries(image.Module(), &from, &to, &damaged), 1u);
    EXPECT_TRUE(damaged);
    EXPECT_EQ(image.Entry(0x3000, 0), &other);
    EXPECT_EQ(image.Entry(0x3000, 1), &to);
    EXPECT_EQ(image.Entry(0x3100, 0), &from); // behind the damaged descriptor

    bool standInDamaged = false;
    const void* peek = reinterpret_cast<const void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "PeekMessageW"));
    EXPECT_EQ(ReplaceImportEntries(standIn.Get(), peek, peek, &standInDamaged), 1u);
    EXPECT_FALSE(standInDamaged);
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
