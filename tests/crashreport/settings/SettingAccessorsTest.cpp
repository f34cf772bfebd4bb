#include "settings/SettingAccessors.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Settings kept in maps; every read and store is recorded by name.
class TMapSettings : public IZEModuleSettings {
public:
    bool GetSettingBool(TSettingName name) override { return booleans[std::string(name)]; }
    int32_t GetSettingInt(TSettingName name) override { return integers[std::string(name)]; }
    UnicodeString GetSettingText(TSettingName name) override { return texts[std::string(name)]; }
    bool SetSettingBool(TSettingName name, bool value) override { return Store(booleans, name, value); }
    bool SetSettingInt(TSettingName name, int32_t value) override { return Store(integers, name, value); }
    bool SetSettingText(TSettingName name, const UnicodeString& value) override { return Store(texts, name, value); }
    bool HasSettings() override { return true; }
    void ReloadSettings() override {}

    std::map<std::string, bool> booleans;
    std::map<std::string, int32_t> integers;
    std::map<std::string, UnicodeString> texts;
    bool storable = true;

private:
    template <typename T>
    bool Store(std::map<std::string, T>& map, TSettingName name, const T& value)
    {
        if (storable)
            map[std::string(name)] = value;
        return storable;
    }
};

TEST(SettingAccessors, EachAccessorReadsAndStoresItsOwnNameAndKind)
{
    TMapSettings settings;
    EXPECT_TRUE(settings.SetAutoSave(true));
    EXPECT_TRUE(settings.SetSmtpPort(25));
    EXPECT_TRUE(settings.SetMailSubj(u"crash"));
    EXPECT_TRUE(settings.SetGnShowCfg(2));
    EXPECT_TRUE(settings.booleans["AutoSave"]);
    EXPECT_EQ(settings.integers["SmtpPort"], 25);
    EXPECT_EQ(settings.texts["MailSubj"], u"crash");
    EXPECT_EQ(settings.integers["GnShowCfg"], 2);
    EXPECT_TRUE(settings.AutoSave());
    EXPECT_EQ(settings.SmtpPort(), 25);
    EXPECT_EQ(settings.MailSubj(), u"crash");
    settings.integers["FreezeTimeout"] = 60000;
    EXPECT_EQ(settings.FreezeTimeout(), 60000);
    settings.storable = false;
    EXPECT_FALSE(settings.SetAutoSave(false));
    EXPECT_TRUE(settings.AutoSave());
}

TEST(SettingAccessors, ModuleLevelTestsCombineTheirSettings)
{
    TMapSettings settings;
    settings.booleans["NoSettings"] = true;
    EXPECT_FALSE(settings.SettingsAreReal());
    EXPECT_TRUE(settings.MinDebugInfoIsEmpty());
    settings.booleans["CrashOnBuffer"] = true;
    EXPECT_TRUE(settings.CrashOnOverrun());
    EXPECT_FALSE(settings.CrashOnUnderrun());
    settings.booleans["CrashOnUnderrun"] = true;
    EXPECT_FALSE(settings.CrashOnOverrun());
    EXPECT_TRUE(settings.CrashOnUnderrun());
}

TEST(SettingAccessors, PluginsAreItemsOfOneList)
{
    TMapSettings settings;
    settings.texts["Plugins"] = u"modules|processes|hardware";
    EXPECT_TRUE(settings.PluginEnabled(u"processes"));
    EXPECT_FALSE(settings.PluginEnabled(u"process"));
    settings.EnablePlugin(u"processes", false);
    EXPECT_EQ(settings.texts["Plugins"], u"modules|hardware");
    settings.EnablePlugin(u"hardware", false);
    settings.EnablePlugin(u"modules", false);
    EXPECT_EQ(settings.texts["Plugins"], u"");
    settings.EnablePlugin(u"threads", true);
    EXPECT_EQ(settings.texts["Plugins"], u"threads");
    settings.EnablePlugin(u"threads", true); // already listed: unchanged
    settings.EnablePlugin(u"memory", true);
    EXPECT_EQ(settings.texts["Plugins"], u"threads|memory");
    settings.EnablePlugin(u"absent", false); // not listed: unchanged
    EXPECT_EQ(settings.texts["Plugins"], u"threads|memory");
}

} // namespace
