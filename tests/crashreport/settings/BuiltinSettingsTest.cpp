#include "settings/BuiltinSettings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(BuiltinSettings, TheTableHoldsEachOf137NamesOnce)
{
    std::set<std::string> names;
    for (const TBuiltinSetting& setting : BuiltinSettings())
        names.insert(setting.name);
    EXPECT_EQ(BuiltinSettings().size(), 137u);
    EXPECT_EQ(names.size(), 137u);
    EXPECT_STREQ(BuiltinSettings().front().name, "Enabled");
    EXPECT_STREQ(BuiltinSettings().back().name, "VersionVar");
}

TEST(BuiltinSettings, DefaultsOfEachKind)
{
    const TBuiltinSetting* enabled = FindBuiltinSetting("Enabled");
    ASSERT_TRUE(enabled);
    EXPECT_EQ(enabled->kind, TSettingKind::Boolean);
    EXPECT_FALSE(enabled->boolean);
    EXPECT_TRUE(FindBuiltinSetting("NoSettings")->boolean);
    EXPECT_EQ(FindBuiltinSetting("BugRepFileSize")->integer, 100000);
    EXPECT_EQ(FindBuiltinSetting("BugRepFileSize")->kind, TSettingKind::Integer);
    // Stored as booleans, read as integers.
    EXPECT_EQ(FindBuiltinSetting("DupFreezeDef")->kind, TSettingKind::Boolean);
    EXPECT_EQ(FindBuiltinSetting("DupFreezeDef")->integer, 2);
    EXPECT_STREQ(FindBuiltinSetting("BugTrDescr")->text, "error details: \r\n%errorDetails%");
    EXPECT_STREQ(FindBuiltinSetting("BitFaultMsg")->text, "The file \"%modname%\" seems to be corrupt!");
    EXPECT_EQ(FindBuiltinSetting("MailAddr")->kind, TSettingKind::Text);
    EXPECT_EQ(FindBuiltinSetting("MailAddr")->text, nullptr);
}

TEST(BuiltinSettings, NamesCompareExactly)
{
    EXPECT_EQ(FindBuiltinSetting("enabled"), nullptr);
    EXPECT_EQ(FindBuiltinSetting("CrashOnBuffer"), nullptr);
    EXPECT_EQ(FindBuiltinSetting(""), nullptr);
}

} // namespace
