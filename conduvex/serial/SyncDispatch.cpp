#include "serial/SyncDispatch.h"

#include "CriticalSection.h"
#include "runtime/FaultReport.h"
#include "Ticks.h"

#include <array>
#include <map>
#include <utility>

namespace {

constexpr UINT kRunEntryMessage = 1281;
constexpr UINT kDestroyWindowMessage = 1282;
constexpr char kWindowClass[] = "ScSafeSyncObjWnd";
constexpr UINT kDestroyTimeoutMs = 2000;

struct TSafeSyncEntry {
    bool enabled = false;
    TSafeSyncMethod method;
    uint32_t id = 0;
};

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

class TSafeSyncDispatcher {
public:
    TSafeSyncDispatcher() = default;
    TSafeSyncDispatcher(const TSafeSyncDispatcher&) = delete;
    TSafeSyncDispatcher& operator=(const TSafeSyncDispatcher&) = delete;
    ~TSafeSyncDispatcher() { DestroyOwnWindow(); }

    uint32_t Register(TSafeSyncMethod method)
    {
        TLockGuard guard(lock_);
        EnsureWindow();
        for (auto& entry : entries_) {
            if (!entry.method) {
                entry = {false, method, NextId()};
                return entry.id;
            }
        }
        return 0;
    }

    bool Unregister(uint32_t id)
    {
        TLockGuard guard(lock_);
        TSafeSyncEntry* entry = Find(id);
        if (!entry)
            return false;
        *entry = {};
        return true;
    }

    bool SetEnabled(uint32_t id, bool enabled)
    {
        TLockGuard guard(lock_);
        TSafeSyncEntry* entry = Find(id);
        if (!entry || !entry->method)
            return false;
        entry->enabled = enabled;
        return true;
    }

    bool Call(uint32_t id, uint32_t timeoutMs, std::shared_ptr<const void> record)
    {
        HWND window = nullptr;
        uint32_t callId = 0;
        {
            TLockGuard guard(lock_);
            if (!IsCallable(id))
                return false;
            window = window_;
            callId = ++lastCallId_;
            inFlight_[callId] = std::move(record);
        }
        DWORD_PTR result = 0;
        const bool sent = SendMessageTimeoutA(window, kRunEntryMessage, callId, static_cast<LPARAM>(id),
                                              SMTO_BLOCK | SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
        TLockGuard guard(lock_);
        inFlight_.erase(callId);
        return sent && IsWindow(window) && IsCallable(id);
    }

    LRESULT RunEntry(uint32_t callId, uint32_t id)
    {
        TSafeSyncMethod method;
        int32_t index = 0;
        std::shared_ptr<const void> record;
        {
            TLockGuard guard(lock_);
            const auto call = inFlight_.find(callId);
            if (call == inFlight_.end())
                return 0; // its sender gave up: the call is stale
            record = std::move(call->second);
            inFlight_.erase(call);
            if (!IsCallable(id))
                return 0;
            const TSafeSyncEntry* entry = Find(id);
            method = entry->method;
            index = static_cast<int32_t>(entry - entries_.data()) + 1;
        }
        method(index, record.get());
        return 0;
    }

    void DestroyOwnWindow()
    {
        HWND window = nullptr;
        {
            TLockGuard guard(lock_);
            window = std::exchange(window_, nullptr);
        }
        if (!window)
            return;
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
            DestroyWindow(window);
        else
            SendMessageTimeoutA(window, kDestroyWindowMessage, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                                kDestroyTimeoutMs, nullptr);
        UnregisterClassA(kWindowClass, ThisModule());
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    TSafeSyncEntry* Find(uint32_t id)
    {
        if (id == 0)
            return nullptr;
        for (auto& entry : entries_) {
            if (entry.id == id)
                return &entry;
        }
        return nullptr;
    }

    bool IsCallable(uint32_t id)
    {
        const TSafeSyncEntry* entry = Find(id);
        return window_ && entry && entry->method && entry->enabled;
    }

    uint32_t NextId()
    {
        if (++lastId_ == 0)
            ++lastId_;
        return lastId_;
    }

    // The window belongs to the registering thread. When that thread has ended, its window
    // is gone, and the next registering thread becomes the owner.
    void EnsureWindow()
    {
        if (window_ && IsWindow(window_))
            return;
        RegisterWindowClass();
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, ThisModule(), nullptr);
    }

    static void RegisterWindowClass()
    {
        const HINSTANCE module = ThisModule();
        WNDCLASSA existing{};
        if (GetClassInfoA(module, kWindowClass, &existing)) {
            if (existing.lpfnWndProc == &WindowProc)
                return;
            UnregisterClassA(kWindowClass, module);
        }
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = module;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassA(&windowClass);
    }

    TCriticalSection lock_;
    std::array<TSafeSyncEntry, kSafeSyncEntryCount> entries_{};
    HWND window_ = nullptr;
    uint32_t lastId_ = 0;
    uint32_t lastCallId_ = 0;
    std::map<uint32_t, std::shared_ptr<const void>> inFlight_;
};

TSafeSyncDispatcher& Dispatcher()
{
    static TSafeSyncDispatcher dispatcher;
    return dispatcher;
}

// A failing method is reported and loses its one call; later calls are handled as usual.
LRESULT CALLBACK TSafeSyncDispatcher::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunWindowProc(
        window,
        [&]() -> LRESULT {
            switch (message) {
            case kRunEntryMessage:
                return Dispatcher().RunEntry(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
            case kDestroyWindowMessage:
                DestroyWindow(window);
                return 0;
            default:
                return DefWindowProcA(window, message, wParam, lParam);
            }
        },
        [](std::exception_ptr) -> LRESULT { return 0; });
}

} // namespace

uint32_t SafeSyncRegister(TSafeSyncMethod method)
{
    return Dispatcher().Register(method);
}

bool SafeSyncUnregister(uint32_t id)
{
    return Dispatcher().Unregister(id);
}

bool SafeSyncSetEnabled(uint32_t id, bool enabled)
{
    return Dispatcher().SetEnabled(id, enabled);
}

bool SafeSyncCall(uint32_t id, uint32_t timeoutMs, std::shared_ptr<const void> record)
{
    return Dispatcher().Call(id, timeoutMs, std::move(record));
}

DWORD WaitDispatchingSentMessages(HANDLE handle, DWORD timeoutMs)
{
    const TTickDeadline deadline(GetTickCount(), timeoutMs);
    for (;;) {
        const DWORD wait = timeoutMs == INFINITE ? INFINITE : deadline.Remaining(GetTickCount());
        const DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, wait, QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
