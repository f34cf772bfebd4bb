#pragma once
// One object of a kind for each thread that asks for one, kept in a fiber-local slot of the
// system rather than as a thread_local. The runtime puts a thread_local that has a destructor on
// a thread-exit list that holds a reference on the image (taken with GetModuleHandleEx), given
// back only when the thread ends: a host thread that once ran such code would keep the library
// loaded after the host freed it. Here the system frees a thread's object when the thread ends,
// and every thread's object when the slot ends with its image.
#include <windows.h>

#include <atomic>
#include <memory>
#include <new>

template <class T>
class TThreadSlot {
public:
    // Constant-initialised, so usable while the image's other objects are made and destroyed; the
    // system's slot is taken on the first object.
    constexpr TThreadSlot() = default;
    ~TThreadSlot() { Close(); }
    TThreadSlot(const TThreadSlot&) = delete;
    TThreadSlot& operator=(const TThreadSlot&) = delete;

    // The calling thread's object, made on its first call; null when the system has no slot to
    // give or the slot has ended. Raises nothing, so that the raise path can keep its records
    // here (running out of memory ends the process, as it does for a thread_local).
    T* TryMine() noexcept
    {
        if (T* object = Find())
            return object;
        const DWORD index = Index();
        if (index >= kEnded)
            return nullptr;
        auto made = std::make_unique<T>();
        if (!FlsSetValue(index, made.get()))
            return nullptr;
        return made.release(); // the slot owns it from here
    }

    // The same, raising std::bad_alloc where TryMine gives null.
    T& Mine()
    {
        if (T* object = TryMine())
            return *object;
        throw std::bad_alloc();
    }

    // The calling thread's object; null when it has none.
    T* Find() const noexcept
    {
        const DWORD index = index_.load(std::memory_order_acquire);
        return index < kEnded ? static_cast<T*>(FlsGetValue(index)) : nullptr;
    }

private:
    static constexpr DWORD kNotTaken = FLS_OUT_OF_INDEXES;
    static constexpr DWORD kEnded = FLS_OUT_OF_INDEXES - 1;

    static void WINAPI Release(void* object) noexcept { const std::unique_ptr<T> owned(static_cast<T*>(object)); }

    DWORD Index() noexcept
    {
        DWORD index = index_.load(std::memory_order_acquire);
        if (index != kNotTaken)
            return index;
        const DWORD taken = FlsAlloc(&Release);
        if (taken == FLS_OUT_OF_INDEXES)
            return kEnded;
        if (index_.compare_exchange_strong(index, taken, std::memory_order_acq_rel))
            return taken;
        FlsFree(taken); // another thread took one first, or the slot has ended
        return index;
    }

    // Frees the system's slot, which releases every thread's object.
    void Close() noexcept
    {
        const DWORD index = index_.exchange(kEnded, std::memory_order_acq_rel);
        if (index < kEnded)
            FlsFree(index);
    }

    std::atomic<DWORD> index_{kNotTaken};
};
