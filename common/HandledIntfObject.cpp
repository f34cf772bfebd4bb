#include "HandledIntfObject.h"

#include "FaultGuard.h"

THandledIntfObject::THandledIntfObject(IUnknown* held)
    : held_(held), identity_(IdentityOf(held)), handle_(static_cast<uint32_t>(identity_))
{
}

bool TNotificationTarget::HasWindow() const
{
    return window != nullptr && window != reinterpret_cast<HWND>(INVALID_HANDLE_VALUE);
}

void TNotificationTarget::Deliver(uint16_t kind, uint16_t data) const
{
    // The host's callback may fault: that is reported where it ran and the delivery goes on.
    if (callback)
        CallHostSurviving([&] { callback(handle, kind, data, userData); });
    if (!HasWindow() || message == 0)
        return;
    const auto lParam = static_cast<LPARAM>(kind + (static_cast<uint32_t>(data) << 16));
    if (post)
        PostMessageA(window, message, handle, lParam);
    else
        SendMessageA(window, message, handle, lParam);
}

THandledIntfEvntObject::THandledIntfEvntObject(IUnknown* held) : THandledIntfObject(held) {}

void THandledIntfEvntObject::SetMsgNotification(HWND window, UINT message, bool send)
{
    target_.window = window;
    target_.message = message;
    target_.post = !send;
}

void THandledIntfEvntObject::ClearMsgNotification()
{
    target_.window = nullptr;
    target_.message = 0;
    target_.post = false;
}

void THandledIntfEvntObject::SetCallBackNotification(TCiNotifyCallback callback,
                                                     uint32_t userData)
{
    target_.callback = callback;
    target_.userData = userData;
}

void THandledIntfEvntObject::ClearCallBackNotification()
{
    target_.callback = nullptr;
    target_.userData = 0;
}

void THandledIntfEvntObject::ClearAllNotifications()
{
    ClearMsgNotification();
    ClearCallBackNotification();
}

bool THandledIntfEvntObject::GetMsgNotification(HWND& window, UINT& message, bool& send) const
{
    if (!target_.window)
        return false;
    window = target_.window;
    message = target_.message;
    send = !target_.post;
    return true;
}

bool THandledIntfEvntObject::GetCallBackNotification(TCiNotifyCallback& callback,
                                                     uint32_t& userData) const
{
    if (!target_.callback)
        return false;
    callback = target_.callback;
    userData = target_.userData;
    return true;
}

void THandledIntfEvntObject::Notify(uint16_t kind, uint16_t data)
{
    TNotificationTarget snapshot = target_;
    snapshot.handle = GetHandle();
    snapshot.Deliver(kind, data);
}
