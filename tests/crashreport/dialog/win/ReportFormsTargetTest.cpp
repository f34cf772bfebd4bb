// Where the forms' changes go: the exception object's settings, screenshot and attach flag,
// and which user data a form takes its target from.
#include "dialog/win/ReportFormsTarget.h"

#include <gtest/gtest.h>

#include "model/win/ZelException.h"
#include "settings/win/SharedSettings.h"
#include "settings/win/ZeSettings.h"
#include "wizard/win/NVAssistant.h"
#include "support/LoadedModule.h"

namespace {

// The shared settings store, for the exception's own settings.
class TSettingsStore {
public:
    TSettingsStore() : open_(OpenSettingsBuffer()) {}
    ~TSettingsStore()
    {
        if (open_)
            CloseSettingsBuffer();
    }
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

TEST(ReportFormsTargetTest, TheExceptionTakesSenderScreenshotAndAttachFlag)
{
    const TSettingsStore store;
    ASSERT_TRUE(store.IsOpen());
    const TLoadedModule sample(L"crashreport_sample_types.dll");
    ASSERT_NE(sample.Get(), nullptr);
    const TIntfPtr<TIZEException> exception = NewZelException(std::make_shared<TIZESettings>(sample.Get(), true), {});
    ASSERT_TRUE(exception);
    TExceptionFormsTarget target(*exception);
    target.SetMailFrom(u"Ann Smith <ann@example.org>");
    EXPECT_EQ(exception->Settings().MailFrom(), u"Ann Smith <ann@example.org>");

    const TIntfPtr<INVBitmap> bitmap = CreateNVBitmap(8, 4);
    ASSERT_TRUE(bitmap);
    target.SetScreenShot(bitmap);
    EXPECT_EQ(exception->GetScreenShot().Get(), bitmap.Get());
    EXPECT_EQ(target.ScreenShot().Get(), bitmap.Get());

    target.SetAttachScreenShot(false);
    EXPECT_FALSE(exception->GetAppendScreenShot());
    EXPECT_FALSE(target.AttachScreenShot());
    target.SetAttachScreenShot(true);
    EXPECT_TRUE(exception->GetAppendScreenShot());
}

class TNoTarget : public IReportFormsTarget {
public:
    void SetMailFrom(const UnicodeString&) override {}
    TIntfPtr<INVBitmap> ScreenShot() override { return nullptr; }
    void SetScreenShot(const TIntfPtr<INVBitmap>&) override {}
    bool AttachScreenShot() override { return false; }
    void SetAttachScreenShot(bool) override {}
};

TEST(ReportFormsTargetTest, AFormsOwnUserDataComesBeforeItsAssistants)
{
    TNVAssistant assistant(u"Bug report", {std::string()});
    TNVForm& form = *assistant.Form(0);
    EXPECT_EQ(FormsTargetOf(form), nullptr);
    TNoTarget forAssistant, forForm;
    assistant.SetUserData(static_cast<IReportFormsTarget*>(&forAssistant));
    EXPECT_EQ(FormsTargetOf(form), &forAssistant);
    form.SetUserData(static_cast<IReportFormsTarget*>(&forForm));
    EXPECT_EQ(FormsTargetOf(form), &forForm);
}

} // namespace
