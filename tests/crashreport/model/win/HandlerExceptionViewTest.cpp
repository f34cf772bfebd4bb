#include "model/win/HandlerExceptionView.h"

#include <gtest/gtest.h>

namespace {

class TCompletingBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException&, TZelReportFields&) override {}
    void StartSections(TIZEException&, TZelReportFields&) override {}
    void WaitForReport(TIZEException& exception) override
    {
        ++waits;
        exception.MarkComplete();
    }
    UnicodeString AssembleText(const TReportFieldList&, const TReportFieldList&) override { return u"report"; }

    int waits = 0;
};

class HandlerExceptionViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ExceptionHooks() = TExceptionHooks{};
        ExceptionHooks().builder = &builder;
    }
    void TearDown() override { ExceptionHooks() = TExceptionHooks{}; }

    TCompletingBuilder builder;
};

TEST_F(HandlerExceptionViewTest, TellsPhaseSwitchesAndKind)
{
    TExceptionFacts facts;
    facts.type = TExceptType::Frozen;
    const TIntfPtr<TIZEException> exception = NewZelException(nullptr, facts);
    THandlerExceptionView view(exception);
    exception->SetPhase(2);
    exception->SetCallHandlers(true);
    EXPECT_EQ(view.Phase(), 2);
    EXPECT_TRUE(view.HandlersAllowed());
    EXPECT_TRUE(view.IsFreezeReport());
    exception->SetCallHandlers(false);
    EXPECT_FALSE(view.HandlersAllowed());
    EXPECT_FALSE(THandlerExceptionView(NewZelException(nullptr, {})).IsFreezeReport());
}

TEST_F(HandlerExceptionViewTest, CompletingWaitsForTheReport)
{
    const TIntfPtr<TIZEException> exception = NewZelException(nullptr, {});
    exception->SetCreateBugReport(true);
    THandlerExceptionView view(exception);
    view.CompleteReport();
    EXPECT_EQ(builder.waits, 1);
    EXPECT_TRUE(exception->IsComplete());
}

TEST_F(HandlerExceptionViewTest, AssistantsRunThroughTheInstalledRunner)
{
    const TIntfPtr<TIZEException> exception = NewZelException(nullptr, {});
    THandlerExceptionView view(exception);
    EXPECT_EQ(view.RunAssistant(1, nullptr), TAssistantOutcome::None);
    int owner = 0;
    ExceptionHooks().runAssistant = [&](TIZEException& asked, uint8_t action, void* window) {
        EXPECT_EQ(&asked, exception.Get());
        EXPECT_EQ(action, 2);
        EXPECT_EQ(window, &owner);
        return TAssistantOutcome::Declined;
    };
    EXPECT_EQ(view.RunAssistant(2, &owner), TAssistantOutcome::Declined);
}

} // namespace
