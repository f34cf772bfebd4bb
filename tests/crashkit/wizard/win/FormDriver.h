#pragma once
// Drives the wizard forms that the test thread shows, from a thread of its own: waits for a
// form window, works its items as a user would, and never lets the test thread hang (a form
// the steps leave open is closed).
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace form_driver {

inline BOOL CALLBACK FindVisibleForm(HWND window, LPARAM result)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring(className) != L"zelNVAssistantWnd" || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// Polls the condition every stepMs until it holds; false after the time-out.
inline bool PollUntil(const auto& condition, DWORD timeoutMs, DWORD stepMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(stepMs);
    }
    return true;
}

// A visible form window of that thread other than `previous`; null after the time-out.
inline HWND WaitForForm(DWORD threadId, HWND previous = nullptr, DWORD timeoutMs = 10000)
{
    HWND found = nullptr;
    const bool shown = PollUntil(
        [&] {
            found = nullptr;
            EnumThreadWindows(threadId, &FindVisibleForm, reinterpret_cast<LPARAM>(&found));
            return found && found != previous;
        },
        timeoutMs, 20);
    return shown ? found : nullptr;
}

inline HWND FocusOf(DWORD threadId)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(threadId, &info);
    return info.hwndFocus;
}

// Waits until that thread has a focused window, and gives it: a key posted before the form
// has taken the focus would go to nobody.
inline HWND WaitForAnyFocus(DWORD threadId, DWORD timeoutMs = 3000)
{
    HWND focus = nullptr;
    PollUntil([&] { return (focus = FocusOf(threadId)) != nullptr; }, timeoutMs, 10);
    return focus;
}

// Waits until the focus of that thread is on the window.
inline bool WaitForFocus(DWORD threadId, HWND window, DWORD timeoutMs = 3000)
{
    return PollUntil([&] { return FocusOf(threadId) == window; }, timeoutMs, 10);
}

// Characters typed into the focused control, through the form's message loop.
inline void Type(HWND control, const std::wstring& text)
{
    for (const wchar_t c : text)
        PostMessageW(control, WM_CHAR, c, 1);
}

// Waits until the control shows the text: posted characters are handled after any message
// sent meanwhile, so Settle alone does not wait for them.
inline bool WaitForText(HWND control, const std::wstring& text, DWORD timeoutMs = 3000)
{
    return PollUntil(
        [&] {
            wchar_t shown[256] = {};
            GetWindowTextW(control, shown, 256);
            return text == shown;
        },
        timeoutMs, 10);
}

inline void Key(HWND control, WPARAM key)
{
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

// What Settle posts behind the messages it waits for, and the event that says the form's
// thread took it from its queue.
inline UINT SettleMarker()
{
    static const UINT marker = RegisterWindowMessageW(L"FormDriverSettleMarker");
    return marker;
}

inline HANDLE SettleMarkerTaken()
{
    static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return event;
}

inline LRESULT CALLBACK WatchForSettleMarker(int code, WPARAM removal, LPARAM message)
{
    if (code == HC_ACTION && removal == PM_REMOVE && reinterpret_cast<const MSG*>(message)->message == SettleMarker())
        SetEvent(SettleMarkerTaken());
    return CallNextHookEx(nullptr, code, removal, message);
}

// Lets the form's thread handle what was sent and posted to it so far. A message sent
// overtakes posted ones, so a marker is posted behind them and waited for: once the thread
// takes it from its queue, it has handled everything before it.
inline void Settle(HWND form)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &result);
    const DWORD thread = GetWindowThreadProcessId(form, nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &WatchForSettleMarker, nullptr, thread);
    ResetEvent(SettleMarkerTaken());
    if (hook && PostMessageW(form, SettleMarker(), 0, 0))
        WaitForSingleObject(SettleMarkerTaken(), 2000);
    else
        Sleep(50);
    if (hook)
        UnhookWindowsHookEx(hook);
}

inline bool WaitUntilGone(HWND window, DWORD timeoutMs = 5000)
{
    return PollUntil([&] { return !IsWindow(window); }, timeoutMs, 20);
}

class TFormDriver {
public:
    explicit TFormDriver(std::function<void(DWORD threadId)> steps)
        : threadId_(GetCurrentThreadId()), thread_([this, steps = std::move(steps)] { Run(steps); })
    {
    }
    ~TFormDriver() { Join(); }
    TFormDriver(const TFormDriver&) = delete;
    TFormDriver& operator=(const TFormDriver&) = delete;

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    void Run(const std::function<void(DWORD)>& steps)
    {
        try {
            steps(threadId_);
        } catch (...) {
        }
        // Whatever is left open is closed, so that the test thread goes on.
        for (int i = 0; i < 5; ++i) {
            const HWND left = WaitForForm(threadId_, nullptr, 200);
            if (!left)
                break;
            PostMessageW(left, WM_CLOSE, 0, 0);
            WaitUntilGone(left);
        }
    }

    DWORD threadId_;
    std::thread thread_;
};

} // namespace form_driver
