#include "runtime/MessageWindow.h"

#include "ConduvexError.h"
#include "runtime/FaultProbe.h"
#include "runtime/FaultReport.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr char kWindowClass[] = "ConduvexMessageWindow";

HINSTANCE OwnModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

void RegisterWindowClass(WNDPROC procedure)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = OwnModule();
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EConduvexError("Cannot register the socket window class.", kErrApi);
}

} // namespace

TMessageWindow::TMessageWindow(THandler handler, TFailure onFailure)
    : handler_(std::move(handler)), onFailure_(std::move(onFailure)), ownerThread_(GetCurrentThreadId())
{
    RegisterWindowClass(&TMessageWindow::WindowProc);
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              OwnModule(), nullptr);
    if (!window_)
        throw EConduvexError("Cannot create the socket window.", kErrApi);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TMessageWindow::~TMessageWindow()
{
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    if (OwnedByCallingThread())
        DestroyWindow(window_);
    else
        PostMessageA(window_, WM_CLOSE, 0, 0);
}

// The handler may free its window (a host releasing its link from a notification): after it
// ran, the window's object is looked up again.
LRESULT CALLBACK TMessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam)
{
    if (message < WM_APP)
        return DefWindowProcA(window, message, wParam, lParam);
    const auto owner = [window] {
        return reinterpret_cast<TMessageWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    };
    return RunWindowProc(
        window,
        [&]() -> LRESULT {
            if (TMessageWindow* self = owner())
                self->Dispatch(message, wParam, lParam);
            return 0;
        },
        [&](std::exception_ptr fault) -> LRESULT {
            TMessageWindow* self = owner();
            if (self && self->onFailure_)
                self->onFailure_(fault);
            return 0;
        });
}

void TMessageWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    FaultPoint("message-window");
    if (handler_)
        handler_(message, wParam, lParam);
}

void ProcessPendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
