#include <gtest/gtest.h>

#include <atomic>

#include "CrashSite.h"
#include "ModelReportBuilder.h"
#include "model/PluginRegistry.h"
#include "settings/win/SharedSettings.h"
#include "threads/ThreadNameBuffer.h"

namespace {

constexpr wchar_t kTitle[] = L"report on its way";

// The section plug-in "watch": run by the builder thread, it waits until the please-wait alert
// of the waiting caller is on the screen.
std::atomic<bool> alertSeen{false};

void WatchForAlert(UnicodeString& text)
{
    for (int i = 0; i < 200 && !alertSeen; ++i) {
        const HWND alert = FindWindowW(nullptr, kTitle);
        alertSeen = alert && IsWindowVisible(alert);
        Sleep(5);
    }
    text = u"watched";
}

class PleaseWait : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed);
        ASSERT_TRUE(OpenSettingsBuffer());
        ExceptionHooks() = TExceptionHooks{};
        InstallReportBuilder();
        RegisterBugReportPlugin(u"watch", u"waits for the alert", WatchForAlert, true);
        alertSeen = false;
    }
    // The report of a crash, built while the caller waits for it, the watching plug-in its
    // only section.
    static void BuildReport(bool pleaseWaitBox, TIntfPtr<TIZEException>& exception)
    {
        const TCrash crash(TCrashSite::A, u"crasher");
        TExceptionFacts facts;
        facts.exceptAddress = crash.Address();
        facts.crashedThreadId = crash.ThreadId();
        facts.context = &crash.Context();
        exception = NewZelException(GetModuleSettings(nullptr), facts);
        exception->SetCreateBugReport(true);
        IZEModuleSettings& settings = exception->Settings();
        ASSERT_TRUE(settings.SetSettingText("Plugins", u"watch"));
        ASSERT_TRUE(settings.SetSettingBool("ListThreads", false));
        ASSERT_TRUE(settings.SetPlWaitBox(pleaseWaitBox));
        ASSERT_TRUE(settings.SetPlWaitTitle(reinterpret_cast<const char16_t*>(kTitle)));
        exception->GetBugReportSections();
        exception->GetBugReport();
    }

    void TearDown() override
    {
        ExceptionHooks() = TExceptionHooks{};
        UnregisterBugReportPlugin(u"watch");
        CloseSettingsBuffer();
        ThreadNameBuffer().Close();
    }
};

} // namespace

TEST_F(PleaseWait, TheAlertStandsWhileTheCallerWaitsAndGoesWithTheReport)
{
    TIntfPtr<TIZEException> exception;
    ASSERT_NO_FATAL_FAILURE(BuildReport(true, exception));
    EXPECT_TRUE(alertSeen.load());
    EXPECT_TRUE(exception->IsComplete());
    EXPECT_FALSE(exception->PleaseWaitAlert());
    EXPECT_EQ(nullptr, FindWindowW(nullptr, kTitle));
}

TEST_F(PleaseWait, NoAlertWhenTheSettingIsOff)
{
    TIntfPtr<TIZEException> exception;
    ASSERT_NO_FATAL_FAILURE(BuildReport(false, exception));
    EXPECT_FALSE(alertSeen.load());
    EXPECT_TRUE(exception->IsComplete());
}
