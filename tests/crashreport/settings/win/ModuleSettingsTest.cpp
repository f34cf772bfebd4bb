#include "settings/win/ZeSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/win/DualText.h"
#include "SettingsTestSupport.h"

namespace {

class ModuleSettings : public testing::Test {
protected:
    void SetUp() override
    {
        g_messages.clear();
        previousSink_ = SetSettingsMessageSink(CollectMessage);
    }
    void TearDown() override { SetSettingsMessageSink(previousSink_); }

private:
    TSettingsMessageSink previousSink_ = nullptr;
};

TEST_F(ModuleSettings, EveryTypeOfTheResourceReadsBack)
{
    const TLoadedModule module(L"crashreport_sample_types.dll");
    ASSERT_NE(module.Get(), nullptr);
    TIZESettings settings(module.Get(), true);
    ASSERT_TRUE(settings.HasSettings());
    EXPECT_TRUE(settings.Enabled());
    EXPECT_TRUE(settings.SettingsAreReal());
    EXPECT_EQ(settings.GetSettingInt("SmallInt"), -5);
    EXPECT_EQ(settings.GetSettingInt("MidInt"), -30000);
    EXPECT_EQ(settings.FreezeTimeout(), 123456);
    EXPECT_EQ(settings.GetSettingText("ShortText"), u"short \u00E9");
    EXPECT_EQ(settings.GetSettingText("IdentText"), u"ident\u00E9");
    EXPECT_FALSE(settings.AutoClip());
    EXPECT_TRUE(settings.AutoSave());
    EXPECT_EQ(settings.MailSubj(), u"long text");
    EXPECT_EQ(settings.MailBody(), u"wide \u20AC\u0416");
    EXPECT_EQ(settings.TitleBar(), u"utf8 \u20AC");
    // Not in the resource: the built-in values.
    EXPECT_EQ(settings.BugRepFileSize(), 100000);
    EXPECT_EQ(settings.SendBtnTxt(), u"send bug report");
    EXPECT_EQ(settings.GetSettingText("NoSuchSetting"), u"");
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(ModuleSettings, AnInvalidTypeKeepsTheSettingsBeforeItAndSaysSo)
{
    const TLoadedModule module(L"crashreport_sample_invalid.dll");
    ASSERT_NE(module.Get(), nullptr);
    TIZESettings settings(module.Get(), true);
    ASSERT_TRUE(settings.HasSettings());
    ASSERT_EQ(g_messages, std::vector<AnsiString>{"Internal error: Invalid settings resource ($15)."});
    EXPECT_TRUE(settings.Enabled());
    EXPECT_EQ(settings.SmtpPort(), 2525);
    EXPECT_EQ(settings.MailSubj(), u"bug report"); // after the bad entry: built-in
}

TEST_F(ModuleSettings, ATruncatedResourceIsReadUpToItsEnd)
{
    const TLoadedModule module(L"crashreport_sample_truncated.dll");
    ASSERT_NE(module.Get(), nullptr);
    TIZESettings settings(module.Get(), true);
    ASSERT_TRUE(settings.HasSettings());
    EXPECT_EQ(settings.HttpPort(), 8080);
    EXPECT_EQ(settings.MailSubj(), u"bug report");
    EXPECT_EQ(settings.Node()->count, 3);
}

TEST_F(ModuleSettings, AModuleWithoutAResourceHasOnlyTheBuiltInValues)
{
    TIZESettings settings(GetModuleHandleW(nullptr), true);
    EXPECT_FALSE(settings.HasSettings());
    EXPECT_FALSE(settings.Enabled());
    EXPECT_FALSE(settings.SettingsAreReal());
    EXPECT_FALSE(settings.SetAutoSave(false));
    EXPECT_TRUE(settings.AutoSave());
    const TSettingsRef chosen = GetModuleSettings(nullptr);
    EXPECT_FALSE(chosen->Node());
    EXPECT_FALSE(chosen->Enabled());
}

TEST_F(ModuleSettings, StoredTextsKeepCharactersBeyondTheCodePage)
{
    const TLoadedModule module(L"crashreport_sample_types.dll");
    TIZESettings settings(module.Get(), true);
    ASSERT_TRUE(settings.SetMailSubj(u"\u0416\u20AC \u4E2D"));
    EXPECT_EQ(settings.MailSubj(), u"\u0416\u20AC \u4E2D");
    ASSERT_TRUE(settings.SetMailSubj(u"plain"));
    EXPECT_EQ(settings.MailSubj(), u"plain");
    const TFoundSetting found = settings.FindSetting("MailSubj", false, TSettingKind::Text, false);
    ASSERT_TRUE(found.record);
    EXPECT_EQ(SharedSize(found.record->text), 6u); // "plain" and its NUL, no UTF-16 copy
    EXPECT_TRUE(settings.SetMailSubj(u""));
    EXPECT_EQ(found.record->text, nullptr);
    // Setters keep the kind of the record they find.
    EXPECT_FALSE(settings.SetSettingInt("MailSubj", 5));
    EXPECT_TRUE(settings.SetSettingInt("NewNumber", 5));
    EXPECT_EQ(settings.GetSettingInt("NewNumber"), 5);
    settings.ReloadSettings();
    EXPECT_EQ(settings.MailSubj(), u"long text");
    EXPECT_EQ(settings.GetSettingInt("NewNumber"), 0);
}

TEST_F(ModuleSettings, TheRecordArrayGrowsAndKeepsItsRecords)
{
    const TLoadedModule module(L"crashreport_sample_types.dll");
    TIZESettings settings(module.Get(), true);
    EXPECT_EQ(settings.Node()->capacity, 147);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(settings.SetSettingInt("Extra" + std::to_string(i), i));
    EXPECT_EQ(settings.Node()->count, 212);
    EXPECT_EQ(settings.Node()->capacity, 227); // 147, then 20 more each time it was full
    EXPECT_EQ(settings.GetSettingInt("Extra0"), 0);
    EXPECT_EQ(settings.GetSettingInt("Extra199"), 199);
    EXPECT_EQ(settings.MailBody(), u"wide \u20AC\u0416");
    settings.ReloadSettings();
    EXPECT_EQ(settings.Node()->count, 12);
}

TEST_F(ModuleSettings, PlaceholdersAreExpandedButNotInTheFrozenMessage)
{
    const TLoadedModule module(L"crashreport_sample_types.dll");
    TIZESettings settings(module.Get(), true);
    ASSERT_TRUE(settings.SetTitleBar(u"%appname% / %modname% / %exceptMsg%%LF%"));
    EXPECT_EQ(settings.TitleBar(), u"crashreport_tests.exe / crashreport_sample_types.dll / %exceptMsg%\r\n");
    ASSERT_TRUE(settings.SetFrozenMsg(u"%appname% froze"));
    EXPECT_EQ(settings.FrozenMsg(), u"%appname% froze");
    ASSERT_TRUE(settings.SetExceptMsg(u"%modversion%"));
    EXPECT_EQ(settings.ExceptMsg(), u"?"); // no version resource
}

} // namespace
