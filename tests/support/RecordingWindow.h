#pragma once
// A message-only window that records the application messages it receives (works without
// a display).
#include <windows.h>

#include <vector>

struct TRecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TRecordingWindow {
public:
    TRecordingWindow()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &TRecordingWindow::WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass); // Fails harmlessly when already registered.
        window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TRecordingWindow() { DestroyWindow(window_); }
    TRecordingWindow(const TRecordingWindow&) = delete;
    TRecordingWindow& operator=(const TRecordingWindow&) = delete;

    HWND Handle() const { return window_; }
    // Dispatches what was posted to this window.
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    // Application messages (WM_USER and above) in arrival order.
    const std::vector<TRecordedMessage>& Received() const { return received_; }

private:
    static constexpr const char* kClassName = "ConduvexTestRecordingWindow";

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<TRecordingWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self && message >= WM_USER) {
            try {
                self->received_.push_back({message, wParam, lParam});
            } catch (...) {
                // Nothing may unwind into the system's dispatcher.
            }
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::vector<TRecordedMessage> received_;
};
