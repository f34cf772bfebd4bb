// The progress alert window on a display: placement slots shared through named events, the
// close box, owner handling and the bar.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "ProgressAlert.h"

namespace {

std::wstring SlotName(int slot)
{
    return L"zelProgressAlertPos" + std::to_wstring(slot);
}

RECT WorkArea()
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

HWND AlertWindow(const TIntfPtr<IProgressAlert>& alert)
{
    return static_cast<TIProgressAlert*>(alert.Get())->Window();
}

HWND BarOf(HWND window)
{
    return FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
}

TEST(ProgressAlertDisplay, StandsBottomRightInTheFirstFreeSlotAndHoldsNoOtherSlot)
{
    // Slot 0 is taken by another "alert".
    HANDLE taken = CreateEventW(nullptr, FALSE, FALSE, SlotName(0).c_str());
    ASSERT_TRUE(taken);
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Sending", nullptr, L"");
    alert->AddArea(L"Connecting...", 1);
    ASSERT_TRUE(alert->Show(nullptr, false));
    EXPECT_FALSE(alert->Show(nullptr, false));
    const RECT rect = WindowRect(AlertWindow(alert));
    const RECT work = WorkArea();
    const int height = rect.bottom - rect.top;
    EXPECT_EQ(work.right - 2, rect.right);
    EXPECT_EQ(work.bottom - 2 - height, rect.bottom);
    // The alert keeps no handle to slot 0's event: closing ours ends it.
    CloseHandle(taken);
    HANDLE reopened = OpenEventW(SYNCHRONIZE, FALSE, SlotName(0).c_str());
    EXPECT_EQ(nullptr, reopened);
    if (reopened)
        CloseHandle(reopened);
    alert->Close();
    EXPECT_FALSE(IsWindow(static_cast<TIProgressAlert*>(alert.Get())->Window()));
}

TEST(ProgressAlertDisplay, NinthAlertTakesTheBottomPlace)
{
    std::vector<HANDLE> slots;
    for (int slot = 0; slot < 8; ++slot)
        slots.push_back(CreateEventW(nullptr, FALSE, FALSE, SlotName(slot).c_str()));
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Ninth", nullptr, L"");
    ASSERT_TRUE(alert->Show(nullptr, false));
    EXPECT_EQ(WorkArea().bottom - 2, WindowRect(AlertWindow(alert)).bottom);
    alert->Close();
    for (HANDLE slot : slots)
        CloseHandle(slot);
}

TEST(ProgressAlertDisplay, CloseBoxDoesNothingAndCloseGivesTheOwnerBack)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Please wait", nullptr, L"");
    ASSERT_TRUE(alert->Show(owner, true));
    EXPECT_FALSE(IsWindowEnabled(owner));
    HWND window = AlertWindow(alert);
    // The close command with the low bits Windows sets from the caption's close box.
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE | 2, 0);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    alert->Close();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

// Refuses the creation of the alert's window on this thread, as a system out of window
// resources would.
LRESULT CALLBACK RefuseAlertWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        wchar_t name[64] = {};
        GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
        if (std::wstring(name) == L"prgrAlertWndClass")
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(ProgressAlertDisplay, AnAlertThatCannotBeShownGivesTheOwnerBack)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    HHOOK hook = SetWindowsHookExW(WH_CBT, &RefuseAlertWindows, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Please wait", nullptr, L"");
    const bool shown = alert->Show(owner, false);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(shown);
    EXPECT_EQ(nullptr, AlertWindow(alert));
    EXPECT_TRUE(IsWindowEnabled(owner));
    // No placement slot is held either: the next alert takes the first place.
    const TIntfPtr<IProgressAlert> next = NewProgressAlert(L"Next", nullptr, L"");
    ASSERT_TRUE(next->Show(nullptr, false));
    const RECT rect = WindowRect(AlertWindow(next));
    EXPECT_EQ(WorkArea().bottom - 2, rect.bottom);
    next->Close();
    DestroyWindow(owner);
}

TEST(ProgressAlertDisplay, BarFollowsAreasFromThisAndOtherThreads)
{
    const TIntfPtr<IProgressAlert> alert = NewProgressAlert(L"Report", nullptr, L"");
    alert->AddArea(L"Collecting", 1000);
    alert->AddArea(L"Compressing", 3000);
    ASSERT_TRUE(alert->Show(nullptr, true));
    HWND bar = BarOf(AlertWindow(alert));
    ASSERT_TRUE(bar);
    alert->NextArea();
    alert->SetPosition(500);
    EXPECT_EQ(625, SendMessageW(bar, PBM_GETPOS, 0, 0));
    // Another thread cannot wait for this one (busy joining it): it only posts.
    std::thread other([&alert] {
        alert->SetArea(0);
        alert->SetTitle(L"Report 1");
        alert->SetArea(2);
    });
    other.join();
    alert->ProcessMessages();
    EXPECT_EQ(1000, SendMessageW(bar, PBM_GETPOS, 0, 0));
    wchar_t text[64] = {};
    GetWindowTextW(FindWindowExW(AlertWindow(alert), nullptr, L"STATIC", nullptr), text, 64);
    EXPECT_STREQ(L"Compressing", text);
    GetWindowTextW(AlertWindow(alert), text, 64);
    EXPECT_STREQ(L"Report 1", text);
    EXPECT_EQ(1, alert->GetArea());
    alert->SetTitle(L"Report 2");
    wchar_t title[64] = {};
    GetWindowTextW(AlertWindow(alert), title, 64);
    EXPECT_STREQ(L"Report 2", title);
    alert->Close();
}

} // namespace
