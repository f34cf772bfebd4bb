#include "win32/MsgHandlerWindows.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "text/NumberFormat.h"
#include "win32/CurrentExceptionReport.h"

namespace {

constexpr UINT kFirstFreeMessage = 1024;
constexpr UINT kFirstHandledRange = 536;
// Below the range, the messages that may be broadcast to top-level windows.
constexpr std::array<UINT, 18> kHandledSystemMessages = {17, 18, 21, 22, 23, 26, 27, 28, 29,
                                                         30, 42, 65, 72, 74, 80, 81, 84, 126};

struct THandler {
    UINT message;
    TMsgHandlerProc procedure;
    TMsgHandlerMethod method;

    bool SameAs(const THandler& other) const
    {
        return message == other.message && procedure == other.procedure && method.code == other.method.code &&
               method.object == other.method.object;
    }
    bool SameCallee(const THandler& other) const
    {
        return procedure == other.procedure && method.code == other.method.code && method.object == other.method.object;
    }
    void Call(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) const
    {
        if (procedure)
            procedure(window, msg, wParam, lParam, result);
        else if (method.code)
            method.code(method.object, window, msg, wParam, lParam, result);
    }
};

struct TWindowEntry {
    DWORD threadId;
    HWND window;
    std::vector<THandler> handlers;
    std::wstring className;
};

LRESULT CALLBACK HandlerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

HINSTANCE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&HandlerWindowProc), &module);
    return module;
}

std::wstring ClassNameFor(DWORD threadId)
{
    const std::string name = "zelToolsMsgHandlerWindow" + IntToHexStrA(threadId, 1, '0') +
                             Int64ToHexStrA(reinterpret_cast<uintptr_t>(&GetMsgHandlerWindow), 1, '0');
    return std::wstring(name.begin(), name.end());
}

bool IsHandledMessage(UINT message)
{
    return message >= kFirstHandledRange ||
           std::find(kHandledSystemMessages.begin(), kHandledSystemMessages.end(), message) !=
               kHandledSystemMessages.end();
}

void AllowThroughMessageFilter(HWND window, UINT message)
{
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (!user32)
        return;
    using TFilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using TFilter = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD kAllow = 1;
    if (const auto filterEx = reinterpret_cast<TFilterEx>(
            reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx"))))
        filterEx(window, message, kAllow, nullptr);
    else if (const auto filter = reinterpret_cast<TFilter>(
                 reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter"))))
        filter(message, kAllow);
}

// Set once the list is gone at unload: later calls find no window.
std::atomic<bool> windowsReleased{false};

class THandlerWindows {
public:
    ~THandlerWindows()
    {
        Release();
        windowsReleased = true;
    }

    HWND Window(DWORD threadId, bool create)
    {
        std::unique_lock<std::mutex> guard(lock_);
        if (const TWindowEntry* entry = Find(threadId))
            return entry->window;
        if (!create || threadId != GetCurrentThreadId())
            return nullptr;
        guard.unlock();
        // Created outside the lock: creation sends messages to the new window.
        TWindowEntry entry{threadId, nullptr, {}, ClassNameFor(threadId)};
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = HandlerWindowProc;
        windowClass.hInstance = OwnModule();
        windowClass.lpszClassName = entry.className.c_str();
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
        entry.window = CreateWindowExW(WS_EX_TOOLWINDOW, entry.className.c_str(), L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
        if (!entry.window) {
            UnregisterClassW(entry.className.c_str(), windowClass.hInstance);
            return nullptr;
        }
        guard.lock();
        entries_.push_back(std::move(entry));
        return entries_.back().window;
    }

    UINT Add(const THandler& wanted, DWORD threadId)
    {
        const HWND window = Window(threadId, true);
        if (!window)
            return 0;
        THandler handler = wanted;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            TWindowEntry* entry = Find(threadId);
            if (!entry)
                return 0;
            if (handler.message == 0)
                handler.message = FirstFreeMessage(*entry);
            for (const THandler& present : entry->handlers) {
                if (present.SameAs(handler))
                    return 0;
            }
            entry->handlers.push_back(handler);
        }
        AllowThroughMessageFilter(window, handler.message);
        return handler.message;
    }

    void Delete(const THandler& unwanted, DWORD threadId)
    {
        HWND emptied = nullptr;
        std::wstring className;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            TWindowEntry* entry = Find(threadId);
            if (!entry)
                return;
            auto& handlers = entry->handlers;
            for (size_t i = handlers.size(); i-- > 0;) {
                const bool matches = unwanted.message == 0 ? handlers[i].SameCallee(unwanted) : handlers[i].SameAs(unwanted);
                if (matches) {
                    handlers[i] = handlers.back();
                    handlers.pop_back();
                }
            }
            if (!handlers.empty() || !IsWindow(entry->window))
                return;
            emptied = entry->window;
            className = entry->className;
            Remove(emptied);
        }
        Close(emptied, className, threadId);
    }

    std::vector<THandler> HandlersOf(HWND window)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        for (const TWindowEntry& entry : entries_) {
            if (entry.window == window)
                return entry.handlers;
        }
        return {};
    }

    // A window destroyed by anyone leaves the list.
    void Forget(HWND window)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        Remove(window);
    }

    void Release()
    {
        std::vector<TWindowEntry> entries;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            entries.swap(entries_);
        }
        for (const TWindowEntry& entry : entries) {
            if (!IsWindow(entry.window))
                continue;
            if (entry.threadId != GetCurrentThreadId())
                SetWindowLongPtrW(entry.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
            Close(entry.window, entry.className, entry.threadId);
        }
    }

private:
    TWindowEntry* Find(DWORD threadId)
    {
        for (TWindowEntry& entry : entries_) {
            if (entry.threadId == threadId)
                return &entry;
        }
        return nullptr;
    }

    void Remove(HWND window)
    {
        std::erase_if(entries_, [window](const TWindowEntry& entry) { return entry.window == window; });
    }

    static UINT FirstFreeMessage(const TWindowEntry& entry)
    {
        UINT message = kFirstFreeMessage;
        while (std::any_of(entry.handlers.begin(), entry.handlers.end(),
                           [message](const THandler& handler) { return handler.message == message; }))
            ++message;
        return message;
    }

    static void Close(HWND window, const std::wstring& className, DWORD ownerThread)
    {
        if (ownerThread == GetCurrentThreadId()) {
            DestroyWindow(window);
            UnregisterClassW(className.c_str(), OwnModule());
        } else {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    }

    std::mutex lock_;
    std::vector<TWindowEntry> entries_;
};

THandlerWindows& HandlerWindows()
{
    static THandlerWindows windows;
    return windows;
}

DWORD ThreadOrCaller(DWORD threadId)
{
    return threadId != 0 ? threadId : GetCurrentThreadId();
}

LRESULT CALLBACK HandlerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                             : DefWindowProcA(window, message, wParam, lParam);
    if (windowsReleased)
        return result;
    try {
        if (message == WM_NCDESTROY) {
            HandlerWindows().Forget(window);
        } else if (IsHandledMessage(message)) {
            for (const THandler& handler : HandlerWindows().HandlersOf(window)) {
                if (handler.message == message)
                    handler.Call(window, message, wParam, lParam, result);
            }
        }
    } catch (...) {
        ReportCurrentException(); // nothing may leave a window procedure
    }
    return result;
}

} // namespace

HWND GetMsgHandlerWindow(DWORD threadId)
{
    if (windowsReleased)
        return nullptr;
    return HandlerWindows().Window(ThreadOrCaller(threadId), true);
}

UINT AddMsgHandler(TMsgHandlerProc procedure, UINT message, DWORD threadId)
{
    if (!procedure || windowsReleased)
        return 0;
    return HandlerWindows().Add({message, procedure, {}}, ThreadOrCaller(threadId));
}

UINT AddMsgHandler(TMsgHandlerMethod method, UINT message, DWORD threadId)
{
    if (!method.code || windowsReleased)
        return 0;
    return HandlerWindows().Add({message, nullptr, method}, ThreadOrCaller(threadId));
}

void DelMsgHandler(TMsgHandlerProc procedure, UINT message, DWORD threadId)
{
    if (windowsReleased)
        return;
    HandlerWindows().Delete({message, procedure, {}}, ThreadOrCaller(threadId));
}

void DelMsgHandler(TMsgHandlerMethod method, UINT message, DWORD threadId)
{
    if (windowsReleased)
        return;
    HandlerWindows().Delete({message, nullptr, method}, ThreadOrCaller(threadId));
}

void ReleaseMsgHandlerWindows()
{
    if (windowsReleased)
        return;
    HandlerWindows().Release();
}
