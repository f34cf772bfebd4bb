#include "handlers/HandlerLists.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FakeHandlerException.h"

namespace {

TFakeException& Fake(IHandlerException& exception)
{
    return static_cast<TFakeException&>(exception);
}

void PlainA(IHandlerException& exception, uint8_t, bool&)
{
    Fake(exception).calls.push_back("plainA");
}

void PlainHandles(IHandlerException& exception, uint8_t, bool& handled)
{
    Fake(exception).calls.push_back("plainHandles");
    handled = true;
}

void PlainB(IHandlerException& exception, uint8_t action, bool&)
{
    Fake(exception).calls.push_back("plainB" + std::to_string(action));
}

void Throws(IHandlerException& exception, uint8_t, bool&)
{
    Fake(exception).calls.push_back("throws");
    throw std::runtime_error("handler failed");
}

struct TNamed {
    std::string name;
    bool handles = false;
};

void MethodCode(void* object, IHandlerException& exception, uint8_t, bool& handled)
{
    const auto* named = static_cast<TNamed*>(object);
    Fake(exception).calls.push_back(named->name);
    if (named->handles)
        handled = true;
}

class HandlerListsTest : public testing::Test {
protected:
    std::vector<std::string> Fire(THandlerKind kind, uint8_t phase, bool onMainThread = false, bool silent = false,
                                  bool* handled = nullptr)
    {
        TFakeException exception(phase);
        THandlerRun run{kind, 9, exception};
        run.onMainThread = onMainThread;
        run.mainThreadSilent = silent;
        lists.Run(run);
        if (handled)
            *handled = run.handled;
        return exception.calls;
    }

    THandlerLists lists;
};

using Calls = std::vector<std::string>;

TEST_F(HandlerListsTest, ExceptionHandlersRunByPhaseMethodsBeforePlainOnes)
{
    TNamed first{"method1"};
    TNamed second{"method2"};
    ASSERT_TRUE(lists.Add(THandlerKind::Exception, PlainA, THandlerThread::Handling, 1));
    ASSERT_TRUE(lists.Add(THandlerKind::Exception, THandlerMethod{MethodCode, &first}, THandlerThread::Handling, 1));
    ASSERT_TRUE(lists.Add(THandlerKind::Exception, PlainB, THandlerThread::Handling, 2));
    ASSERT_TRUE(lists.Add(THandlerKind::Exception, THandlerMethod{MethodCode, &second}, THandlerThread::Handling, 1));
    EXPECT_EQ(Fire(THandlerKind::Exception, 1), (Calls{"method1", "method2", "plainA"}));
    EXPECT_EQ(Fire(THandlerKind::Exception, 2), (Calls{"plainB9"}));
    EXPECT_TRUE(Fire(THandlerKind::Exception, 0).empty());
    // The other lists are apart.
    EXPECT_TRUE(Fire(THandlerKind::Action, 1).empty());
    EXPECT_TRUE(lists.Empty(THandlerKind::RaiseNotify));
}

TEST_F(HandlerListsTest, TheThreadRuleSplitsHandlersBetweenHandlingAndMainThread)
{
    TNamed main{"main"};
    TNamed either{"either"};
    lists.Add(THandlerKind::Exception, PlainA, THandlerThread::Handling, 0);
    lists.Add(THandlerKind::Exception, THandlerMethod{MethodCode, &main}, THandlerThread::Main, 0);
    lists.Add(THandlerKind::Exception, THandlerMethod{MethodCode, &either}, THandlerThread::MainOrHandling, 0);
    EXPECT_EQ(Fire(THandlerKind::Exception, 0, false), (Calls{"plainA"}));
    EXPECT_EQ(Fire(THandlerKind::Exception, 0, true), (Calls{"main", "either"}));
    // The main thread did not answer: only what may fall back runs here.
    EXPECT_EQ(Fire(THandlerKind::Exception, 0, false, true), (Calls{"either"}));
    EXPECT_TRUE(lists.NeedsMainThread(THandlerKind::Exception, 0));
    EXPECT_FALSE(lists.NeedsMainThread(THandlerKind::Exception, 1));
}

TEST_F(HandlerListsTest, EarlyPhasesStopAtTheFirstHandlingHandlerLaterPhasesRunAll)
{
    TNamed handles{"methodHandles", true};
    for (const uint8_t phase : {uint8_t{2}, uint8_t{3}}) {
        lists.Add(THandlerKind::Exception, THandlerMethod{MethodCode, &handles}, THandlerThread::Handling, phase);
        lists.Add(THandlerKind::Exception, PlainA, THandlerThread::Handling, phase);
        lists.Add(THandlerKind::Exception, PlainHandles, THandlerThread::Handling, phase);
        bool handled = false;
        const Calls calls = Fire(THandlerKind::Exception, phase, false, false, &handled);
        EXPECT_TRUE(handled);
        if (phase == 2)
            EXPECT_EQ(calls, (Calls{"methodHandles"}));
        else
            EXPECT_EQ(calls, (Calls{"methodHandles", "plainA", "plainHandles"}));
        lists.Clear();
    }
}

TEST_F(HandlerListsTest, ActionHandlersIgnoreThePhaseAndStopAtHandled)
{
    lists.Add(THandlerKind::Action, PlainB, THandlerThread::Handling, 5);
    lists.Add(THandlerKind::Action, PlainHandles, THandlerThread::Handling, 0);
    lists.Add(THandlerKind::Action, PlainA, THandlerThread::Handling, 0);
    bool handled = false;
    EXPECT_EQ(Fire(THandlerKind::Action, 7, false, false, &handled), (Calls{"plainB9", "plainHandles"}));
    EXPECT_TRUE(handled);
    // Main-thread needs of action handlers do not depend on the phase either.
    lists.Add(THandlerKind::Action, THandlerMethod{MethodCode, nullptr}, THandlerThread::Main, 4);
    EXPECT_TRUE(lists.NeedsMainThread(THandlerKind::Action, 0));
}

TEST_F(HandlerListsTest, RegistrationIsOncePerHandlerAndRemovable)
{
    TNamed object{"method"};
    TNamed other{"other"};
    EXPECT_TRUE(lists.Add(THandlerKind::RaiseNotify, PlainA, THandlerThread::Handling, 0));
    EXPECT_FALSE(lists.Add(THandlerKind::RaiseNotify, PlainA, THandlerThread::Main, 1));
    EXPECT_TRUE(lists.Add(THandlerKind::RaiseNotify, THandlerMethod{MethodCode, &object}, THandlerThread::Handling, 0));
    EXPECT_FALSE(lists.Add(THandlerKind::RaiseNotify, THandlerMethod{MethodCode, &object}, THandlerThread::Handling, 0));
    // The same code on another object is another handler.
    EXPECT_TRUE(lists.Add(THandlerKind::RaiseNotify, THandlerMethod{MethodCode, &other}, THandlerThread::Handling, 0));
    EXPECT_FALSE(lists.Add(THandlerKind::RaiseNotify, THandlerProc{nullptr}, THandlerThread::Handling, 0));
    EXPECT_EQ(Fire(THandlerKind::RaiseNotify, 0), (Calls{"method", "other", "plainA"}));

    EXPECT_TRUE(lists.Remove(THandlerKind::RaiseNotify, THandlerMethod{MethodCode, &object}));
    EXPECT_FALSE(lists.Remove(THandlerKind::RaiseNotify, THandlerMethod{MethodCode, &object}));
    EXPECT_FALSE(lists.Remove(THandlerKind::Exception, PlainA));
    EXPECT_TRUE(lists.Remove(THandlerKind::RaiseNotify, PlainA));
    EXPECT_EQ(Fire(THandlerKind::RaiseNotify, 0), (Calls{"other"}));
}

TEST_F(HandlerListsTest, AThrowingHandlerDoesNotKeepTheOthersFromRunning)
{
    lists.Add(THandlerKind::Exception, Throws, THandlerThread::Handling, 0);
    lists.Add(THandlerKind::Exception, PlainA, THandlerThread::Handling, 0);
    EXPECT_EQ(Fire(THandlerKind::Exception, 0), (Calls{"throws", "plainA"}));
}

} // namespace
