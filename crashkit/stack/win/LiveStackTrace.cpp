#include "LiveStackTrace.h"

#include <algorithm>
#include <vector>

#include "GuardedRead.h"
#include "LiveProcess.h"

namespace {

constexpr ULONG kThreadBasicInformation = 0;

// What NtQueryInformationThread reports of a thread in its basic class.
struct TThreadBasics {
    LONG exitStatus;
    void* environmentBlock;
    void* processId;
    void* threadId;
    ULONG_PTR affinity;
    LONG priority;
    LONG basePriority;
};

using TQueryThread = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

CodeAddress Low(const void* pointer)
{
    return static_cast<CodeAddress>(reinterpret_cast<uintptr_t>(pointer));
}

// The stack base of a thread from its environment block; 0 when unknown.
CodeAddress StackTopOf(HANDLE thread, const TDATryRead& readable)
{
    const auto query = reinterpret_cast<TQueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    TThreadBasics basics{};
    if (!query || query(thread, kThreadBasicInformation, &basics, sizeof basics, nullptr) != 0)
        return 0;
    NT_TIB block{};
    if (!TryRead(reinterpret_cast<uintptr_t>(basics.environmentBlock), &block, sizeof block, &readable))
        return 0;
    return Low(block.StackBase);
}

// Every heap of the process, locked for the lifetime of this object.
class THeapLocks {
public:
    THeapLocks()
    {
        heaps_.resize(64);
        DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps_.size()), heaps_.data());
        if (count > heaps_.size()) {
            heaps_.resize(count);
            count = GetProcessHeaps(count, heaps_.data());
        }
        heaps_.resize(std::min<size_t>(count, heaps_.size()));
        for (HANDLE heap : heaps_) {
            if (HeapLock(heap))
                locked_.push_back(heap);
        }
    }
    ~THeapLocks()
    {
        for (HANDLE heap : locked_)
            HeapUnlock(heap);
    }
    THeapLocks(const THeapLocks&) = delete;
    THeapLocks& operator=(const THeapLocks&) = delete;

private:
    std::vector<HANDLE> heaps_;
    std::vector<HANDLE> locked_;
};

class TSuspension {
public:
    explicit TSuspension(HANDLE thread) : thread_(thread), suspended_(SuspendThread(thread) != static_cast<DWORD>(-1)) {}
    ~TSuspension()
    {
        if (suspended_)
            ResumeThread(thread_);
    }
    TSuspension(const TSuspension&) = delete;
    TSuspension& operator=(const TSuspension&) = delete;
    bool Suspended() const { return suspended_; }

private:
    HANDLE thread_;
    bool suspended_;
};

} // namespace

__attribute__((noinline)) TStackTraceResult TraceCurrentThread(const ICodeNamer& namer,
                                                              const TStackTraceOptions& options)
{
    const TDATryRead readable = GetReadableRanges();
    const TLiveProcess process(&readable);
    TStackRegisters registers;
    registers.instruction = Low(__builtin_return_address(0));
    registers.stackPointer = Low(__builtin_frame_address(0));
    registers.stackTop = StackTopOf(GetCurrentThread(), readable);
    const TStackTraceLock lock;
    return TraceStack(process, namer, registers, options, lock);
}

TStackTraceResult TraceOtherThread(HANDLE thread, const ICodeNamer& namer, const TStackTraceOptions& options)
{
    const TDATryRead readable = GetReadableRanges();
    const TLiveProcess process(&readable);
    const CodeAddress stackTop = StackTopOf(thread, readable);
    if (stackTop == 0)
        return {};
    // The trace allocates from heaps that this thread holds locked while the other is stopped.
    namer.Prepare();
    const TStackTraceLock lock;
    const THeapLocks heaps;
    const TSuspension suspension(thread);
    if (!suspension.Suspended())
        return {};
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (!GetThreadContext(thread, &context))
        return {};
    TStackRegisters registers;
#if defined(_M_IX86) || defined(__i386__)
    registers.instruction = context.Eip;
    registers.stackPointer = context.Esp;
    registers.framePointer = context.Ebp;
#else
    registers.instruction = static_cast<CodeAddress>(context.Rip);
    registers.stackPointer = static_cast<CodeAddress>(context.Rsp);
    registers.framePointer = static_cast<CodeAddress>(context.Rbp);
#endif
    registers.stackTop = stackTop;
    return TraceStack(process, namer, registers, options, lock);
}
