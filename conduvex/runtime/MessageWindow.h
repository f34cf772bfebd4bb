#pragma once
// A hidden message-only window owned by the thread that creates it. Messages from WM_APP
// up go to the handler, on that thread, whenever it processes its messages. What escapes the
// handler is reported as the window procedure's (FaultReport.h) and told to the owner there.
#include <windows.h>

#include <exception>
#include <functional>

class TMessageWindow {
public:
    using THandler = std::function<void(UINT message, WPARAM wParam, LPARAM lParam)>;
    using TFailure = std::function<void(std::exception_ptr fault)>;

    // Throws EConduvexError when the window cannot be made.
    explicit TMessageWindow(THandler handler, TFailure onFailure = {});
    // From another thread than the owner the window cannot be destroyed directly: it is
    // detached from the handler and asked to close when its thread next runs messages.
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    HWND Handle() const { return window_; }
    bool OwnedByCallingThread() const { return ownerThread_ == GetCurrentThreadId(); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam);
    void Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    THandler handler_;
    TFailure onFailure_;
    DWORD ownerThread_;
    HWND window_ = nullptr;
};

// Runs every message waiting for the calling thread. A quit request is left for the
// thread's own loop (posted again) and ends the run.
void ProcessPendingMessages();
