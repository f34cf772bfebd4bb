#include "DiagnosticTrace.h"

#include "CriticalSection.h"
#include "FakeLink.h"
#include "WinHandle.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kTerminalClass[] = "TfMainVantelTerm";
constexpr char kHostClass[] = "TraceTestHostMain";

struct TCopyData {
    HWND receiver;
    WPARAM sourceWindow;
    ULONG_PTR dwData;
    std::string data;
};

// A terminal on its own thread that pumps messages: a hidden top-level window of the
// terminal class (unless left out), a message-only decoy of the same class, and a visible
// main window standing for the host's.
class TTerminalThread {
public:
    explicit TTerminalThread(bool withTerminal = true) : withTerminal_(withTerminal)
    {
        thread_ = std::thread([this] { Run(); });
        WaitForSingleObject(ready_.Get(), 5000);
    }

    ~TTerminalThread()
    {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    TTerminalThread(const TTerminalThread&) = delete;
    TTerminalThread& operator=(const TTerminalThread&) = delete;

    bool Ready() const { return (terminal_ || !withTerminal_) && decoy_ && hostMain_; }
    HWND Terminal() const { return terminal_; }
    HWND HostMain() const { return hostMain_; }

    std::vector<TCopyData> Received()
    {
        TLockGuard guard(lock_);
        return received_;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept
    {
        try {
            auto* self =
                reinterpret_cast<TTerminalThread*>(GetWindowLongPtrA(window, GWLP_USERDATA));
            if (message == WM_COPYDATA && self) {
                const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                TLockGuard guard(self->lock_);
                self->received_.push_back(
                    {window, wParam, copy->dwData,
                     std::string(static_cast<const char*>(copy->lpData), copy->cbData)});
                return TRUE;
            }
        } catch (...) {
            // Nothing may leave a window procedure.
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND Create(const char* className, DWORD style, HWND parent)
    {
        HWND window = CreateWindowExA(0, className, "trace test", style, 0, 0, 200, 100, parent,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window)
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return window;
    }

    void Run() noexcept
    {
        threadId_ = GetCurrentThreadId();
        WNDCLASSA terminalClass{};
        terminalClass.lpfnWndProc = WindowProc;
        terminalClass.hInstance = GetModuleHandleA(nullptr);
        terminalClass.lpszClassName = kTerminalClass;
        RegisterClassA(&terminalClass);
        WNDCLASSA hostClass = terminalClass;
        hostClass.lpfnWndProc = DefWindowProcA;
        hostClass.lpszClassName = kHostClass;
        RegisterClassA(&hostClass);

        if (withTerminal_)
            terminal_ = Create(kTerminalClass, WS_OVERLAPPEDWINDOW, nullptr);
        decoy_ = Create(kTerminalClass, 0, HWND_MESSAGE);
        hostMain_ = Create(kHostClass, WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
        SetEvent(ready_.Get());

        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);

        for (HWND window : {decoy_, terminal_, hostMain_})
            if (window)
                DestroyWindow(window);
        UnregisterClassA(kTerminalClass, GetModuleHandleA(nullptr));
        UnregisterClassA(kHostClass, GetModuleHandleA(nullptr));
    }

    const bool withTerminal_;
    TWinHandle ready_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND decoy_ = nullptr;
    HWND terminal_ = nullptr;
    HWND hostMain_ = nullptr;
    TCriticalSection lock_;
    std::vector<TCopyData> received_;
};

class TraceDisplay : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ScanCommandLineForTrace({"host.exe", " -dst "})); }
    void TearDown() override { SetTraceHook(nullptr); }
};

} // namespace

TEST_F(TraceDisplay, EveryBufferReachesTheTerminalLedByItsKind)
{
    TTerminalThread terminal;
    ASSERT_TRUE(terminal.Ready());
    auto link = MakeObject<TFakeLink>();

    const std::string request("\x01\x00\xFFreq", 6);
    EXPECT_EQ(link->Write(request), 6);
    link->QueueIncoming("answer");
    EXPECT_EQ(link->Read(), "answer");
    EXPECT_EQ(link->Read(), ""); // empty buffers are not sent

    const auto received = terminal.Received();
    ASSERT_EQ(received.size(), 2u);
    for (const auto& copy : received) {
        EXPECT_EQ(copy.receiver, terminal.Terminal()); // never the message-only decoy
        EXPECT_EQ(copy.sourceWindow, reinterpret_cast<WPARAM>(terminal.HostMain()));
        EXPECT_EQ(copy.dwData, 0u);
    }
    EXPECT_EQ(received[0].data, std::string(1, '\x01') + request);
    EXPECT_EQ(received[1].data, std::string(1, '\x02') + "answer");
}

TEST_F(TraceDisplay, WithoutTerminalLinksBehaveAsWithoutTrace)
{
    auto link = MakeObject<TFakeLink>();
    link->Open();
    link->SetReply("pong");
    EXPECT_EQ(link->Write("ping"), 4);
    EXPECT_EQ(link->ReadBuffered(-1), "pong");
    EXPECT_EQ(link->SendAndReceive("ping", 0, [](const std::string&) -> uint16_t { return 0; }),
              "pong");
    EXPECT_EQ(link->Written(), "pingping");
}

TEST_F(TraceDisplay, MessageOnlyWindowOfTheClassIsNoTerminal)
{
    TTerminalThread decoyOnly(false);
    ASSERT_TRUE(decoyOnly.Ready());
    auto link = MakeObject<TFakeLink>();
    EXPECT_EQ(link->Write("ping"), 4);
    EXPECT_TRUE(decoyOnly.Received().empty());
}
