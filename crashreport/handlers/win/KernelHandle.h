#pragma once
// A kernel handle (event, thread, mutex) that closes itself.
#include <windows.h>

#include <utility>

class TKernelHandle {
public:
    TKernelHandle() = default;
    explicit TKernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~TKernelHandle() { Reset(); }
    TKernelHandle(TKernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    TKernelHandle& operator=(TKernelHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    TKernelHandle(const TKernelHandle&) = delete;
    TKernelHandle& operator=(const TKernelHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset()
    {
        if (handle_)
            CloseHandle(std::exchange(handle_, nullptr));
    }

private:
    HANDLE handle_ = nullptr;
};

// A manual-reset event, not signalled unless asked.
inline TKernelHandle MakeManualEvent(bool signalled = false)
{
    return TKernelHandle(CreateEventW(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr));
}
