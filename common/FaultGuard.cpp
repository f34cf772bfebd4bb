#include "FaultGuard.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "ConduvexError.h"
#include "capture/SystemExceptionText.h"

namespace {

constexpr DWORD kSeverityMask = 0xF0000000;
constexpr DWORD kErrorSeverity = 0xC0000000; // system errors; software exceptions carry bit 29
// Unwinding to the guard would leave the stack without its guard page.
constexpr DWORD kStackOverflow = 0xC00000FD;
// Marks a guard frame on the stack, so that the handler of one image can see a guard of another
// image that lies deeper.
constexpr uint64_t kFrameMark = 0x47554152444D4B31ull;

struct TGuardFrame {
    volatile uint64_t mark = kFrameMark; // cleared as the guard ends, so no stale frame is seen
    const TGuardFrame* self = this;
    TGuardFrame* outer = nullptr;
    TGuardedFault* fault = nullptr;
    volatile LONG faulted = 0;
#if defined(__i386__)
    // The system's chain of handler registrations, which the abandoned frames may have extended.
    void* handlerChain = nullptr;
#endif
    CONTEXT resume{};
};

DWORD guardSlot = TLS_OUT_OF_INDEXES;
void* handler = nullptr;
std::mutex installLock;

bool IsGuardedFault(const EXCEPTION_RECORD& record)
{
    return (record.ExceptionCode & kSeverityMask) == kErrorSeverity && record.ExceptionCode != kStackOverflow &&
           (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0;
}

bool IsFrameAt(uintptr_t address)
{
    const auto* frame = reinterpret_cast<const TGuardFrame*>(address);
    return frame->mark == kFrameMark && frame->self == frame;
}

uintptr_t StackPointer(const CONTEXT& context)
{
#if defined(__x86_64__)
    return context.Rsp;
#else
    return context.Esp;
#endif
}

// Whether a guard frame lies between the fault's stack pointer and this image's innermost guard:
// that guard, of another image, is the one to take the fault. The stack in between is live.
bool DeeperGuardExists(const CONTEXT& context, const TGuardFrame& innermost)
{
    const uintptr_t ours = reinterpret_cast<uintptr_t>(&innermost);
    for (uintptr_t at = StackPointer(context) & ~uintptr_t{alignof(TGuardFrame) - 1}; at < ours;
         at += alignof(TGuardFrame)) {
        if (IsFrameAt(at))
            return true;
    }
    return false;
}

LONG CALLBACK ResumeAtGuard(EXCEPTION_POINTERS* pointers)
{
    const DWORD lastError = GetLastError();
    auto* frame = static_cast<TGuardFrame*>(TlsGetValue(guardSlot));
    SetLastError(lastError);
    if (!frame || !IsGuardedFault(*pointers->ExceptionRecord) ||
        DeeperGuardExists(*pointers->ContextRecord, *frame))
        return EXCEPTION_CONTINUE_SEARCH;
    frame->fault->record = *pointers->ExceptionRecord;
    frame->fault->record.ExceptionRecord = nullptr;
    frame->fault->context = *pointers->ContextRecord;
    frame->faulted = 1;
    *pointers->ContextRecord = frame->resume;
    return EXCEPTION_CONTINUE_EXECUTION;
}

void ResumeOuterGuard(const TGuardFrame& frame)
{
    TlsSetValue(guardSlot, frame.outer);
}

#if defined(__i386__)
// The first word of the thread's information block heads the chain.
void* HandlerChain()
{
    void* head = nullptr;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetHandlerChain(void* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

std::atomic<TFaultRaiser> faultRaiser{nullptr};
std::atomic<THostFaultReporter> hostFaultReporter{nullptr};

HMODULE ModuleOf(const void* address)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
    return module;
}

std::string ModuleFileName(const void* address)
{
    char path[MAX_PATH] = {};
    const HMODULE module = ModuleOf(address);
    if (!module || GetModuleFileNameA(module, path, MAX_PATH) == 0)
        return {};
    const char* name = std::strrchr(path, '\\');
    return name ? name + 1 : path;
}

} // namespace

void InstallFaultGuard()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (guardSlot == TLS_OUT_OF_INDEXES)
        guardSlot = TlsAlloc();
    if (!handler && guardSlot != TLS_OUT_OF_INDEXES)
        handler = AddVectoredExceptionHandler(1, ResumeAtGuard);
}

void RemoveFaultGuard()
{
    const std::lock_guard<std::mutex> guard(installLock);
    if (handler)
        RemoveVectoredExceptionHandler(handler);
    handler = nullptr;
    if (guardSlot != TLS_OUT_OF_INDEXES)
        TlsFree(guardSlot);
    guardSlot = TLS_OUT_OF_INDEXES;
}

// The thread comes back here a second time, from the handler, with the registers captured below;
// everything that decides between the two returns lives in memory.
__attribute__((noinline)) bool RunGuarded(void (*work)(void*), void* data, TGuardedFault& fault) noexcept
{
    if (!handler) {
        work(data);
        return true;
    }
    TGuardFrame frame;
    frame.fault = &fault;
    frame.outer = static_cast<TGuardFrame*>(TlsGetValue(guardSlot));
#if defined(__i386__)
    frame.handlerChain = HandlerChain();
#endif
    RtlCaptureContext(&frame.resume);
    if (frame.faulted) {
#if defined(__i386__)
        SetHandlerChain(frame.handlerChain);
#endif
        ResumeOuterGuard(frame);
        frame.mark = 0;
        return false;
    }
    TlsSetValue(guardSlot, &frame);
    work(data);
    ResumeOuterGuard(frame);
    frame.mark = 0;
    return true;
}

std::string FaultMessage(const EXCEPTION_RECORD& record)
{
    return SystemExceptionMessage(SystemFaultOf(record, ModuleFileName(record.ExceptionAddress)));
}

void SetFaultRaiser(TFaultRaiser raiser)
{
    faultRaiser = raiser;
}

void RaiseFault(const TGuardedFault& fault)
{
    if (const TFaultRaiser raiser = faultRaiser)
        raiser(fault);
    throw EConduvexError(FaultMessage(fault.record), kErrException);
}

void SetHostFaultReporter(THostFaultReporter reporter)
{
    hostFaultReporter = reporter;
}

void ReportHostFault() noexcept
{
    if (const THostFaultReporter reporter = hostFaultReporter)
        reporter();
}
