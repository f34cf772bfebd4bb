#include "ThreadTrace.h"

#include "GuardedRead.h"
#include "LiveProcess.h"
#include "LiveStackTrace.h"
#include "MachineState.h"
#include "WinHandle.h"
#include "engine/win/ProcessLists.h"

namespace {

TThreadTrace Traced(TStackTraceResult result)
{
    const bool accessible = !result.text.empty() || !result.items.empty();
    return {accessible, std::move(result)};
}

TThreadTrace TraceLiveThread(const TReportThread& traced, const ICodeNamer& namer, const TStackTraceOptions& options)
{
    if (traced.threadId == GetCurrentThreadId())
        return Traced(TraceCurrentThread(namer, options, traced.startAddress));
    TWinHandle thread(
        OpenThreadHandle(traced.threadId, THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION));
    if (!thread)
        thread.Reset(OpenThreadHandle(traced.threadId, THREAD_GET_CONTEXT));
    if (!thread)
        return {};
    return Traced(TraceOtherThread(thread.Get(), namer, options, traced.startAddress));
}

#if defined(__i386__)

// The registers were saved when the exception was raised; the thread waits for its report,
// so its stack above the saved stack pointer is still that of the exception.
TThreadTrace TraceSavedContext(const CONTEXT& context, uintptr_t exceptAddress, uintptr_t threadStart,
                               const ICodeNamer& namer, TStackTraceOptions options)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(context.Esp)), &region, sizeof region) !=
        sizeof region)
        return {};
    TStackRegisters registers;
    registers.instruction = static_cast<CodeAddress>(exceptAddress ? exceptAddress : context.Eip);
    registers.stackPointer = context.Esp;
    registers.framePointer = context.Ebp;
    registers.stackTop = static_cast<CodeAddress>(reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize);
    registers.threadStart = static_cast<CodeAddress>(threadStart);
    // At the faulting instruction itself the exception follows no call.
    options.exactAddress = registers.instruction == context.Eip;
    options.notAfterRaisingCall = options.notAfterRaisingCall || options.exactAddress;
    options.noExceptionAddress = registers.instruction == 0 && !options.exactAddress;
    namer.Prepare();
    const TDATryRead readable = GetReadableRanges();
    const TLiveProcess process(&readable);
    const TStackTraceLock lock;
    return Traced(TraceStack(process, namer, registers, WithProcessFunctions(options), lock));
}

#else

// The system's unwinder from the saved registers, the exception's own address first.
TThreadTrace TraceSavedContext(const CONTEXT& saved, uintptr_t exceptAddress, uintptr_t, const ICodeNamer& namer,
                               TStackTraceOptions options)
{
    const TDATryRead readable = GetReadableRanges();
    std::vector<TItemAddress> addresses;
    if (exceptAddress != 0 && exceptAddress != saved.Rip)
        addresses.push_back(exceptAddress);
    UnwindReturnAddresses(saved, readable, addresses);
    namer.Prepare();
    const TStackTraceLock lock;
    return Traced(ComposeStackTrace(namer, addresses, options));
}

#endif

} // namespace

TThreadTrace TraceReportThread(const TReportThread& thread, const std::optional<CONTEXT>& context,
                               uintptr_t exceptAddress, const ICodeNamer& namer, const TStackTraceOptions& options)
{
    if (thread.exceptionThread && context) {
        TThreadTrace trace = TraceSavedContext(*context, exceptAddress, thread.startAddress, namer, options);
        if (trace.accessible)
            return trace;
    }
    return TraceLiveThread(thread, namer, options);
}
