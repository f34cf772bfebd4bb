#pragma once
// Thread-safe ordered list of counted interface references. Items are kept by their
// IUnknown identity, so an object is found whatever interface of it is asked for.
#include "CriticalSection.h"
#include "InterfacedObject.h"

#include <vector>

class TInterfaceList {
public:
    TInterfaceList() = default;
    TInterfaceList(const TInterfaceList&) = delete;
    TInterfaceList& operator=(const TInterfaceList&) = delete;

    // Re-entrant; hold it to walk the list while other threads may change it.
    void Lock() { lock_.Enter(); }
    void Unlock() { lock_.Leave(); }

    // Appends (duplicates allowed) and returns the index it got; -1 for nil.
    int Add(IUnknown* item);
    // Removes the first entry of that identity; returns the index it had, or -1.
    int Remove(IUnknown* item);
    int IndexOf(IUnknown* item);
    int Count();
    // Null when the index is out of range.
    TIntfPtr<IUnknown> Get(int index);
    TIntfPtr<IUnknown> Last();
    // A copy of the entries, for walks that call out while the list may change.
    std::vector<TIntfPtr<IUnknown>> Snapshot();
    void Clear();

private:
    TCriticalSection lock_;
    std::vector<TIntfPtr<IUnknown>> items_;
};

// Scoped Lock/Unlock of an interface list.
class TInterfaceListLock {
public:
    explicit TInterfaceListLock(TInterfaceList& list) : list_(list) { list_.Lock(); }
    ~TInterfaceListLock() { list_.Unlock(); }
    TInterfaceListLock(const TInterfaceListLock&) = delete;
    TInterfaceListLock& operator=(const TInterfaceListLock&) = delete;

private:
    TInterfaceList& list_;
};
