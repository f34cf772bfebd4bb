// The host's window and callback registrations of a handle.
#include "api/ApiFrame.h"
#include "conduvex.h"

extern "C" uint32_t CI_CALL ciRegisterMsgNotifications(CI_HANDLE handle, HWND window,
                                                      uint32_t message, CI_BOOL send)
{
    return CiCall([&]() -> uint32_t {
        RequireHandle(handle);
        GlobalHandles().RegisterMsgNotifications(handle, window, message, send != 0);
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciUnregisterMsgNotifications(CI_HANDLE handle)
{
    return CiCall([&]() -> uint32_t {
        RequireHandle(handle);
        GlobalHandles().UnregisterMsgNotifications(handle);
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciRegisterCallBackNotifications(CI_HANDLE handle,
                                                           CI_NOTIFY_CALLBACK callback,
                                                           uint32_t userData)
{
    return CiCall([&]() -> uint32_t {
        RequireHandle(handle);
        GlobalHandles().RegisterCallBackNotifications(handle, callback, userData);
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciUnregisterCallBackNotifications(CI_HANDLE handle)
{
    return CiCall([&]() -> uint32_t {
        RequireHandle(handle);
        GlobalHandles().UnregisterCallBackNotifications(handle);
        return 0;
    });
}
