#include "InterfaceList.h"

namespace {

IUnknown* IdentityPointer(IUnknown* item)
{
    return reinterpret_cast<IUnknown*>(IdentityOf(item));
}

} // namespace

int TInterfaceList::Add(IUnknown* item)
{
    IUnknown* identity = IdentityPointer(item);
    if (!identity)
        return -1;
    TLockGuard guard(lock_);
    items_.emplace_back(identity);
    return static_cast<int>(items_.size()) - 1;
}

int TInterfaceList::Remove(IUnknown* item)
{
    IUnknown* identity = IdentityPointer(item);
    TIntfPtr<IUnknown> removed;
    TLockGuard guard(lock_);
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].Get() == identity) {
            // Released after the lock: dropping the last reference may run a destructor.
            removed = std::move(items_[i]);
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TInterfaceList::IndexOf(IUnknown* item)
{
    IUnknown* identity = IdentityPointer(item);
    TLockGuard guard(lock_);
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].Get() == identity)
            return static_cast<int>(i);
    }
    return -1;
}

int TInterfaceList::Count()
{
    TLockGuard guard(lock_);
    return static_cast<int>(items_.size());
}

TIntfPtr<IUnknown> TInterfaceList::Get(int index)
{
    TLockGuard guard(lock_);
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return nullptr;
    return items_[static_cast<size_t>(index)];
}

TIntfPtr<IUnknown> TInterfaceList::Last()
{
    TLockGuard guard(lock_);
    if (items_.empty())
        return nullptr;
    return items_.back();
}

std::vector<TIntfPtr<IUnknown>> TInterfaceList::Snapshot()
{
    TLockGuard guard(lock_);
    return items_;
}

void TInterfaceList::Clear()
{
    std::vector<TIntfPtr<IUnknown>> released;
    TLockGuard guard(lock_);
    released.swap(items_);
}
