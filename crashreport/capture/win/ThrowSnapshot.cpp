#include "capture/win/ThrowSnapshot.h"

#include <algorithm>
#include <cstring>

#include "win32/ContextRegisters.h"

namespace {

thread_local TThrowSnapshot* threadSnapshot = nullptr;

// Room the report needs below the gap: its own calls run there while the thread waits.
constexpr uintptr_t kRoomForReport = 256 * 1024;
constexpr uintptr_t kGapSlack = 64;

// The committed part of a stack runs from its stack pointer's page to its base.
struct TStackSpan {
    uintptr_t bottom = UINTPTR_MAX; // the lowest address the stack may grow to
    uintptr_t base = 0;
};

TStackSpan StackSpanAt(uintptr_t inside)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(inside), &region, sizeof region) != sizeof region ||
        region.State != MEM_COMMIT)
        return {};
    return {reinterpret_cast<uintptr_t>(region.AllocationBase),
            reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize};
}

} // namespace

TThrowSnapshot::TThrowSnapshot() : stack_(kStackBytes) {}

void TThrowSnapshot::Take(const void* object, const CONTEXT& context) noexcept
{
    if (frozen_)
        return;
    context_ = context;
    object_ = object;
    const uintptr_t from = StackPointerOf(context);
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const TStackSpan stack = StackSpanAt(here);
    // A stack pointer outside this thread's stack (a damaged context) keeps nothing.
    copied_ = from > stack.bottom && from < stack.base ? std::min<uintptr_t>(stack.base - from, kStackBytes) : 0;
    if (copied_)
        std::memcpy(stack_.data(), reinterpret_cast<const void*>(from), copied_);
}

__attribute__((noinline)) void TThrowSnapshot::TakeThrower(const void* object, const void* returnAddress,
                                                            [[maybe_unused]] const void* callerStack) noexcept
{
    if (frozen_)
        return;
    CONTEXT context{};
#if defined(__x86_64__)
    // From these registers back through the raise routine's frames to the code that called it.
    constexpr int kMostFrames = 8;
    RtlCaptureContext(&context);
    const auto wanted = reinterpret_cast<DWORD64>(returnAddress);
    for (int frame = 0; frame < kMostFrames && context.Rip != wanted; ++frame) {
        DWORD64 imageBase = 0;
        const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (!function)
            return;
        void* handlerData = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher,
                         nullptr);
    }
    if (context.Rip != wanted)
        return;
#else
    // The caller's frame pointer is unknown where frames are omitted: the trace walks no frame chain.
    context.ContextFlags = CONTEXT_CONTROL;
    context.Eip = reinterpret_cast<DWORD>(returnAddress);
    context.Esp = reinterpret_cast<DWORD>(callerStack);
    context.Ebp = 0;
#endif
    Take(object, context);
}

const CONTEXT* TThrowSnapshot::ContextFor(const void* object) const noexcept
{
    return object && object == object_ ? &context_ : nullptr;
}

uintptr_t TThrowSnapshot::StackPointer() const noexcept
{
    return StackPointerOf(context_);
}

size_t TThrowSnapshot::GapBelow(uintptr_t frameAddress) const noexcept
{
    const uintptr_t from = StackPointer();
    if (!copied_ || from >= frameAddress)
        return 0;
    const uintptr_t gap = frameAddress - from + kGapSlack;
    const uintptr_t bottom = StackSpanAt(frameAddress).bottom;
    return frameAddress > bottom && frameAddress - bottom > gap + kRoomForReport ? gap : 0;
}

void TThrowSnapshot::RestoreInto(uintptr_t begin, uintptr_t end) const noexcept
{
    const uintptr_t from = std::max(StackPointer(), begin);
    const uintptr_t to = std::min(StackPointer() + copied_, end);
    if (from < to)
        std::memcpy(reinterpret_cast<void*>(from), stack_.data() + (from - StackPointer()), to - from);
}

TThrowSnapshot* ThisThreadThrowSnapshot()
{
    return threadSnapshot;
}

TThrowSnapshotScope::TThrowSnapshotScope(TThrowSnapshot& snapshot)
{
    threadSnapshot = &snapshot;
}

TThrowSnapshotScope::~TThrowSnapshotScope()
{
    threadSnapshot = nullptr;
}
