#pragma once
// Owning wrapper of a kernel handle (events, threads, files); closes it once.
#include <windows.h>
#include <utility>

class TWinHandle {
public:
    TWinHandle() = default;
    explicit TWinHandle(HANDLE handle) : handle_(handle) {}
    ~TWinHandle() { Reset(); }
    TWinHandle(TWinHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    TWinHandle& operator=(TWinHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    TWinHandle(const TWinHandle&) = delete;
    TWinHandle& operator=(const TWinHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    void Reset(HANDLE handle = nullptr)
    {
        if (Valid())
            CloseHandle(handle_);
        handle_ = handle;
    }
    HANDLE Release() { return std::exchange(handle_, nullptr); }

private:
    HANDLE handle_ = nullptr;
};
