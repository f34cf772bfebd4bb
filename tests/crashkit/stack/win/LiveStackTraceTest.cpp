// Live traces of this process's threads (the scan on i686, the system's unwinder on x86_64).
// The expected chain is what the compiler reports as each level's return address, not what
// the tracer finds.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "AlertProgress.h"
#include "LiveStackTrace.h"
#include "ProcessNamer.h"

namespace {

constexpr uint32_t kFunctionReach = 0x400;

struct TLevels {
    std::array<TItemAddress, 3> returns{}; // into LevelTwo, LevelOne and the caller of LevelOne
    TStackTraceResult result;
};

// Names the level functions of this test only; everything else is unnamed code of the module.
class TLevelNamer : public ICodeNamer {
public:
    void Add(const void* function, const char16_t* name)
    {
        functions_.push_back({reinterpret_cast<uintptr_t>(function), name});
    }

    std::optional<TCodeName> Name(TItemAddress address) const override
    {
        for (const auto& [start, name] : functions_) {
            if (address >= start && address - start < kFunctionReach)
                return TCodeName{u"tests", u"", name, start, 0, false};
        }
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(address)), &module) ||
            module != GetModuleHandleW(nullptr))
            return std::nullopt;
        return TCodeName{u"tests", u"", u"", 0, 0, false};
    }

private:
    std::vector<std::pair<TItemAddress, const char16_t*>> functions_;
};

TLevelNamer* Namer();
HANDLE gReady = nullptr;
HANDLE gRelease = nullptr;

TItemAddress Low(void* address)
{
    return reinterpret_cast<uintptr_t>(address);
}

// The innermost level traces its own thread, or (waiting) lets the main thread trace it.
__attribute__((noinline, optimize("no-omit-frame-pointer"))) void LevelThree(TLevels& levels, bool wait)
{
    levels.returns[0] = Low(__builtin_return_address(0));
    if (wait) {
        SetEvent(gReady);
        WaitForSingleObject(gRelease, INFINITE);
    } else {
        levels.result = TraceCurrentThread(*Namer(), {});
    }
    asm volatile("" ::: "memory");
}

__attribute__((noinline, optimize("omit-frame-pointer"))) void LevelTwo(TLevels& levels, bool wait)
{
    levels.returns[1] = Low(__builtin_return_address(0));
    LevelThree(levels, wait);
    asm volatile("" ::: "memory");
}

__attribute__((noinline, optimize("no-omit-frame-pointer"))) void LevelOne(TLevels& levels, bool wait)
{
    levels.returns[2] = Low(__builtin_return_address(0));
    LevelTwo(levels, wait);
    asm volatile("" ::: "memory");
}

TLevelNamer* Namer()
{
    static TLevelNamer namer = [] {
        TLevelNamer made;
        made.Add(reinterpret_cast<const void*>(&LevelOne), u"LevelOne");
        made.Add(reinterpret_cast<const void*>(&LevelTwo), u"LevelTwo");
        made.Add(reinterpret_cast<const void*>(&LevelThree), u"LevelThree");
        return made;
    }();
    return &namer;
}

std::vector<TItemAddress> Addresses(const TStackTraceResult& result)
{
    std::vector<TItemAddress> addresses;
    for (const TStackItem& item : result.items)
        addresses.push_back(item.address);
    return addresses;
}

std::string Text(const TStackTraceResult& result)
{
    std::string text;
    for (const char16_t c : result.text)
        text += static_cast<char>(c);
    return text;
}

TEST(LiveStackTrace, CurrentThreadListsEveryLevelOnce)
{
    TLevels levels;
    LevelOne(levels, false);
    const std::vector<TItemAddress> addresses = Addresses(levels.result);
    // The most recent item is the return into LevelThree; then LevelTwo and LevelOne.
    ASSERT_GE(addresses.size(), 2u) << Text(levels.result);
    EXPECT_EQ(u"LevelThree", levels.result.items[0].functionName) << Text(levels.result);
    const auto two = std::find(addresses.begin(), addresses.end(), levels.returns[0]);
    ASSERT_NE(addresses.end(), two) << Text(levels.result);
    ASSERT_NE(addresses.end(), two + 1) << Text(levels.result);
    EXPECT_EQ(levels.returns[1], *(two + 1)) << Text(levels.result);
    EXPECT_EQ(1, std::count(addresses.begin(), addresses.end(), levels.returns[1]));
}

TEST(LiveStackTrace, MovesTheProgressAlertToTheEnd)
{
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Tracing", nullptr, L"");
    alert->AddArea(L"Threads", 1);
    TAlertProgress progress(alert);
    TStackTraceOptions options;
    options.progress = &progress;
    TraceCurrentThread(*Namer(), options);
    EXPECT_EQ(1000, alert->GetPosition());
}

struct THandle {
    HANDLE handle;
    explicit THandle(HANDLE h) : handle(h) {}
    ~THandle()
    {
        if (handle)
            CloseHandle(handle);
    }
};

// A handle of the thread's own, for the tracer; nil when it cannot be made.
HANDLE OwnHandleOf(std::thread& thread)
{
    HANDLE handle = nullptr;
    DuplicateHandle(GetCurrentProcess(), pthread_gethandle(thread.native_handle()), GetCurrentProcess(), &handle, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    return handle;
}

// A thread waiting inside LevelThree until it is released; released and joined at the end.
class TWaitingLevels {
public:
    TWaitingLevels()
    {
        gReady = ready_.handle;
        gRelease = release_.handle;
        worker_ = std::thread([this] { LevelOne(levels_, true); });
        waiting_ = WaitForSingleObject(ready_.handle, 10000) == WAIT_OBJECT_0;
        thread_.handle = OwnHandleOf(worker_);
    }
    ~TWaitingLevels() { Release(); }
    TWaitingLevels(const TWaitingLevels&) = delete;
    TWaitingLevels& operator=(const TWaitingLevels&) = delete;

    bool Waiting() const { return waiting_ && thread_.handle; }
    HANDLE Thread() const { return thread_.handle; }
    const TLevels& Levels() const { return levels_; }
    void Release()
    {
        SetEvent(release_.handle);
        if (worker_.joinable())
            worker_.join();
    }

private:
    THandle ready_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    THandle release_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    TLevels levels_;
    std::thread worker_;
    bool waiting_ = false;
    THandle thread_{nullptr};
};

TEST(LiveStackTrace, SuspendedThreadShowsItsWaitingChain)
{
    TWaitingLevels waiting;
    ASSERT_TRUE(waiting.Waiting());
    const TStackTraceResult result = TraceOtherThread(waiting.Thread(), *Namer(), {});
    waiting.Release();
    const TLevels& levels = waiting.Levels();
    const std::vector<TItemAddress> addresses = Addresses(result);
    const auto two = std::find(addresses.begin(), addresses.end(), levels.returns[0]);
    ASSERT_NE(addresses.end(), two) << Text(result);
    ASSERT_NE(addresses.end(), two + 1) << Text(result);
    EXPECT_EQ(levels.returns[1], *(two + 1)) << Text(result);
    // The waiting instruction is outside this module: listed first, as "???".
    ASSERT_FALSE(result.items.empty());
    EXPECT_EQ(u"???", result.items[0].moduleName) << Text(result);
}

TEST(LiveStackTrace, SystemCodeWithoutDebugInformationCarriesItsExportNames)
{
    const THandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread worker([&release] { WaitForSingleObject(release.handle, 10000); });
    const THandle owned(OwnHandleOf(worker));
    const HANDLE thread = owned.handle;
    ASSERT_NE(thread, nullptr);
    // Until the worker waits, its instruction lies in the system's code.
    TStackTraceResult result;
    const TProcessNamer namer;
    for (int attempt = 0; attempt < 50; ++attempt) {
        result = TraceOtherThread(thread, namer, {});
        if (!result.items.empty() && result.items[0].moduleName != u"???")
            break;
        Sleep(10);
    }
    SetEvent(release.handle);
    worker.join();
    // Every named item of a system module names the export that the loader finds at its start.
    int exportNamed = 0;
    for (const TStackItem& item : result.items) {
        const std::wstring module(item.moduleName.begin(), item.moduleName.end());
        const HMODULE handle = GetModuleHandleW(module.c_str());
        if (!handle || handle == GetModuleHandleW(nullptr) || item.functionName.empty() || item.functionName[0] == u'#')
            continue;
        const std::string name(item.functionName.begin(), item.functionName.end());
        EXPECT_EQ(reinterpret_cast<uintptr_t>(GetProcAddress(handle, name.c_str())), item.address - item.relativeAddress)
            << name << "\n" << Text(result);
        EXPECT_TRUE(item.unitName.empty());
        EXPECT_EQ(0, item.line);
        ++exportNamed;
    }
    EXPECT_GT(exportNamed, 0) << Text(result);
}

TEST(LiveStackTrace, TracesWhileOtherThreadsStartAndEndNeverDeadlock)
{
    // Each thread that starts or ends runs the libraries' thread notifications under the
    // loader's lock and allocates there; a trace that stopped a thread and then waited for
    // a heap or the loader would sooner or later wait for such a thread, and it for the trace.
    TWaitingLevels waiting;
    ASSERT_TRUE(waiting.Waiting());
    std::atomic<bool> churning{true};
    std::atomic<int> churned{0};
    std::thread churn([&] {
        while (churning) {
            std::thread([] {}).join();
            ++churned;
        }
    });
    // A bounded number of traces rather than a time: the churn floods the wineserver that the
    // other tests share, so it lasts only as long as the traces need.
    constexpr int kTraces = 200;
    int traces = 0;
    std::atomic<bool> allFound{true};
    std::thread tracer([&] {
        while (traces < kTraces) {
            const std::vector<TItemAddress> addresses =
                Addresses(TraceOtherThread(waiting.Thread(), *Namer(), {}));
            if (std::find(addresses.begin(), addresses.end(), waiting.Levels().returns[0]) == addresses.end())
                allFound = false;
            ++traces;
        }
    });
    const HANDLE tracerHandle = pthread_gethandle(tracer.native_handle());
    if (WaitForSingleObject(tracerHandle, 30000) != WAIT_OBJECT_0) {
        // Whatever allocates may wait for the stuck tracer: the message goes out unformatted.
        const char message[] = "the tracer is stuck: a deadlock\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), message, sizeof message - 1, &written, nullptr);
        TerminateProcess(GetCurrentProcess(), 3); // nothing else could end this process
    }
    tracer.join();
    churning = false;
    churn.join();
    waiting.Release();
    EXPECT_GT(churned.load(), 0) << "threads started and ended while the traces ran";
    EXPECT_TRUE(allFound) << "every trace shows the waiting chain";
}

} // namespace
