#include "InterfaceHandler.h"

#include <algorithm>

TInterfaceHandler::~TInterfaceHandler()
{
    Clear();
}

const THandledIntfObject* TInterfaceHandler::EntryByIndex(int32_t index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return entries_[static_cast<size_t>(index)].get();
}

uint32_t TInterfaceHandler::HandleByIndex(int32_t index) const
{
    const THandledIntfObject* entry = EntryByIndex(index);
    return entry ? entry->GetHandle() : 0;
}

TIntfPtr<IUnknown> TInterfaceHandler::InterfaceByIndex(int32_t index) const
{
    const THandledIntfObject* entry = EntryByIndex(index);
    return entry ? entry->GetInterface() : nullptr;
}

uint32_t TInterfaceHandler::AddEntry(std::unique_ptr<THandledIntfObject> entry)
{
    // An entry without an object would be a handle 0, which means "no handle".
    if (!entry || entry->GetIdentity() == 0)
        return 0;
    const uint32_t handle = FreeHandleFor(*entry);
    entry->handle_ = handle;
    entries_.push_back(std::move(entry));
    return handle;
}

uint32_t TInterfaceHandler::Add(IUnknown* held)
{
    return AddEntry(std::make_unique<THandledIntfObject>(held));
}

uint32_t TInterfaceHandler::FreeHandleFor(const THandledIntfObject& entry) const
{
    // Only x86_64 identities can share their low 32 bits.
    uint32_t handle = entry.GetHandle();
    for (;;) {
        const THandledIntfObject* holder = EntryByHandle(handle);
        if (handle != 0 && (!holder || holder->GetIdentity() == entry.GetIdentity()))
            return handle;
        ++handle;
    }
}

THandledIntfObject* TInterfaceHandler::EntryByIdentity(uintptr_t identity) const
{
    for (const auto& entry : entries_) {
        if (entry->GetIdentity() == identity)
            return entry.get();
    }
    return nullptr;
}

THandledIntfObject* TInterfaceHandler::EntryByHandle(uint32_t handle) const
{
    for (const auto& entry : entries_) {
        if (entry->GetHandle() == handle)
            return entry.get();
    }
    return nullptr;
}

TIntfPtr<IUnknown> TInterfaceHandler::InterfaceByHandle(uint32_t handle) const
{
    const THandledIntfObject* entry = EntryByHandle(handle);
    return entry ? entry->GetInterface() : nullptr;
}

uint32_t TInterfaceHandler::HandleOf(IUnknown* any) const
{
    const uintptr_t identity = IdentityOf(any);
    const THandledIntfObject* entry = identity ? EntryByIdentity(identity) : nullptr;
    return entry ? entry->GetHandle() : 0;
}

bool TInterfaceHandler::RemoveAt(TEntries::iterator position)
{
    if (position == entries_.end())
        return false;
    // Out of the list before it dies: freeing the object may run code that uses the table.
    std::unique_ptr<THandledIntfObject> removed = std::move(*position);
    entries_.erase(position);
    return true;
}

bool TInterfaceHandler::RemoveHandle(uint32_t handle)
{
    return RemoveAt(std::find_if(entries_.begin(), entries_.end(), [handle](const auto& entry) {
        return entry->GetHandle() == handle;
    }));
}

bool TInterfaceHandler::RemoveInterface(IUnknown* any)
{
    const uintptr_t identity = IdentityOf(any);
    return RemoveAt(std::find_if(entries_.begin(), entries_.end(), [identity](const auto& entry) {
        return identity != 0 && entry->GetIdentity() == identity;
    }));
}

void TInterfaceHandler::Clear()
{
    // Entries die in table order, each after the table no longer lists it.
    TEntries removed;
    removed.swap(entries_);
    for (auto& entry : removed)
        entry.reset();
}

THandledIntfEvntObject* TInterfaceEvntHandler::NotifyingEntry(uint32_t handle) const
{
    return dynamic_cast<THandledIntfEvntObject*>(EntryByHandle(handle));
}

void TInterfaceEvntHandler::RegisterMsgNotifications(uint32_t handle, HWND window,
                                                     UINT message, bool send)
{
    if (auto* entry = NotifyingEntry(handle))
        entry->SetMsgNotification(window, message, send);
}

void TInterfaceEvntHandler::UnregisterMsgNotifications(uint32_t handle)
{
    if (auto* entry = NotifyingEntry(handle))
        entry->ClearMsgNotification();
}

void TInterfaceEvntHandler::RegisterCallBackNotifications(uint32_t handle,
                                                          TCiNotifyCallback callback,
                                                          uint32_t userData)
{
    if (auto* entry = NotifyingEntry(handle))
        entry->SetCallBackNotification(callback, userData);
}

void TInterfaceEvntHandler::UnregisterCallBackNotifications(uint32_t handle)
{
    if (auto* entry = NotifyingEntry(handle))
        entry->ClearCallBackNotification();
}

void TInterfaceEvntHandler::UnregisterAllNotifications(uint32_t handle)
{
    if (auto* entry = NotifyingEntry(handle))
        entry->ClearAllNotifications();
}

bool TInterfaceEvntHandler::GetMsgNotifications(uint32_t handle, HWND& window, UINT& message,
                                                bool& send) const
{
    const auto* entry = NotifyingEntry(handle);
    return entry && entry->GetMsgNotification(window, message, send);
}

bool TInterfaceEvntHandler::GetCallBackNotifications(uint32_t handle,
                                                     TCiNotifyCallback& callback,
                                                     uint32_t& userData) const
{
    const auto* entry = NotifyingEntry(handle);
    return entry && entry->GetCallBackNotification(callback, userData);
}
