#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "dispatch/win/RequestHandler.h"
#include "engine/win/LibraryFolders.h"
#include "handlers/HandlerLists.h"
#include "report/win/ModelReportBuilder.h"

namespace {

constexpr uint64_t kNow = 13'000'000'000;

std::vector<uint8_t> g_phases;
std::vector<uint8_t> g_actions;
int g_raiseNotifications = 0;
bool g_handleAtFirstPhase = false;

// One handler per phase: a list holds each handler once.
template <uint8_t Phase>
void RecordPhase(IHandlerException& exception, uint8_t, bool& handled)
{
    g_phases.push_back(exception.Phase());
    handled = handled || g_handleAtFirstPhase;
}

void RecordAction(IHandlerException&, uint8_t action, bool&)
{
    g_actions.push_back(action);
}

void RecordRaiseNotification(IHandlerException&, uint8_t, bool&)
{
    ++g_raiseNotifications;
}

// Where the request says the exception happened: code of this program, whose settings apply.
void CrashSite() {}

struct TShown {
    uint8_t showSetting;
    bool createBugReport;
    bool callHandlers;
    UnicodeString assistant;
    UnicodeString exceptClass;
    UnicodeString exceptMessage;
};

class RequestHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings_ = GetModuleSettings(GetModuleHandleW(nullptr));
        ASSERT_TRUE(settings_);
        g_phases.clear();
        g_actions.clear();
        g_raiseNotifications = 0;
        g_handleAtFirstPhase = false;
        HandlerLists().Add(THandlerKind::Exception, &RecordPhase<1>, THandlerThread::Handling, 1);
        HandlerLists().Add(THandlerKind::Exception, &RecordPhase<2>, THandlerThread::Handling, 2);
        HandlerLists().Add(THandlerKind::Exception, &RecordPhase<3>, THandlerThread::Handling, 3);
        HandlerLists().Add(THandlerKind::Action, &RecordAction, THandlerThread::Handling, 0);
        HandlerLists().Add(THandlerKind::RaiseNotify, &RecordRaiseNotification, THandlerThread::Handling, 0);
        TExceptionHooks& hooks = ExceptionHooks();
        hooks.show = [this](TIZEException& exception) {
            shown_.push_back({exception.GetShowSetting(), exception.GetCreateBugReport(), exception.GetCallHandlers(),
                              exception.GetAssistant(), exception.GetExceptClass(), exception.GetExceptMessage()});
        };
        hooks.close = [this](TIZEException&) { ++closes_; };
        hooks.restart = [this](TIZEException&) { ++restarts_; };
        RequestHandler().SetHistory({});
        RequestHandler().SetClock([] { return kNow; });
    }

    void TearDown() override
    {
        HandlerLists().Clear();
        ExceptionHooks() = TExceptionHooks{};
        RequestHandler().SetClock(nullptr);
        RequestHandler().SetHistory({});
        RequestHandler().SetConsoleMode(false);
        RequestHandler().SetNoInterface(false);
        settings_->SetGnShowCfg(0);
        settings_->SetAutoClose(0);
        settings_->SetAutoRestart(0);
        settings_->SetAutoSave(false);
        settings_->SetBugRepFile(u"bugreport.txt");
    }

    // The result text the handling left, when one was wanted.
    UnicodeString Handle(uint8_t kind = 0, bool continueAllowed = true,
                         std::vector<UnicodeString> classChain = {u"EMine"}, bool wantsResultText = false)
    {
        auto copies = MakeObject<TRequestCopies>();
        copies->wantsResultText = wantsResultText;
        copies->classChain = std::move(classChain);
        copies->message = "it broke";
        THandlingRequest request{};
        request.threadId = GetCurrentThreadId();
        request.kind = kind;
        request.address = reinterpret_cast<uintptr_t>(&CrashSite);
        request.continueAllowed = continueAllowed;
        request.source = 13;
        request.copies = copies.Get();
        request.messageText = copies->message.data();
        request.messageLength = static_cast<uint32_t>(copies->message.size());
        RequestHandler().Handle(request, *copies);
        return copies->resultText;
    }

    TSettingsRef settings_;
    std::vector<TShown> shown_;
    int closes_ = 0;
    int restarts_ = 0;
};

TEST_F(RequestHandlerTest, HandlersSeeEachPhaseThenTheDialogShowsTheRaisedClassAndMessage)
{
    Handle();
    EXPECT_EQ(g_phases, (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].showSetting, 0);
    EXPECT_TRUE(shown_[0].createBugReport);
    EXPECT_TRUE(shown_[0].callHandlers);
    EXPECT_EQ(shown_[0].exceptClass, u"EMine");
    EXPECT_EQ(shown_[0].exceptMessage, u"it broke");
    EXPECT_TRUE(g_actions.empty()) << "continuing after the dialog fires no action";
    EXPECT_EQ(RequestHandler().History().Slot(0), kNow);
    EXPECT_EQ(closes_ + restarts_, 0);
}

TEST_F(RequestHandlerTest, TheFirstOptionSetAppliesToAClassItNames)
{
    // The shipped settings name EDBEditError in F1Classes: no report, no handlers, box kind 3.
    Handle(0, true, {u"EMyEditError", u"EDBEditError", u"Exception"});
    EXPECT_TRUE(g_phases.empty());
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].showSetting, 3);
    EXPECT_FALSE(shown_[0].createBugReport);
    EXPECT_FALSE(shown_[0].callHandlers);
}

TEST_F(RequestHandlerTest, AnExceptionHandledByItsHandlersShowsNothingAndContinues)
{
    g_handleAtFirstPhase = true;
    Handle();
    EXPECT_EQ(g_phases, (std::vector<uint8_t>{1})) << "the later phases are not fired once handled";
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(g_actions.empty());
}

TEST_F(RequestHandlerTest, ARaiseNotificationRunsOnlyTheThirdListAndIsNotCounted)
{
    Handle(2);
    EXPECT_EQ(g_raiseNotifications, 1);
    EXPECT_TRUE(g_phases.empty());
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(RequestHandler().History().Slot(0), 0u);
}

TEST_F(RequestHandlerTest, WithoutDialogTheHostContinuesOrClosesAsContinuingAllows)
{
    settings_->SetGnShowCfg(4);
    Handle();
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Continue}));
    EXPECT_EQ(closes_, 0);

    g_actions.clear();
    Handle(0, false);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Close}));
    EXPECT_EQ(closes_, 1);
    EXPECT_EQ(restarts_, 0);
}

TEST_F(RequestHandlerTest, AnExceptionThatMayNotContinueClosesEvenAfterTheDialog)
{
    Handle(0, false);
    EXPECT_EQ(shown_.size(), 1u);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Close}));
    EXPECT_EQ(closes_, 1);
}

TEST_F(RequestHandlerTest, AutoRestartIsDueWithTheTenthExceptionWithinItsSeconds)
{
    settings_->SetGnShowCfg(4);
    settings_->SetAutoRestart(60);
    for (int count = 1; count <= 9; ++count)
        Handle(0, false);
    EXPECT_EQ(restarts_, 0);
    EXPECT_EQ(closes_, 9) << "not due and not continuing: closed";
    g_actions.clear();
    Handle(0, false);
    EXPECT_EQ(restarts_, 1);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Restart}));
}

TEST_F(RequestHandlerTest, OnAConsoleTheExceptionIsWrittenThenTheAutomaticActionsDecide)
{
    RequestHandler().SetConsoleMode(true);
    Handle();
    EXPECT_EQ(shown_.size(), 1u);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Continue})) << "no dialog chose to continue";
    EXPECT_EQ(closes_, 0);

    g_actions.clear();
    settings_->SetAutoClose(1);
    Handle();
    EXPECT_EQ(shown_.size(), 2u);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Close}));
    EXPECT_EQ(closes_, 1);

    // Showing nothing stays nothing on a console as well.
    settings_->SetAutoClose(0);
    settings_->SetGnShowCfg(4);
    Handle();
    EXPECT_EQ(shown_.size(), 2u);
}

TEST_F(RequestHandlerTest, AutoCloseWinsOverADueRestart)
{
    settings_->SetGnShowCfg(4);
    settings_->SetAutoRestart(1);
    settings_->SetAutoClose(1);
    Handle();
    EXPECT_EQ(closes_, 1);
    EXPECT_EQ(restarts_, 0);
    EXPECT_EQ(g_actions, (std::vector<uint8_t>{HandlerAction::Close}));
}

TEST_F(RequestHandlerTest, AutoSaveWritesTheFinishedReportIntoTheBugReportFile)
{
    InstallReportBuilder();
    const UnicodeString folder = GetLibraryTempFolder();
    ASSERT_FALSE(folder.empty());
    const UnicodeString file = folder.substr(0, folder.size() - 1) + u"-dispatch-report.txt";
    DeleteFileW(reinterpret_cast<LPCWSTR>(file.c_str()));
    settings_->SetGnShowCfg(4);
    settings_->SetAutoSave(true);
    settings_->SetBugRepFile(file);
    Handle();
    std::ifstream saved(std::filesystem::path(std::wstring(file.begin(), file.end())), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(saved), std::istreambuf_iterator<char>()};
    saved.close();
    DeleteFileW(reinterpret_cast<LPCWSTR>(file.c_str()));
    EXPECT_NE(text.find("exception class"), std::string::npos) << text.substr(0, 400);
    EXPECT_NE(text.find("EMine"), std::string::npos);
    EXPECT_NE(text.find("it broke"), std::string::npos);
    EXPECT_EQ(std::count(g_actions.begin(), g_actions.end(), HandlerAction::Saved), 1)
        << "saved once, whoever asks";
}

// A host without an interface answers the failed request with the report: nothing is shown and
// the automatic actions decide, as on a console.
TEST_F(RequestHandlerTest, WithoutAnInterfaceTheReportBecomesTheResultTextAndNothingShows)
{
    InstallReportBuilder();
    RequestHandler().SetNoInterface(true);
    const UnicodeString answer = Handle(0, true, {u"EMine"}, true);
    EXPECT_TRUE(shown_.empty());
    EXPECT_NE(answer.find(u"EMine"), UnicodeString::npos) << "the complete report";
    EXPECT_NE(answer.find(u"it broke"), UnicodeString::npos);
    EXPECT_EQ(std::count(g_actions.begin(), g_actions.end(), HandlerAction::Continue), 1) << "no dialog chose it";
    EXPECT_EQ(closes_ + restarts_, 0);

    EXPECT_TRUE(Handle(0, true, {u"EMine"}, false).empty()) << "nobody asked for it";
    settings_->SetGnShowCfg(4);
    EXPECT_TRUE(Handle(0, true, {u"EMine"}, true).empty()) << "showing nothing gives nothing";
    EXPECT_TRUE(shown_.empty());
}

} // namespace
