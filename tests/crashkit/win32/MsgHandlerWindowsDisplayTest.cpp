#include "win32/MsgHandlerWindows.h"
#include "win32/CurrentExceptionReport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> calls;

void First(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    calls.push_back("first " + std::to_string(message));
    result = static_cast<LRESULT>(wParam) + 1;
}

void Second(HWND, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    calls.push_back("second " + std::to_string(message));
    result *= 10;
}

struct TCounter {
    int count = 0;
    static void Handle(void* object, HWND, UINT, WPARAM, LPARAM, LRESULT& result)
    {
        ++static_cast<TCounter*>(object)->count;
        result = 77;
    }
};

class MsgHandlerWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }
    void TearDown() override
    {
        DelMsgHandler(First, 0);
        DelMsgHandler(Second, 0);
    }
};

bool WaitUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        Sleep(10);
    return condition();
}

TEST_F(MsgHandlerWindowsTest, OneHiddenToolWindowPerThread)
{
    const HWND window = GetMsgHandlerWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, GetMsgHandlerWindow(GetCurrentThreadId()));
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(window, nullptr));
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(IsWindowVisible(window));
    wchar_t className[128] = {};
    GetClassNameW(window, className, 128);
    EXPECT_EQ(0, std::wstring(className).find(L"zelToolsMsgHandlerWindow"));

    DWORD otherThread = 0;
    std::thread other([&] { otherThread = GetCurrentThreadId(); });
    other.join();
    EXPECT_EQ(nullptr, GetMsgHandlerWindow(otherThread)); // not made for another thread
    EXPECT_EQ(0u, AddMsgHandler(First, 0, otherThread));
}

TEST_F(MsgHandlerWindowsTest, FreeNumbersAndHandlersInOrder)
{
    EXPECT_EQ(1024u, AddMsgHandler(First, 0));
    EXPECT_EQ(1025u, AddMsgHandler(First, 0));
    EXPECT_EQ(0u, AddMsgHandler(First, 1024)); // the same handler twice
    EXPECT_EQ(1024u, AddMsgHandler(Second, 1024));
    const HWND window = GetMsgHandlerWindow();
    EXPECT_EQ(50, SendMessageW(window, 1024, 4, 0)); // (4 + 1) * 10
    EXPECT_EQ((std::vector<std::string>{"first 1024", "second 1024"}), calls);
    EXPECT_EQ(1, SendMessageW(window, 1025, 0, 0));
}

TEST_F(MsgHandlerWindowsTest, OnlyBroadcastsAndHighNumbersReachHandlers)
{
    ASSERT_EQ(100u, AddMsgHandler(First, 100));
    ASSERT_EQ(WM_SETTINGCHANGE, AddMsgHandler(First, WM_SETTINGCHANGE));
    const HWND window = GetMsgHandlerWindow();
    SendMessageW(window, 100, 0, 0);
    SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"first 26"}), calls);
}

TEST_F(MsgHandlerWindowsTest, MethodsAndRemoval)
{
    TCounter counter;
    const TMsgHandlerMethod method{&TCounter::Handle, &counter};
    const UINT message = AddMsgHandler(method, 0);
    ASSERT_NE(0u, message);
    ASSERT_EQ(message, AddMsgHandler(First, message));
    const HWND window = GetMsgHandlerWindow();
    EXPECT_EQ(message + 1, static_cast<UINT>(SendMessageW(window, message, message, 0)));
    EXPECT_EQ(1, counter.count);

    TCounter other;
    DelMsgHandler(TMsgHandlerMethod{&TCounter::Handle, &other}, 0); // another object: stays
    SendMessageW(window, message, 0, 0);
    EXPECT_EQ(2, counter.count);
    DelMsgHandler(method, 0);
    SendMessageW(window, message, 0, 0);
    EXPECT_EQ(2, counter.count);

    // The last handler takes the window with it; the next request makes a new one.
    DelMsgHandler(First, message);
    EXPECT_FALSE(IsWindow(window));
    const HWND again = GetMsgHandlerWindow();
    EXPECT_NE(nullptr, again);
    EXPECT_TRUE(IsWindow(again));
}

int reportsOfCurrent = 0;

void Throwing(HWND, UINT, WPARAM, LPARAM, LRESULT&)
{
    throw std::runtime_error("handler failed");
}

// What a handler throws stays in the window procedure and goes to the report given for it.
TEST_F(MsgHandlerWindowsTest, AnExceptionOfAHandlerGoesToTheCurrentExceptionReport)
{
    SetCurrentExceptionReport([]() noexcept { ++reportsOfCurrent; });
    const UINT message = AddMsgHandler(Throwing, 0);
    ASSERT_NE(0u, message);
    SendMessageW(GetMsgHandlerWindow(), message, 0, 0);
    EXPECT_EQ(reportsOfCurrent, 1);
    SetCurrentExceptionReport(nullptr);
    SendMessageW(GetMsgHandlerWindow(), message, 0, 0);
    EXPECT_EQ(reportsOfCurrent, 1);
    DelMsgHandler(Throwing, 0);
}

// A thread with a handler window and a message loop, until its window is gone.
class THandlerThread {
public:
    THandlerThread()
        : thread_([this] {
              threadId_ = GetCurrentThreadId();
              message_ = AddMsgHandler(First, 0);
              window_ = GetMsgHandlerWindow();
              ready_ = true;
              MSG msg;
              while (IsWindow(window_) && GetMessageW(&msg, nullptr, 0, 0) > 0)
                  DispatchMessageW(&msg);
          })
    {
        WaitUntil([this] { return ready_.load(); });
    }
    ~THandlerThread()
    {
        if (IsWindow(window_))
            PostMessageW(window_, WM_CLOSE, 0, 0);
        PostThreadMessageW(threadId_, WM_NULL, 0, 0);
        thread_.join();
    }

    HWND Window() const { return window_; }
    DWORD ThreadId() const { return threadId_; }
    UINT Message() const { return message_; }

private:
    std::atomic<bool> ready_{false};
    DWORD threadId_ = 0;
    UINT message_ = 0;
    HWND window_ = nullptr;
    std::thread thread_;
};

TEST_F(MsgHandlerWindowsTest, AnotherThreadsLastHandlerClosesItsWindow)
{
    THandlerThread other;
    ASSERT_TRUE(IsWindow(other.Window()));
    EXPECT_EQ(other.Window(), GetMsgHandlerWindow(other.ThreadId()));
    EXPECT_EQ(1024u, other.Message());
    DelMsgHandler(First, other.Message(), other.ThreadId());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(other.Window()); }));
    EXPECT_EQ(nullptr, GetMsgHandlerWindow(other.ThreadId()));
}

TEST_F(MsgHandlerWindowsTest, UnloadDestroysEveryWindow)
{
    THandlerThread other;
    AddMsgHandler(Second, 0);
    const HWND own = GetMsgHandlerWindow();
    ReleaseMsgHandlerWindows();
    EXPECT_FALSE(IsWindow(own));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(other.Window()); }));
    EXPECT_EQ(nullptr, GetMsgHandlerWindow(other.ThreadId()));
}

} // namespace
