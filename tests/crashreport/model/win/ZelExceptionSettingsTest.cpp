#include "model/win/ZelException.h"

#include <gtest/gtest.h>

#include "settings/win/SharedSettings.h"
#include "support/LoadedModule.h"

namespace {

class ZelExceptionSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(OpenSettingsBuffer()); }
    void TearDown() override { CloseSettingsBuffer(); }
};

TEST_F(ZelExceptionSettingsTest, TheModulesSettingsApplyAndSettingsItLacksStayWithTheException)
{
    const TLoadedModule sample(L"crashreport_sample_types.dll");
    ASSERT_NE(sample.Get(), nullptr);
    const auto owner = std::make_shared<TIZESettings>(sample.Get(), true);
    ASSERT_TRUE(owner->HasSettings());
    const TIntfPtr<TIZEException> first = NewZelException(owner, {});
    const TIntfPtr<TIZEException> second = NewZelException(owner, {});
    IZEModuleSettings& settings = first->Settings();

    EXPECT_EQ(settings.FreezeTimeout(), 123456);
    const int32_t builtinPort = owner->HttpPort();
    EXPECT_TRUE(settings.SetHttpPort(builtinPort + 8080));
    EXPECT_EQ(settings.HttpPort(), builtinPort + 8080);
    EXPECT_EQ(owner->HttpPort(), builtinPort);
    EXPECT_EQ(second->Settings().HttpPort(), builtinPort);

    EXPECT_TRUE(settings.SetMailFrom(u"crash@example.test"));
    EXPECT_EQ(settings.MailFrom(), u"crash@example.test");
    EXPECT_EQ(second->Settings().MailFrom(), owner->MailFrom());
}

// The module's records are shared by every exception of the module: a setter of one exception
// overrides the module's value for that exception alone, while the module's own changes still
// show through where the exception has not set anything.
TEST_F(ZelExceptionSettingsTest, ASettingTheModuleHoldsIsOverriddenForTheExceptionAlone)
{
    const TLoadedModule sample(L"crashreport_sample_types.dll");
    ASSERT_NE(sample.Get(), nullptr);
    const auto owner = std::make_shared<TIZESettings>(sample.Get(), true);
    const TIntfPtr<TIZEException> exception = NewZelException(owner, {});
    const TIntfPtr<TIZEException> later = NewZelException(owner, {});
    ASSERT_TRUE(owner->AutoSave());
    EXPECT_TRUE(exception->Settings().SetAutoSave(false));
    EXPECT_FALSE(exception->Settings().AutoSave());
    EXPECT_TRUE(owner->AutoSave());
    EXPECT_TRUE(later->Settings().AutoSave());
    owner->SetAutoSave(false);
    EXPECT_FALSE(later->Settings().AutoSave()) << "the module's change shows through";
    owner->SetAutoSave(true);
    EXPECT_FALSE(exception->Settings().AutoSave()) << "the exception's own value stays";
}

} // namespace
