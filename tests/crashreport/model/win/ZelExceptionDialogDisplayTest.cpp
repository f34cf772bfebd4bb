#include "model/win/ZelException.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/win/DialogWindow.h"

namespace {

std::vector<UINT> g_received;

LRESULT CALLBACK DialogStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kCloseDialogMessage || message == kShowBugReportMessage)
        g_received.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window of the exception dialog's class.
class TDialogStandIn {
public:
    TDialogStandIn()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DialogStandInProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kExceptionDialogClass;
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, kExceptionDialogClass, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~TDialogStandIn() { DestroyWindow(window_); }
    TDialogStandIn(const TDialogStandIn&) = delete;
    TDialogStandIn& operator=(const TDialogStandIn&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

TEST(ZelExceptionDialog, WindowZeroMeansThisProcesssExceptionDialog)
{
    ExceptionHooks() = TExceptionHooks{};
    std::vector<HWND> told;
    ExceptionHooks().fireActionHandlers = [&](TIZEException&, HWND window, TUserAction) {
        told.push_back(window);
        return false;
    };
    EXPECT_EQ(FindDialogWindow(), nullptr);
    const TDialogStandIn dialog;
    ASSERT_NE(dialog.Get(), nullptr);
    EXPECT_EQ(FindDialogWindow(), dialog.Get());
    g_received.clear();
    const TIntfPtr<TIZEException> exception = NewZelException(nullptr, {});

    exception->ContinueApplication(nullptr);
    EXPECT_EQ(g_received, std::vector<UINT>{kCloseDialogMessage});
    EXPECT_EQ(told, std::vector<HWND>{dialog.Get()});

    exception->ShowBugReportDetails(nullptr);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, dialog.Get(), kShowBugReportMessage, kShowBugReportMessage, PM_REMOVE));
    ExceptionHooks() = TExceptionHooks{};
}

} // namespace
