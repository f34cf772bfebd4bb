#include "model/ReportCallbacks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string calls;

void First(bool complete, const UnicodeString& text, IZEException*)
{
    calls += "first(" + std::to_string(complete) + "," + std::to_string(text.size()) + ")";
}

void Second(bool, const UnicodeString&, IZEException*)
{
    calls += "second";
}

void Method(void* object, bool, const UnicodeString&, IZEException*)
{
    calls += *static_cast<std::string*>(object);
}

class ReportCallbacksTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }

    TReportCallbacks callbacks;
};

TEST_F(ReportCallbacksTest, SecondRegistrationOnlyReplacesTheFlag)
{
    EXPECT_TRUE(callbacks.Register(First, false));
    EXPECT_FALSE(callbacks.AnyFlagged());
    EXPECT_FALSE(callbacks.Register(First, true));
    EXPECT_TRUE(callbacks.AnyFlagged());
    EXPECT_EQ(callbacks.Copy().plain.size(), 1u);
    EXPECT_FALSE(callbacks.Register(First, false));
    EXPECT_FALSE(callbacks.AnyFlagged());
}

TEST_F(ReportCallbacksTest, MethodsAreTheSameOnlyWithCodeAndObject)
{
    std::string a = "a";
    std::string b = "b";
    EXPECT_TRUE(callbacks.Register(TBugReportMethod{Method, &a}, false));
    EXPECT_TRUE(callbacks.Register(TBugReportMethod{Method, &b}, true));
    EXPECT_FALSE(callbacks.Register(TBugReportMethod{Method, &a}, false));
    EXPECT_TRUE(callbacks.AnyFlagged());
    callbacks.Unregister(TBugReportMethod{Method, &b});
    EXPECT_FALSE(callbacks.AnyFlagged());
    ASSERT_EQ(callbacks.Copy().methods.size(), 1u);
    EXPECT_EQ(callbacks.Copy().methods[0].object, &a);
}

TEST_F(ReportCallbacksTest, PlainCallbacksRunBeforeMethodsInRegistrationOrder)
{
    std::string m = "method";
    callbacks.Register(TBugReportMethod{Method, &m}, false);
    callbacks.Register(Second, false);
    callbacks.Register(First, false);
    CallReportCallbacks(callbacks.Copy(), true, u"abc", nullptr);
    EXPECT_EQ(calls, "secondfirst(1,3)method");
}

TEST_F(ReportCallbacksTest, UnregisterRemovesOnlyThatProcedure)
{
    callbacks.Register(First, false);
    callbacks.Register(Second, false);
    callbacks.Unregister(First);
    callbacks.Unregister(First);
    CallReportCallbacks(callbacks.Copy(), false, u"", nullptr);
    EXPECT_EQ(calls, "second");
    callbacks.Unregister(Second);
    EXPECT_TRUE(callbacks.Copy().Empty());
}

IZEException* seenByPlain = nullptr;
IZEException* seenByMethod = nullptr;

void NotePlain(bool, const UnicodeString&, IZEException* exception)
{
    seenByPlain = exception;
}

void NoteMethod(void*, bool, const UnicodeString&, IZEException* exception)
{
    seenByMethod = exception;
}

TEST_F(ReportCallbacksTest, AChangeGivesPlainCallbacksNoExceptionAndMethodsTheirs)
{
    auto* exception = reinterpret_cast<IZEException*>(&calls); // only passed on, never used
    seenByPlain = exception;
    callbacks.Register(NotePlain, false);
    callbacks.Register(TBugReportMethod{NoteMethod, nullptr}, false);
    CallReportCallbacks(callbacks.Copy(), false, u"text", exception);
    EXPECT_EQ(seenByPlain, nullptr);
    EXPECT_EQ(seenByMethod, exception);
}

} // namespace
