#pragma once
// Entries of a handle table: each holds one counted reference to an interface and, in
// the notifying form, the host's window and callback registrations for that handle.
#include "InterfacedObject.h"

#include <cstdint>

// The host's notification procedure. Kind and data travel in 32-bit slots of which only
// the low 16 bits are defined.
using TCiNotifyCallback = void(__stdcall*)(uint32_t handle, uint32_t kind, uint32_t data,
                                           uint32_t userData);

class THandledIntfObject {
public:
    explicit THandledIntfObject(IUnknown* held);
    virtual ~THandledIntfObject() = default;
    THandledIntfObject(const THandledIntfObject&) = delete;
    THandledIntfObject& operator=(const THandledIntfObject&) = delete;

    TIntfPtr<IUnknown> GetInterface() const { return held_; }
    // The held object's identity (its IUnknown address); stable while the entry holds it.
    uintptr_t GetIdentity() const { return identity_; }
    // What hosts see: the identity on i686; on x86_64 its low 32 bits, unless the table
    // had to move it on past a handle another object took.
    uint32_t GetHandle() const { return handle_; }

private:
    friend class TInterfaceHandler;

    TIntfPtr<IUnknown> held_;
    uintptr_t identity_;
    uint32_t handle_;
};

// A snapshot of one handle's registrations. Delivery works on the snapshot alone, so a
// host callback that releases its own handle (freeing the entry) cannot disturb the
// notification in progress.
struct TNotificationTarget {
    uint32_t handle = 0;
    HWND window = nullptr;
    UINT message = 0;
    bool post = false;
    TCiNotifyCallback callback = nullptr;
    uint32_t userData = 0;

    bool HasWindow() const;
    // Callback first, then the window message (posted or sent).
    void Deliver(uint16_t kind, uint16_t data) const;
};

class THandledIntfEvntObject : public THandledIntfObject {
public:
    explicit THandledIntfEvntObject(IUnknown* held);

    // A nonzero send flag asks for synchronous SendMessageA delivery, 0 for a post.
    void SetMsgNotification(HWND window, UINT message, bool send);
    void ClearMsgNotification();
    void SetCallBackNotification(TCiNotifyCallback callback, uint32_t userData);
    void ClearCallBackNotification();
    void ClearAllNotifications();
    // False, outputs untouched, when nothing is registered on that road.
    bool GetMsgNotification(HWND& window, UINT& message, bool& send) const;
    bool GetCallBackNotification(TCiNotifyCallback& callback, uint32_t& userData) const;

    // Must not touch the entry after the host's code ran: the entry may be gone by then.
    void Notify(uint16_t kind, uint16_t data);

private:
    TNotificationTarget target_;
};
