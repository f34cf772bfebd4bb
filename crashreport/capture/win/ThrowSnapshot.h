#pragma once
// What a library thread keeps of each raise so that the report of an exception escaping it can
// trace the raising code's stack: by the time the thread's catch runs, the raising frames are
// unwound and the memory they lay in is reused. The raise records the registers of the raising
// code (the thrower's, or the fault's) and copies a bounded part of its stack into a buffer the
// thread allocated once; the catch puts that copy back below a gap it opened on its own stack,
// so the trace of the waiting thread reads the stack as it was at the raise.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class TThrowSnapshot {
public:
    // Bytes of stack kept from the raising stack pointer upwards.
    static constexpr size_t kStackBytes = 16 * 1024;

    TThrowSnapshot();

    // Keeps the registers and the stack above their stack pointer for the object; nothing once
    // frozen. Allocates nothing.
    void Take(const void* object, const CONTEXT& context) noexcept;
    // The registers of the code that called the raise routine: the return address of that call
    // and the caller's stack pointer at it.
    void TakeThrower(const void* object, const void* returnAddress, const void* callerStack) noexcept;
    // No later raise replaces what was taken.
    void Freeze() noexcept { frozen_ = true; }

    // The registers taken for that object; null when none were.
    const CONTEXT* ContextFor(const void* object) const noexcept;

    // The size of a gap that, opened below the given address of the caller's frame, reaches
    // below the kept stack with room to spare; 0 when there is nothing to put back or the stack
    // has not that much room left.
    size_t GapBelow(uintptr_t frameAddress) const noexcept;
    // Puts the kept stack back where it lay, as far as it falls inside the gap [begin, end).
    void RestoreInto(uintptr_t begin, uintptr_t end) const noexcept;

    uintptr_t StackPointer() const noexcept;
    size_t CopiedBytes() const noexcept { return copied_; }

private:
    CONTEXT context_{};
    const void* object_ = nullptr;
    size_t copied_ = 0;
    bool frozen_ = false;
    std::vector<uint8_t> stack_;
};

// The snapshot that raises on this thread fill; null when the thread keeps none.
TThrowSnapshot* ThisThreadThrowSnapshot();

// Makes the snapshot this thread's for its lifetime.
class TThrowSnapshotScope {
public:
    explicit TThrowSnapshotScope(TThrowSnapshot& snapshot);
    ~TThrowSnapshotScope();
    TThrowSnapshotScope(const TThrowSnapshotScope&) = delete;
    TThrowSnapshotScope& operator=(const TThrowSnapshotScope&) = delete;
};
