#include "handlers/win/MainThreadHandlers.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "../FakeHandlerException.h"
#include "MessagePump.h"
#include "win32/MsgHandlerWindows.h"

namespace {

struct TCall {
    std::string name;
    DWORD thread;
    bool mainThreadBusy;
    uint8_t action;
};

std::mutex callsLock;
std::vector<TCall> calls;

void Record(const char* name, uint8_t action)
{
    const std::lock_guard<std::mutex> guard(callsLock);
    calls.push_back({name, GetCurrentThreadId(), MainThreadHandlers().Busy(), action});
}

void OnHandlingThread(IHandlerException&, uint8_t action, bool&)
{
    Record("handling", action);
}

void OnMainThread(IHandlerException&, uint8_t action, bool&)
{
    Record("main", action);
}

void OnEither(IHandlerException&, uint8_t action, bool&)
{
    Record("either", action);
}

void Handles(IHandlerException&, uint8_t action, bool& handled)
{
    Record("handles", action);
    handled = true;
}

class MainThreadHandlersTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(MainThreadHandlers().Start()); }
    static void TearDownTestSuite() { MainThreadHandlers().Stop(); }
    void SetUp() override { calls.clear(); }
    void TearDown() override
    {
        HandlerLists().Clear();
        PumpMessagesFor(0); // probes that timed out while the thread was frozen
    }

    static void RegisterThreeRules(THandlerKind kind = THandlerKind::Exception)
    {
        HandlerLists().Add(kind, OnHandlingThread, THandlerThread::Handling, 0);
        HandlerLists().Add(kind, OnMainThread, THandlerThread::Main, 0);
        HandlerLists().Add(kind, OnEither, THandlerThread::MainOrHandling, 0);
    }

    // Fires from a handling thread; returns its id and the milliseconds the firing took.
    static std::pair<DWORD, ULONGLONG> FireBeside(TFakeException& exception, bool mainThreadPumps,
                                                  THandlerKind kind = THandlerKind::Exception, uint8_t action = 0,
                                                  bool* handled = nullptr)
    {
        DWORD handlingThread = 0;
        ULONGLONG took = 0;
        RunBeside(
            [&] {
                handlingThread = GetCurrentThreadId();
                const ULONGLONG start = GetTickCount64();
                bool wasHandled = false;
                FireHandlers(nullptr, kind, action, wasHandled, exception);
                took = GetTickCount64() - start;
                if (handled)
                    *handled = wasHandled;
            },
            mainThreadPumps);
        return {handlingThread, took};
    }
};

TEST_F(MainThreadHandlersTest, MainThreadHandlersRunThereTheOthersOnTheHandlingThread)
{
    RegisterThreeRules();
    TFakeException exception;
    const DWORD handlingThread = FireBeside(exception, true).first;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "handling");
    EXPECT_EQ(calls[0].thread, handlingThread);
    EXPECT_FALSE(calls[0].mainThreadBusy);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(calls[i].thread, GetCurrentThreadId()) << calls[i].name;
        EXPECT_TRUE(calls[i].mainThreadBusy) << calls[i].name;
    }
    EXPECT_EQ(calls[1].name, "main");
    EXPECT_EQ(calls[2].name, "either");
    EXPECT_FALSE(MainThreadHandlers().Busy());
}

TEST_F(MainThreadHandlersTest, ABlockedMainThreadLeavesItsFallbackHandlersToTheHandlingThreadAfterTheProbe)
{
    RegisterThreeRules();
    TFakeException exception;
    const auto [handlingThread, took] = FireBeside(exception, false);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "handling");
    EXPECT_EQ(calls[1].name, "either");
    EXPECT_EQ(calls[1].thread, handlingThread);
    EXPECT_GE(took, TMainThreadHandlers::kProbeTimeoutMs - 100);
    EXPECT_LT(took, TMainThreadHandlers::kProbeTimeoutMs + 2000);
}

TEST_F(MainThreadHandlersTest, AFreezeReportNeverWaitsForTheMainThread)
{
    RegisterThreeRules();
    TFakeException exception;
    exception.freezeReport = true;
    const auto [handlingThread, took] = FireBeside(exception, false);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].name, "either");
    EXPECT_EQ(calls[1].thread, handlingThread);
    EXPECT_LT(took, 1000u);
}

TEST_F(MainThreadHandlersTest, HandledOnTheHandlingThreadTheMainThreadIsNotAsked)
{
    HandlerLists().Add(THandlerKind::Exception, Handles, THandlerThread::Handling, 0);
    HandlerLists().Add(THandlerKind::Exception, OnMainThread, THandlerThread::Main, 0);
    TFakeException exception;
    bool handled = false;
    FireBeside(exception, true, THandlerKind::Exception, 0, &handled);
    EXPECT_TRUE(handled);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "handles");
}

TEST_F(MainThreadHandlersTest, FiredOnTheMainThreadItselfOnlyItsOwnHandlersRun)
{
    RegisterThreeRules();
    TFakeException exception;
    bool handled = false;
    FireHandlers(nullptr, THandlerKind::Exception, 0, handled, exception);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "main");
    EXPECT_EQ(calls[1].name, "either");
}

TEST_F(MainThreadHandlersTest, NoHandlersChosenForTheExceptionRunsNone)
{
    RegisterThreeRules();
    TFakeException exception;
    exception.handlersAllowed = false;
    FireBeside(exception, true);
    EXPECT_TRUE(calls.empty());
}

TEST_F(MainThreadHandlersTest, RestartAndCloseCompleteTheReportForActionHandlers)
{
    TFakeException exception;
    bool handled = false;
    FireHandlers(nullptr, THandlerKind::Action, HandlerAction::Close, handled, exception);
    EXPECT_EQ(exception.reportsCompleted, 0); // no handler needs it
    // A callback flagged for the finished report needs it, handlers or not; other actions do not.
    exception.reportAwaited = true;
    FireHandlers(nullptr, THandlerKind::Action, HandlerAction::Continue, handled, exception);
    EXPECT_EQ(exception.reportsCompleted, 0);
    FireHandlers(nullptr, THandlerKind::Action, HandlerAction::Restart, handled, exception);
    EXPECT_EQ(exception.reportsCompleted, 1);
    exception.reportsCompleted = 0;
    exception.reportAwaited = false;
    HandlerLists().Add(THandlerKind::Action, OnHandlingThread, THandlerThread::Handling, 0);
    FireBeside(exception, true, THandlerKind::Action, HandlerAction::Continue);
    EXPECT_EQ(exception.reportsCompleted, 0);
    FireBeside(exception, true, THandlerKind::Action, HandlerAction::Restart);
    FireBeside(exception, true, THandlerKind::Action, HandlerAction::Close);
    EXPECT_EQ(exception.reportsCompleted, 2);
}

TEST_F(MainThreadHandlersTest, AnUnhandledSendSavePrintGoesThroughItsAssistantAndFiresAgain)
{
    HandlerLists().Add(THandlerKind::Action, OnHandlingThread, THandlerThread::Handling, 0);
    const HWND owner = GetMsgHandlerWindow();
    ASSERT_NE(owner, nullptr);
    struct TCase {
        TAssistantOutcome outcome;
        uint8_t action;
        std::vector<uint8_t> fired;
        bool handled;
    };
    const TCase cases[] = {
        {TAssistantOutcome::Accepted, HandlerAction::Send, {0, 3}, false},
        {TAssistantOutcome::None, HandlerAction::Save, {1, 4}, false},
        {TAssistantOutcome::Declined, HandlerAction::Print, {2}, true},
    };
    for (const TCase& test : cases) {
        calls.clear();
        TFakeException exception;
        exception.assistant = test.outcome;
        bool handled = false;
        RunBeside([&] { FireHandlers(owner, THandlerKind::Action, test.action, handled, exception); }, true);
        std::vector<uint8_t> fired;
        for (const TCall& call : calls)
            fired.push_back(call.action);
        EXPECT_EQ(fired, test.fired) << int(test.action);
        EXPECT_EQ(handled, test.handled) << int(test.action);
        EXPECT_EQ(exception.assistedActions, std::vector<uint8_t>{test.action});
    }
    // Without an owner window, for other actions, or once handled, no assistant shows.
    TFakeException exception;
    bool handled = false;
    FireHandlers(nullptr, THandlerKind::Action, HandlerAction::Send, handled, exception);
    FireHandlers(owner, THandlerKind::Action, HandlerAction::Continue, handled, exception);
    HandlerLists().Add(THandlerKind::Action, Handles, THandlerThread::Handling, 0);
    RunBeside([&] { FireHandlers(owner, THandlerKind::Action, HandlerAction::Send, handled, exception); }, true);
    EXPECT_TRUE(exception.assistedActions.empty());
}

} // namespace
