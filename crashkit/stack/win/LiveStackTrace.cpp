#include "LiveStackTrace.h"

#include <algorithm>
#include <vector>

#include "AnalysedFunctions.h"
#include "GuardedRead.h"
#include "LiveProcess.h"
#include "StackSnapshot.h"

namespace {

#if defined(__i386__)

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

// The most of a thread's stack, from its stack pointer up, that is copied while it is stopped.
constexpr std::size_t kLargestStackCopy = 16 * 1024 * 1024;

// The size of the stack a thread may grow to below its top; a megabyte when unknown.
std::size_t StackReserveBelow(CodeAddress stackTop)
{
    constexpr std::size_t kUsualReserve = 1024 * 1024;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(stackTop) - 1), &region, sizeof region) !=
            sizeof region ||
        !region.AllocationBase)
        return kUsualReserve;
    return stackTop - Low(region.AllocationBase);
}

#endif

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

TStackTraceOptions WithProcessFunctions(TStackTraceOptions options)
{
    if (!options.functions)
        options.functions = &TAnalysedFunctions::OfProcess();
    return options;
}

#if defined(__i386__)

__attribute__((noinline)) TStackTraceResult TraceCurrentThread(const ICodeNamer& namer,
                                                              const TStackTraceOptions& options,
                                                              TItemAddress threadStart)
{
    const TDATryRead readable = GetReadableRanges();
    const TLiveProcess process(&readable);
    TStackRegisters registers;
    registers.instruction = Low(__builtin_return_address(0));
    registers.stackPointer = Low(__builtin_frame_address(0));
    registers.stackTop = StackTopOf(GetCurrentThread(), readable);
    registers.threadStart = static_cast<CodeAddress>(threadStart);
    const TStackTraceLock lock;
    return TraceStack(process, namer, registers, WithProcessFunctions(options), lock);
}

TStackTraceResult TraceOtherThread(HANDLE thread, const ICodeNamer& namer, const TStackTraceOptions& options,
                                   TItemAddress threadStart)
{
    const TDATryRead readable = GetReadableRanges();
    const TLiveProcess process(&readable);
    const CodeAddress stackTop = StackTopOf(thread, readable);
    if (stackTop == 0)
        return {};
    namer.Prepare();
    const TStackTraceLock lock;
    TStackSnapshot stack(process, std::min(StackReserveBelow(stackTop), kLargestStackCopy));
    CONTEXT context{};
    {
        // Only the registers and a copy of the stack are taken while the thread is stopped:
        // nothing here allocates or takes a lock the thread might hold.
        const TSuspension suspension(thread);
        if (!suspension.Suspended())
            return {};
        context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
        if (!GetThreadContext(thread, &context))
            return {};
        stack.Take(context.Esp, stackTop);
    }
    TStackRegisters registers;
    registers.instruction = context.Eip;
    registers.stackPointer = context.Esp;
    registers.framePointer = context.Ebp;
    registers.stackTop = stackTop;
    registers.threadStart = static_cast<CodeAddress>(threadStart);
    return TraceStack(stack, namer, registers, WithProcessFunctions(options), lock);
}

#else

namespace {

// More frames than any real call stack: a damaged stack cannot make the walk endless.
constexpr size_t kMaxFrames = 1024;

} // namespace

void UnwindReturnAddresses(CONTEXT context, const TDATryRead& readable, std::vector<TItemAddress>& addresses)
{
    while (context.Rip != 0 && addresses.size() < kMaxFrames) {
        addresses.push_back(context.Rip);
        const DWORD64 stackPointer = context.Rsp;
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (function) {
            void* handlerData = nullptr;
            DWORD64 establisherFrame = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                             &establisherFrame, nullptr);
        } else {
            DWORD64 returnAddress = 0;
            if (!TryRead(context.Rsp, &returnAddress, sizeof returnAddress, &readable))
                break;
            context.Rip = returnAddress;
            context.Rsp += sizeof returnAddress;
        }
        if (context.Rsp <= stackPointer)
            break; // the stack only grows towards older frames
    }
}

// The unwinder's walk ends at the thread's first routine by itself.
__attribute__((noinline)) TStackTraceResult TraceCurrentThread(const ICodeNamer& namer,
                                                              const TStackTraceOptions& options, TItemAddress)
{
    const TDATryRead readable = GetReadableRanges();
    CONTEXT context{};
    RtlCaptureContext(&context);
    std::vector<TItemAddress> addresses;
    UnwindReturnAddresses(context, readable, addresses);
    // This routine's own frame is no part of the caller's stack.
    if (!addresses.empty())
        addresses.erase(addresses.begin());
    const TStackTraceLock lock;
    return ComposeStackTrace(namer, addresses, options);
}

TStackTraceResult TraceOtherThread(HANDLE thread, const ICodeNamer& namer, const TStackTraceOptions& options,
                                   TItemAddress)
{
    const TDATryRead readable = GetReadableRanges();
    namer.Prepare();
    const TStackTraceLock lock;
    std::vector<TItemAddress> addresses;
    // The walk then adds to the list without allocating while the thread is stopped.
    addresses.reserve(kMaxFrames);
    {
        const TSuspension suspension(thread);
        if (!suspension.Suspended())
            return {};
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        if (!GetThreadContext(thread, &context))
            return {};
        UnwindReturnAddresses(context, readable, addresses);
    }
    return ComposeStackTrace(namer, addresses, options);
}

#endif
