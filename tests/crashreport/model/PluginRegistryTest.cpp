#include "model/PluginRegistry.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

IZEException* const kException = reinterpret_cast<IZEException*>(0x1000);
IZEException* seenException = nullptr;

void WideText(UnicodeString& text)
{
    text = u"wide";
}

void OtherWideText(UnicodeString& text)
{
    text = u"other";
}

void AnsiText(AnsiString& text)
{
    text = "ansi";
}

void ExWideText(IZEException* exception, UnicodeString& text)
{
    seenException = exception;
    text = u"ex wide";
}

void ExAnsiText(IZEException* exception, AnsiString& text)
{
    seenException = exception;
    text = "ex ansi";
}

void Raises(UnicodeString&)
{
    throw std::runtime_error("plug-in failed");
}

UnicodeString Widen(std::string_view text)
{
    return UnicodeString(u"<") + UnicodeString(text.begin(), text.end()) + u">";
}

std::vector<UnicodeString> Names(const std::vector<TBugReportPlugin>& plugins)
{
    std::vector<UnicodeString> names;
    for (const TBugReportPlugin& plugin : plugins)
        names.push_back(plugin.name + u"=" + plugin.description);
    return names;
}

class PluginRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ClearBugReportPlugins(); }
    void TearDown() override { ClearBugReportPlugins(); }
};

TEST_F(PluginRegistryTest, SettingOrderDecidesAndNamesMatchIgnoringCase)
{
    RegisterBugReportPlugin(u"Modules", u"m", WideText, true);
    RegisterBugReportPlugin(u"processes", u"p", WideText, true);
    RegisterBugReportPlugin(u"hardware", u"h", WideText, true);
    EXPECT_EQ(Names(SelectBugReportPlugins(u"HARDWARE|nothing||modules|processes", true)),
              (std::vector<UnicodeString>{u"hardware=h", u"Modules=m", u"processes=p"}));
    EXPECT_TRUE(SelectBugReportPlugins(u"", true).empty());
}

TEST_F(PluginRegistryTest, TheFirstEntryOfANameWinsEvenWhenOfTheOtherKind)
{
    RegisterBugReportPlugin(u"dup", u"header one", WideText, false);
    RegisterBugReportPlugin(u"DUP", u"section one", WideText, true);
    EXPECT_EQ(Names(SelectBugReportPlugins(u"dup", false)), std::vector<UnicodeString>{u"dup=header one"});
    EXPECT_TRUE(SelectBugReportPlugins(u"dup", true).empty());
}

TEST_F(PluginRegistryTest, UnregisterRemovesTheFirstExactNameOnly)
{
    RegisterBugReportPlugin(u"modules", u"first", WideText, true);
    RegisterBugReportPlugin(u"modules", u"second", WideText, true);
    UnregisterBugReportPlugin(u"Modules");
    EXPECT_EQ(BugReportPlugins().size(), 2u);
    UnregisterBugReportPlugin(u"modules");
    EXPECT_EQ(Names(BugReportPlugins()), std::vector<UnicodeString>{u"modules=second"});
    UnregisterBugReportPlugin(u"absent");
    EXPECT_EQ(BugReportPlugins().size(), 1u);
}

TEST_F(PluginRegistryTest, TextComesFromTheFirstRoutineInTheOrderAnsiWideExAnsiExWide)
{
    TBugReportPlugin plugin;
    plugin.procExW = ExWideText;
    seenException = nullptr;
    EXPECT_EQ(BugReportPluginText(plugin, kException, Widen), u"ex wide");
    EXPECT_EQ(seenException, kException);

    plugin.procExA = ExAnsiText;
    EXPECT_EQ(BugReportPluginText(plugin, kException, Widen), u"<ex ansi>");
    plugin.procW = WideText;
    EXPECT_EQ(BugReportPluginText(plugin, kException, Widen), u"wide");
    plugin.procA = AnsiText;
    EXPECT_EQ(BugReportPluginText(plugin, kException, Widen), u"<ansi>");
}

TEST_F(PluginRegistryTest, AnEntryWithoutRoutineGivesNoText)
{
    EXPECT_EQ(BugReportPluginText(TBugReportPlugin{}, kException, Widen), u"");
}

TEST_F(PluginRegistryTest, ARaisingRoutineLeavesItsFailureToTheCaller)
{
    RegisterBugReportPlugin(u"bad", u"", Raises, true);
    const std::vector<TBugReportPlugin> selected = SelectBugReportPlugins(u"bad", true);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_THROW(BugReportPluginText(selected[0], nullptr, Widen), std::runtime_error);
}

TEST_F(PluginRegistryTest, RegisteringCopiesTheEntry)
{
    TBugReportPlugin plugin;
    plugin.name = u"x";
    plugin.procW = WideText;
    plugin.inSections = true;
    RegisterBugReportPlugin(plugin);
    plugin.procW = OtherWideText;
    const std::vector<TBugReportPlugin> selected = SelectBugReportPlugins(u"x", true);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(BugReportPluginText(selected[0], nullptr, Widen), u"wide");
}

} // namespace
