#include "InterfacedObject.h"

HRESULT STDMETHODCALLTYPE TMyInterfacedObject::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = FindInterface(iid);
    if (!*out)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TMyInterfacedObject::AddRef()
{
    const LONG count = InterlockedIncrement(&refCount_);
    RefCountAdded(count);
    return static_cast<ULONG>(count);
}

ULONG STDMETHODCALLTYPE TMyInterfacedObject::Release()
{
    // The hook runs while this reference still keeps the object alive: once the count is
    // down, another thread's release may free the object at any moment.
    RefCountReleased(refCount_ - 1);
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 0) {
        // A destructor that takes and drops a reference to its own object (an announcement
        // on closing) must not reach 0 a second time and free the object twice.
        refCount_ = kDestroying;
        delete this;
    }
    return static_cast<ULONG>(count);
}

bool TMyInterfacedObject::TryAddRef()
{
    for (;;) {
        const LONG count = refCount_;
        if (count <= 0 || count >= kDestroying)
            return false;
        if (InterlockedCompareExchange(&refCount_, count + 1, count) == count) {
            RefCountAdded(count + 1);
            return true;
        }
    }
}

void TMyInterfacedObject::AfterConstruction()
{
    InterlockedDecrement(&refCount_);
}

void* TMyInterfacedObject::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IUnknown))
        return static_cast<IUnknown*>(this);
    return nullptr;
}

void TMyInterfacedObject::RefCountAdded(LONG) {}

void TMyInterfacedObject::RefCountReleased(LONG) {}

bool Supports(IUnknown* unknown, REFIID iid)
{
    void* out = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(iid, &out)) || !out)
        return false;
    // Counts belong to the object, so the reference is dropped through the pointer we have.
    unknown->Release();
    return true;
}

uintptr_t IdentityOf(IUnknown* unknown)
{
    void* identity = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IUnknown, &identity)) || !identity)
        return 0;
    static_cast<IUnknown*>(identity)->Release();
    return reinterpret_cast<uintptr_t>(identity);
}
