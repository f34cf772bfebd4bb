#pragma once
// A value that several threads read and replace whole: readers get a copy, never a value half
// written.
#include <mutex>

template <class T>
class TLockedValue {
public:
    T Get() const
    {
        const std::lock_guard<std::mutex> hold(lock_);
        return value_;
    }

    void Set(const T& value)
    {
        const std::lock_guard<std::mutex> hold(lock_);
        value_ = value;
    }

private:
    mutable std::mutex lock_;
    T value_{};
};
