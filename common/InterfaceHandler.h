#pragma once
// Handle tables: hosts see 32-bit handles (the held object's IUnknown address, cut to 32
// bits on x86_64 and kept unique among the objects held), the table
// owns one entry per handle. Lookups are linear from the first entry; the first match wins,
// so an object added twice is found through its first entry only.
#include "HandledIntfObject.h"

#include <cstdint>
#include <memory>
#include <vector>

class TInterfaceHandler {
public:
    TInterfaceHandler() = default;
    virtual ~TInterfaceHandler();
    TInterfaceHandler(const TInterfaceHandler&) = delete;
    TInterfaceHandler& operator=(const TInterfaceHandler&) = delete;

    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    // 0 / nil outside 0..Count-1.
    uint32_t HandleByIndex(int32_t index) const;
    TIntfPtr<IUnknown> InterfaceByIndex(int32_t index) const;

    // Takes the entry over; a nil entry, or one holding nothing, gives 0 (and is freed).
    uint32_t AddEntry(std::unique_ptr<THandledIntfObject> entry);
    uint32_t Add(IUnknown* held);

    TIntfPtr<IUnknown> InterfaceByHandle(uint32_t handle) const;
    // Any interface of the object finds its entry.
    uint32_t HandleOf(IUnknown* any) const;
    template <class T>
    TIntfPtr<T> QueryByHandle(uint32_t handle, REFIID iid) const
    {
        return QueryAs<T>(InterfaceByHandle(handle).Get(), iid);
    }
    bool IsValidHandle(uint32_t handle) const { return EntryByHandle(handle) != nullptr; }

    // Removing frees the entry, which releases its reference to the object.
    bool RemoveInterface(IUnknown* any);
    bool RemoveHandle(uint32_t handle);
    void Clear();

protected:
    THandledIntfObject* EntryByHandle(uint32_t handle) const;

private:
    using TEntries = std::vector<std::unique_ptr<THandledIntfObject>>;

    const THandledIntfObject* EntryByIndex(int32_t index) const;
    THandledIntfObject* EntryByIdentity(uintptr_t identity) const;
    // The entry's own handle, or the next one that no other object holds.
    uint32_t FreeHandleFor(const THandledIntfObject& entry) const;
    bool RemoveAt(TEntries::iterator position);

    TEntries entries_;
};

// A table whose entries carry window and callback registrations. An unknown handle, or
// an entry that cannot notify, makes every operation here do nothing.
class TInterfaceEvntHandler : public TInterfaceHandler {
public:
    void RegisterMsgNotifications(uint32_t handle, HWND window, UINT message, bool send);
    void UnregisterMsgNotifications(uint32_t handle);
    void RegisterCallBackNotifications(uint32_t handle, TCiNotifyCallback callback,
                                       uint32_t userData);
    void UnregisterCallBackNotifications(uint32_t handle);
    void UnregisterAllNotifications(uint32_t handle);
    bool GetMsgNotifications(uint32_t handle, HWND& window, UINT& message, bool& send) const;
    bool GetCallBackNotifications(uint32_t handle, TCiNotifyCallback& callback,
                                  uint32_t& userData) const;

protected:
    THandledIntfEvntObject* NotifyingEntry(uint32_t handle) const;
};
