#pragma once
// Works the exception box of this process from a second thread as a person would: finds it,
// reads and presses its buttons, types keys, and records what the exception was asked to do.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "../../../../conduvex/dialogs/DialogDriver.h"
#include "model/win/ExceptionHooks.h"

namespace box_driver {

// What the exception object was asked to do, in order: action-handler codes and the hooks.
class TActionLog {
public:
    void Add(const std::string& entry)
    {
        const std::lock_guard guard(lock_);
        entries_.push_back(entry);
    }
    std::vector<std::string> Entries() const
    {
        const std::lock_guard guard(lock_);
        return entries_;
    }
    int Count(const std::string& entry) const
    {
        const std::lock_guard guard(lock_);
        return static_cast<int>(std::count(entries_.begin(), entries_.end(), entry));
    }
    void Clear()
    {
        const std::lock_guard guard(lock_);
        entries_.clear();
    }

private:
    mutable std::mutex lock_;
    std::vector<std::string> entries_;
};

// Every user action and its hook goes into the log; no handler claims an action.
inline void RecordActions(TActionLog& log)
{
    TExceptionHooks& hooks = ExceptionHooks();
    hooks.fireActionHandlers = [&log](TIZEException&, HWND, TUserAction action) {
        log.Add("action " + std::to_string(static_cast<int>(action)));
        return false;
    };
    hooks.send = [&log](TIZEException&, const UnicodeString&, const TIntfPtr<INVBitmap>&, HWND, HANDLE*) {
        log.Add("send");
    };
    hooks.save = [&log](TIZEException&, const UnicodeString&, HWND) { log.Add("save"); };
    hooks.print = [&log](TIZEException&, const UnicodeString&, HWND) { log.Add("print"); };
    hooks.restart = [&log](TIZEException&) { log.Add("restart"); };
    hooks.close = [&log](TIZEException&) { log.Add("close"); };
}

inline bool WaitFor(const auto& condition, DWORD timeoutMs = 10000)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// The visible exception box of this process other than the one given; nil after the time.
inline HWND WaitForBox(HWND other = nullptr, DWORD timeoutMs = 10000)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, kExceptionDialogClass, nullptr)) != nullptr) {
                DWORD processId = 0;
                GetWindowThreadProcessId(window, &processId);
                if (processId == GetCurrentProcessId() && window != other && IsWindowVisible(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

inline std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

inline std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Direct children of that class, in the order they were made.
inline std::vector<HWND> Children(HWND parent, const std::wstring& className)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == className)
            found.push_back(child);
    return found;
}

// The captions of the box's buttons from top to bottom.
inline std::vector<std::wstring> ButtonCaptions(HWND box)
{
    std::vector<HWND> buttons = Children(box, L"Button");
    std::sort(buttons.begin(), buttons.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top < rb.top;
    });
    std::vector<std::wstring> captions;
    for (const HWND button : buttons)
        captions.push_back(TextOf(button));
    return captions;
}

inline HWND ButtonCaptioned(HWND box, const std::wstring& caption)
{
    for (const HWND button : Children(box, L"Button"))
        if (TextOf(button) == caption)
            return button;
    return nullptr;
}

inline void Press(HWND button)
{
    PostMessageW(button, BM_CLICK, 0, 0);
}

// A key as the box's loop sees it from the focused control.
inline void PostKey(HWND box, WPARAM key)
{
    HWND target = box;
    if (const std::vector<HWND> buttons = Children(box, L"Button"); !buttons.empty())
        target = buttons.front();
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// Makes the window the one that takes the keyboard's input, and waits until the system's
// input goes to it or one of its controls: on a busy display the switch takes a while, and a
// chord sent before it would reach another window.
inline bool FocusOn(HWND window)
{
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return WaitFor(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            if (GetForegroundWindow() == window && GetGUIThreadInfo(thread, &info) &&
                (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
                return true;
            SetForegroundWindow(window);
            return false;
        },
        5000);
}

// A chord through the system's input, so that the key state shows the modifiers held.
inline void Chord(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (const WORD key : keys) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A picture of the window under artifacts/ (or the folder given). The window is first moved to
// the screen's corner: Wine may centre it on a larger screen than the display has, and only what
// the display shows can be copied.
inline bool SavePicture(HWND window, const std::string& name, const std::string& folder = "artifacts")
{
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return dialog_driver::SaveScreenshot(window, name, folder);
}

// What the screen shows at that point of the window's client area.
inline COLORREF ClientPixel(HWND window, int x, int y)
{
    const HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

inline std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

inline void PutClipboardText(const std::wstring& text)
{
    if (!OpenClipboard(nullptr))
        return;
    EmptyClipboard();
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (auto* chars = static_cast<wchar_t*>(GlobalLock(memory))) {
        std::copy(text.c_str(), text.c_str() + text.size() + 1, chars);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}

inline std::vector<std::wstring> TabCaptions(HWND tabs)
{
    std::vector<std::wstring> captions;
    const int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        wchar_t text[64] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        captions.emplace_back(text);
    }
    return captions;
}

struct TDescendantSearch {
    const wchar_t* className;
    HWND found;
};

inline BOOL CALLBACK MatchDescendant(HWND child, LPARAM search)
{
    auto& wanted = *reinterpret_cast<TDescendantSearch*>(search);
    if (ClassOf(child) != wanted.className)
        return TRUE;
    wanted.found = child;
    return FALSE;
}

// The first window of that class anywhere below the parent; nil when there is none.
inline HWND FindDescendant(HWND parent, const wchar_t* className)
{
    TDescendantSearch search{className, nullptr};
    EnumChildWindows(parent, &MatchDescendant, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace box_driver
