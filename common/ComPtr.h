#pragma once
// Counted reference to a plain COM interface (one that does not derive virtually from
// IUnknown, as the system's own interfaces do); the RAII form of AddRef/Release.
#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <utility>

template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    explicit TComPtr(T* ptr) : ptr_(ptr) { AddRefPtr(); }
    TComPtr(const TComPtr& other) : ptr_(other.ptr_) { AddRefPtr(); }
    TComPtr(TComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ~TComPtr() { Reset(); }

    TComPtr& operator=(TComPtr other) noexcept
    {
        std::swap(ptr_, other.ptr_);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static TComPtr Attach(T* ptr)
    {
        TComPtr result;
        result.ptr_ = ptr;
        return result;
    }

    // For out parameters: drops the current reference and lends the slot.
    T** Put()
    {
        Reset();
        return &ptr_;
    }

    // Null when the object does not implement the interface.
    template <class U>
    TComPtr<U> As(REFIID iid) const
    {
        void* out = nullptr;
        if (ptr_ && SUCCEEDED(ptr_->QueryInterface(iid, &out)) && out)
            return TComPtr<U>::Attach(static_cast<U*>(out));
        return nullptr;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

    void Reset()
    {
        if (ptr_)
            std::exchange(ptr_, nullptr)->Release();
    }

private:
    void AddRefPtr()
    {
        if (ptr_)
            ptr_->AddRef();
    }

    T* ptr_ = nullptr;
};
