#pragma once
// Reference-counted base of every object the library hands out behind an interface.
// Interfaces derive virtually from IUnknown, so an object has exactly one IUnknown
// sub-object: its address is the object's identity (and its handle at the C boundary).
#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <utility>

class TMyInterfacedObject : public virtual IUnknown {
public:
    TMyInterfacedObject(const TMyInterfacedObject&) = delete;
    TMyInterfacedObject& operator=(const TMyInterfacedObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Drops the reference that allocation holds; called once, by MakeObject, after the
    // constructor ran. A constructor that takes and drops references to itself thus
    // cannot free the half-built object.
    void AfterConstruction();
    LONG RefCount() const { return refCount_; }
    // Takes a reference unless the count already reached 0 (the object is being freed);
    // for registries that know objects without holding references to them.
    bool TryAddRef();

protected:
    TMyInterfacedObject() = default;
    virtual ~TMyInterfacedObject() = default;

    // Each class answers for the interfaces it adds and defers to its parent for the rest.
    virtual void* FindInterface(REFIID iid);
    virtual void RefCountAdded(LONG count);
    virtual void RefCountReleased(LONG count);

private:
    static constexpr LONG kDestroying = 0x3FFFFFFF;

    volatile LONG refCount_ = 1;
};

// Counted reference to an interface (or object); the RAII form of AddRef/Release.
template <class T>
class TIntfPtr {
public:
    TIntfPtr() = default;
    TIntfPtr(std::nullptr_t) {}
    TIntfPtr(T* ptr) : ptr_(ptr) { AddRefPtr(); }
    TIntfPtr(const TIntfPtr& other) : ptr_(other.ptr_) { AddRefPtr(); }
    TIntfPtr(TIntfPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <class U>
    TIntfPtr(const TIntfPtr<U>& other) : ptr_(other.Get()) { AddRefPtr(); }
    ~TIntfPtr() { ReleasePtr(); }

    TIntfPtr& operator=(TIntfPtr other) noexcept
    {
        std::swap(ptr_, other.ptr_);
        return *this;
    }

    // Takes over a reference the caller already owns (as QueryInterface gives one).
    static TIntfPtr Attach(T* ptr)
    {
        TIntfPtr result;
        result.ptr_ = ptr;
        return result;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T& operator*() const { return *ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void Reset() { TIntfPtr().Swap(*this); }
    void Swap(TIntfPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

private:
    void AddRefPtr()
    {
        if (ptr_)
            static_cast<IUnknown*>(ptr_)->AddRef();
    }
    void ReleasePtr()
    {
        if (ptr_)
            static_cast<IUnknown*>(std::exchange(ptr_, nullptr))->Release();
    }

    T* ptr_ = nullptr;
};

template <class T, class U>
bool operator==(const TIntfPtr<T>& a, const TIntfPtr<U>& b)
{
    return static_cast<const void*>(a.Get()) == static_cast<const void*>(b.Get());
}

// Creates a reference-counted object and gives the first counted reference to it.
template <class T, class... Args>
TIntfPtr<T> MakeObject(Args&&... args)
{
    T* object = new T(std::forward<Args>(args)...);
    TIntfPtr<T> result(object);
    object->AfterConstruction();
    return result;
}

// Asks any interface for another one by GUID; null when it is not supported.
template <class T>
TIntfPtr<T> QueryAs(IUnknown* from, REFIID iid)
{
    void* out = nullptr;
    if (from && SUCCEEDED(from->QueryInterface(iid, &out)) && out)
        return TIntfPtr<T>::Attach(static_cast<T*>(out));
    return nullptr;
}

// Whether the object answers a query for the GUID. The pointer a query gives is of the
// asked interface's type, which (IUnknown being a virtual base) is not an IUnknown pointer:
// use this rather than QueryAs<IUnknown> with another GUID.
bool Supports(IUnknown* unknown, REFIID iid);

// The object's identity: its IUnknown address; 0 for none.
uintptr_t IdentityOf(IUnknown* unknown);
