#pragma once
// A scripted Conduvex behind the binding's function table: one link (kLinkHandle) with
// bytes waiting to be read, bytes written, an active flag, registrations, and a last
// error. Install() makes the process's binding use it.
#include "binding/ConduvexBinding.h"
#include "ResultCodes.h"

#include <algorithm>
#include <mutex>
#include <cstring>
#include <string>
#include <vector>

namespace fake_conduvex {

constexpr CI_HANDLE kLinkHandle = 7;

struct TState {
    uint32_t lastError = 0;
    std::string lastErrorText;
    std::vector<std::string> calls;
    CI_NOTIFY_CALLBACK callback = nullptr;
    uint32_t userData = 0;
    HWND window = nullptr;
    uint32_t message = 0;
    CI_BOOL send = CI_FALSE;
    std::string createdWith;
    bool active = false;
    bool refuseOpen = false;
    bool refuseWrite = false;
    bool createFails = false;
    std::string incoming;
    std::string written;
    // Becomes incoming after every write: the module's answer.
    std::string replyOnWrite;
    std::string id = "COM21";
    std::string provider = "SERIAL_PORT";
};

inline TState& State()
{
    static TState state;
    return state;
}

// Every fake export holds it: the last reference to an adapter may go on a notifying
// thread, which then unregisters while the test thread creates the next one.
inline std::recursive_mutex& Mutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

using TGuard = std::lock_guard<std::recursive_mutex>;

inline uint32_t Fail(uint32_t code, const char* text)
{
    State().lastError = code;
    State().lastErrorText = text;
    return code;
}

inline uint32_t Succeed(const char* call)
{
    State().calls.push_back(call);
    State().lastError = 0;
    State().lastErrorText.clear();
    return CI_OK;
}

// The common frame: an unknown handle fails as Conduvex does.
inline bool Known(CI_HANDLE handle)
{
    if (handle == kLinkHandle)
        return true;
    Fail(kErrInvalidHandle, "Invalid handle.");
    return false;
}

inline uint32_t TextOut(const std::string& text, char* buffer, int32_t* length)
{
    const int32_t size = static_cast<int32_t>(text.size());
    if (!buffer || *length <= size) {
        *length = size + 1;
        return buffer ? Fail(kErrBufferTooSmall, "Need more buffer size.") : CI_OK;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = size;
    return CI_OK;
}

inline uint32_t CI_CALL LastError()
{
    TGuard guard(Mutex());
    return State().lastError;
}

inline uint32_t CI_CALL LastErrorText(char* buffer, int32_t* length)
{
    TGuard guard(Mutex());
    const std::string& text = State().lastErrorText;
    const int32_t needed = static_cast<int32_t>(text.size()) + 1;
    if (buffer && *length >= needed)
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    *length = needed;
    return State().lastError;
}

inline uint32_t CI_CALL SetLastError(uint32_t code, const char* text)
{
    TGuard guard(Mutex());
    State().lastError = code;
    State().lastErrorText = text && *text ? text : std::string(ResultCodeText(code));
    return code;
}

inline CI_HANDLE CI_CALL ciCreateM(const char* connection, HWND window, uint32_t message, CI_BOOL send)
{
    TGuard guard(Mutex());
    if (State().createFails)
        return Fail(kErrBadConnectionString, "Bad parameters in connection string."), 0;
    Succeed("ciCreateM");
    State().createdWith = connection;
    State().window = window;
    State().message = message;
    State().send = send;
    return kLinkHandle;
}

inline CI_HANDLE CI_CALL ciCreateCB(const char* connection, CI_NOTIFY_CALLBACK callback, uint32_t userData)
{
    TGuard guard(Mutex());
    if (State().createFails)
        return Fail(kErrBadConnectionString, "Bad parameters in connection string."), 0;
    Succeed("ciCreateCB");
    State().createdWith = connection;
    State().callback = callback;
    State().userData = userData;
    return kLinkHandle;
}

inline uint32_t CI_CALL ciRegisterMsgNotifications(CI_HANDLE handle, HWND window, uint32_t message, CI_BOOL send)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    State().window = window;
    State().message = message;
    State().send = send;
    return Succeed("ciRegisterMsgNotifications");
}

inline uint32_t CI_CALL ciRegisterCallBackNotifications(CI_HANDLE handle, CI_NOTIFY_CALLBACK callback, uint32_t userData)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    State().callback = callback;
    State().userData = userData;
    return Succeed("ciRegisterCallBackNotifications");
}

inline uint32_t CI_CALL ciUnregisterMsgNotifications(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    return Known(handle) ? Succeed("ciUnregisterMsgNotifications") : State().lastError;
}

inline uint32_t CI_CALL ciUnregisterCallBackNotifications(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    return Known(handle) ? Succeed("ciUnregisterCallBackNotifications") : State().lastError;
}

inline uint32_t CI_CALL ciRelease(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    return Known(handle) ? Succeed("ciRelease") : State().lastError;
}

inline uint32_t CI_CALL ciOpen(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    if (State().refuseOpen)
        return Fail(kErrApi, "Port COM21 is busy");
    State().active = true;
    return Succeed("ciOpen");
}

inline uint32_t CI_CALL ciClose(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    State().active = false;
    return Succeed("ciClose");
}

inline uint32_t CI_CALL ciIsActive(CI_HANDLE handle, CI_BOOL* active)
{
    TGuard guard(Mutex());
    *active = CI_FALSE;
    if (!Known(handle))
        return State().lastError;
    *active = State().active ? CI_TRUE : CI_FALSE;
    return CI_OK;
}

inline int32_t CI_CALL ciReadLength(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    return Known(handle) ? static_cast<int32_t>(State().incoming.size()) : -1;
}

inline uint32_t CI_CALL ciRead(CI_HANDLE handle, uint8_t* buffer, int32_t* length)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    const size_t count = std::min(State().incoming.size(), static_cast<size_t>(std::max(*length, 0)));
    std::memcpy(buffer, State().incoming.data(), count);
    State().incoming.erase(0, count);
    *length = static_cast<int32_t>(count);
    return CI_OK;
}

inline uint32_t CI_CALL ciWrite(CI_HANDLE handle, const uint8_t* buffer, int32_t length)
{
    TGuard guard(Mutex());
    if (!Known(handle))
        return State().lastError;
    if (State().refuseWrite)
        return Fail(kErrNotOpened, "Connection is not opened.");
    State().written.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
    State().incoming += State().replyOnWrite;
    return CI_OK;
}

inline uint32_t CI_CALL ciGetID(CI_HANDLE handle, char* buffer, int32_t* length)
{
    TGuard guard(Mutex());
    return Known(handle) ? TextOut(State().id, buffer, length) : State().lastError;
}

inline uint32_t CI_CALL ciGetDescription(CI_HANDLE handle, char* buffer, int32_t* length)
{
    TGuard guard(Mutex());
    return Known(handle) ? TextOut("Serial port " + State().id, buffer, length) : State().lastError;
}

inline uint32_t CI_CALL ciGetProvider(CI_HANDLE handle, char* buffer, int32_t* length)
{
    TGuard guard(Mutex());
    return Known(handle) ? TextOut(State().provider, buffer, length) : State().lastError;
}

inline uint32_t CI_CALL ciGetValid(CI_HANDLE handle, CI_BOOL* valid)
{
    TGuard guard(Mutex());
    *valid = CI_TRUE;
    return Known(handle) ? CI_OK : State().lastError;
}

inline uint32_t CI_CALL ciSetValid(CI_HANDLE handle, CI_BOOL)
{
    TGuard guard(Mutex());
    return Known(handle) ? Succeed("ciSetValid") : State().lastError;
}

inline int32_t CI_CALL ciConfigDialogAvailable(CI_HANDLE handle)
{
    TGuard guard(Mutex());
    return Known(handle) ? CI_TRUE : static_cast<int32_t>(State().lastError);
}

inline TConduvexFunctions Table()
{
    TConduvexFunctions table;
    table.LastError = &LastError;
    table.LastErrorText = &LastErrorText;
    table.SetLastError = &SetLastError;
    table.ciCreateM = &ciCreateM;
    table.ciCreateCB = &ciCreateCB;
    table.ciRegisterMsgNotifications = &ciRegisterMsgNotifications;
    table.ciRegisterCallBackNotifications = &ciRegisterCallBackNotifications;
    table.ciUnregisterMsgNotifications = &ciUnregisterMsgNotifications;
    table.ciUnregisterCallBackNotifications = &ciUnregisterCallBackNotifications;
    table.ciRelease = &ciRelease;
    table.ciOpen = &ciOpen;
    table.ciClose = &ciClose;
    table.ciIsActive = &ciIsActive;
    table.ciReadLength = &ciReadLength;
    table.ciRead = &ciRead;
    table.ciWrite = &ciWrite;
    table.ciGetID = &ciGetID;
    table.ciGetDescription = &ciGetDescription;
    table.ciGetProvider = &ciGetProvider;
    table.ciGetValid = &ciGetValid;
    table.ciSetValid = &ciSetValid;
    table.ciConfigDialogAvailable = &ciConfigDialogAvailable;
    return table;
}

// A fresh state, and the process's binding on this table.
inline void Install()
{
    State() = TState{};
    ProcessConduvex().Adopt(Table());
}

// Conduvex's notification of the link, by its registered callback.
inline void NotifyByCallBack(uint32_t kind, CI_HANDLE handle = kLinkHandle)
{
    CI_NOTIFY_CALLBACK callback;
    uint32_t userData;
    {
        TGuard guard(Mutex());
        callback = State().callback;
        userData = State().userData;
    }
    callback(handle, kind, 0, userData);
}

} // namespace fake_conduvex
