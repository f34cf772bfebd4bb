#include "model/win/ZelException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WinHandle.h"

namespace {

std::vector<std::string> g_events;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kCloseDialogMessage)
        g_events.push_back("dialog closed");
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window that records the dialog's close message.
class TRecordingWindow {
public:
    TRecordingWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZelExceptionActionsTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~TRecordingWindow() { DestroyWindow(window_); }
    TRecordingWindow(const TRecordingWindow&) = delete;
    TRecordingWindow& operator=(const TRecordingWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

class TCompleteBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException&, TZelReportFields& header) override { header.Add(u"executable", u"test.exe"); }
    void StartSections(TIZEException&, TZelReportFields&) override {}
    void WaitForReport(TIZEException& exception) override { exception.MarkComplete(); }
    UnicodeString AssembleText(const TReportFieldList& header, const TReportFieldList&) override
    {
        return header.empty() ? UnicodeString() : header[0].name + u": " + header[0].value;
    }
};

class ZelExceptionActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(window.Get(), nullptr);
        g_events.clear();
        TExceptionHooks& hooks = ExceptionHooks();
        hooks = TExceptionHooks{};
        hooks.builder = &builder;
        hooks.fireActionHandlers = [this](TIZEException&, HWND target, TUserAction action) {
            EXPECT_EQ(target, window.Get());
            g_events.push_back("action " + std::to_string(static_cast<int>(action)));
            return action == handledAction;
        };
        hooks.save = [](TIZEException&, const UnicodeString& report, HWND) {
            g_events.push_back("save " + std::string(report.begin(), report.end()));
        };
        hooks.print = [](TIZEException&, const UnicodeString&, HWND) { g_events.push_back("print"); };
        hooks.endOfHandling = [](TIZEException&, bool after) {
            g_events.push_back(after ? "end of handling after" : "end of handling");
        };
        hooks.restart = [](TIZEException&) { g_events.push_back("restart"); };
        hooks.close = [](TIZEException&) { g_events.push_back("close"); };
        exception = NewZelException(nullptr, {});
        exception->SetCreateBugReport(true);
    }
    void TearDown() override { ExceptionHooks() = TExceptionHooks{}; }

    using TEvents = std::vector<std::string>;

    TRecordingWindow window;
    TCompleteBuilder builder;
    TUserAction handledAction = TUserAction::ContinueBefore;
    TIntfPtr<TIZEException> exception;
};

TEST_F(ZelExceptionActionsTest, SaveAndPrintHandTheWholeReportBetweenTheirTwoActionCodes)
{
    handledAction = TUserAction::SendAfter;
    exception->SaveBugReport(window.Get());
    exception->PrintBugReport(window.Get());
    EXPECT_EQ(g_events, (TEvents{"action 1", "save executable: test.exe", "action 7", "action 2", "print", "action 8"}));
}

TEST_F(ZelExceptionActionsTest, AHandledActionIsNotDone)
{
    handledAction = TUserAction::SaveBefore;
    exception->SaveBugReport(window.Get());
    handledAction = TUserAction::CloseBefore;
    exception->CloseApplication(window.Get());
    handledAction = TUserAction::RestartBefore;
    exception->RestartApplication(window.Get());
    handledAction = TUserAction::ContinueBefore;
    exception->ContinueApplication(window.Get());
    EXPECT_EQ(g_events, (TEvents{"action 1", "action 13", "action 12", "action 11"}));
}

TEST_F(ZelExceptionActionsTest, ContinueRestartAndCloseCloseTheDialogFirst)
{
    handledAction = TUserAction::SendAfter;
    exception->ContinueApplication(window.Get());
    exception->RestartApplication(window.Get());
    exception->CloseApplication(window.Get());
    EXPECT_EQ(g_events, (TEvents{"action 11", "dialog closed", "action 12", "dialog closed", "end of handling after",
                                 "restart", "action 13", "dialog closed", "end of handling", "close"}));
}

TEST_F(ZelExceptionActionsTest, SendClosesTheEarlierSendersHandleAndTakesTheScreenShotWhenAsked)
{
    handledAction = TUserAction::SaveBefore;
    ExceptionHooks().captureScreen = [](bool) { return CreateNVBitmap(2, 2); };
    HANDLE earlier = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    *exception->OwnedHandleRef() = earlier;
    bool hadShot = true;
    bool earlierStillOpen = true;
    ExceptionHooks().send = [&](TIZEException&, const UnicodeString& report, const TIntfPtr<INVBitmap>& shot, HWND,
                                HANDLE* owned) {
        hadShot = static_cast<bool>(shot);
        EXPECT_EQ(*owned, nullptr);
        DWORD flags = 0;
        earlierStillOpen = GetHandleInformation(earlier, &flags) != FALSE;
        EXPECT_EQ(report, u"executable: test.exe");
        *owned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    };
    exception->SetCreateScreenShot(true);
    exception->SendBugReport(window.Get());
    EXPECT_FALSE(hadShot); // AppendScreenShot is off
    EXPECT_FALSE(earlierStillOpen);

    exception->SetAppendScreenShot(true);
    exception->SendBugReport(window.Get());
    EXPECT_TRUE(hadShot);
    EXPECT_EQ(g_events, (TEvents{"action 0", "action 6", "action 0", "action 6"}));
}

TEST_F(ZelExceptionActionsTest, DetailsArePostedToTheGivenWindow)
{
    exception->ShowBugReportDetails(window.Get());
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, window.Get(), kShowBugReportMessage, kShowBugReportMessage, PM_REMOVE));
    EXPECT_EQ(message.message, kShowBugReportMessage);
}

// PostMessage to no window would land in this thread's own queue.
TEST_F(ZelExceptionActionsTest, WithoutADialogNothingIsPostedOrSent)
{
    handledAction = TUserAction::SendAfter;
    ExceptionHooks().fireActionHandlers = [](TIZEException&, HWND target, TUserAction action) {
        EXPECT_EQ(target, nullptr);
        g_events.push_back("action " + std::to_string(static_cast<int>(action)));
        return false;
    };
    exception->ShowBugReportDetails(nullptr);
    exception->ContinueApplication(nullptr);
    MSG message{};
    EXPECT_FALSE(PeekMessageW(&message, nullptr, kShowBugReportMessage, kCloseDialogMessage, PM_REMOVE));
    EXPECT_EQ(g_events, TEvents{"action 11"});
}

// The builder thread of these tests: runs until the exception object says it is going.
struct TBuilderThread {
    TIZEException* exception;
    HANDLE release;
    bool sawTerminating = false;
};

DWORD WINAPI WaitForTerminating(void* parameter)
{
    auto* state = static_cast<TBuilderThread*>(parameter);
    while (!state->exception->IsTerminating())
        WaitForSingleObject(state->release, 5);
    state->sawTerminating = true;
    return 0;
}

TEST(ZelExceptionLifetime, TheLastReleaseStopsTheBuilderAndWaitsForIt)
{
    ExceptionHooks() = TExceptionHooks{};
    TIntfPtr<TIZEException> exception = NewZelException(nullptr, {});
    TWinHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TBuilderThread state{exception.Get(), release.Get()};
    DWORD threadId = 0;
    TWinHandle thread(CreateThread(nullptr, 0, WaitForTerminating, &state, 0, &threadId));
    ASSERT_TRUE(thread);
    HANDLE ours = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), &ours, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    TWinHandle watched(ours);
    exception->SetBuilderThread(std::move(thread), threadId);
    EXPECT_EQ(exception->GetBuilderThreadId(), threadId);
    exception.Reset();
    EXPECT_TRUE(state.sawTerminating);
    EXPECT_EQ(WaitForSingleObject(watched.Get(), 0), WAIT_OBJECT_0);
}

struct TLastReference {
    TIntfPtr<TIZEException> exception;
    HANDLE go;
};

DWORD WINAPI DropLastReference(void* parameter)
{
    auto* state = static_cast<TLastReference*>(parameter);
    WaitForSingleObject(state->go, INFINITE);
    state->exception.Reset();
    return 0;
}

TEST(ZelExceptionLifetime, ABuilderThatDropsTheLastReferenceDoesNotWaitForItself)
{
    ExceptionHooks() = TExceptionHooks{};
    TWinHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TLastReference state{NewZelException(nullptr, {}), go.Get()};
    DWORD threadId = 0;
    TWinHandle thread(CreateThread(nullptr, 0, DropLastReference, &state, CREATE_SUSPENDED, &threadId));
    ASSERT_TRUE(thread);
    HANDLE ours = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), &ours, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    TWinHandle watched(ours);
    state.exception->SetBuilderThread(std::move(thread), threadId);
    ResumeThread(watched.Get());
    SetEvent(go.Get());
    EXPECT_EQ(WaitForSingleObject(watched.Get(), 5000), WAIT_OBJECT_0);
}

struct TWaitingThread {
    HANDLE started;
    HANDLE never;
};

// Ending a thread still in its start-up could take the loader's lock with it: the test ends
// it only once it waits.
DWORD WINAPI WaitForever(void* parameter)
{
    const auto* waiting = static_cast<const TWaitingThread*>(parameter);
    SetEvent(waiting->started);
    WaitForSingleObject(waiting->never, INFINITE);
    return 0;
}

TEST(ZelExceptionLifetime, UnderTheLoaderLockTheBuilderIsEndedInsteadOfWaitedFor)
{
    ExceptionHooks() = TExceptionHooks{};
    int lockChecks = 0;
    ExceptionHooks().isLoaderLocked = [&](int milliseconds) {
        EXPECT_EQ(milliseconds, 250);
        ++lockChecks;
        return true;
    };
    TWinHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TWinHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const TWaitingThread waiting{started.Get(), never.Get()};
    TIntfPtr<TIZEException> exception = NewZelException(nullptr, {});
    DWORD threadId = 0;
    TWinHandle thread(CreateThread(nullptr, 0, WaitForever, const_cast<TWaitingThread*>(&waiting), 0, &threadId));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(started.Get(), 5000), WAIT_OBJECT_0);
    HANDLE ours = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), &ours, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    TWinHandle watched(ours);
    exception->SetBuilderThread(std::move(thread), threadId);
    exception->SetBuilderRegistration(LocalAlloc(LMEM_FIXED, 16));
    exception.Reset();
    EXPECT_EQ(lockChecks, 1);
    ASSERT_EQ(WaitForSingleObject(watched.Get(), 5000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeThread(watched.Get(), &exitCode);
    EXPECT_EQ(exitCode, 1u);
    ExceptionHooks() = TExceptionHooks{};
}

} // namespace
