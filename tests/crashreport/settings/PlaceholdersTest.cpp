#include "settings/Placeholders.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class TFakeValues : public IPlaceholderValues {
public:
    UnicodeString Value(TPlaceholder placeholder) override
    {
        ++asked[placeholder];
        const auto found = values.find(placeholder);
        return found == values.end() ? u"?" : found->second;
    }

    std::map<TPlaceholder, UnicodeString> values;
    std::map<TPlaceholder, int> asked;
};

TEST(Placeholders, EachPlaceholderIsReplacedRegardlessOfCase)
{
    TFakeValues values;
    values.values = {{TPlaceholder::AppName, u"host.exe"}, {TPlaceholder::ExceptMsg, u"Boom"},
                     {TPlaceholder::LineFeed, u"\r\n"}, {TPlaceholder::DateTime, u"D T"}};
    EXPECT_EQ(ExpandPlaceholders(u"%APPNAME%: %exceptmsg%%lf%at %DateTime% and %appname%", values),
              u"host.exe: Boom\r\nat D T and host.exe");
    EXPECT_EQ(values.asked[TPlaceholder::AppName], 1); // each value is fetched once
    EXPECT_EQ(values.asked.count(TPlaceholder::Desktop), 0u);
}

TEST(Placeholders, InsertedTextIsNotScannedAgain)
{
    TFakeValues values;
    values.values = {{TPlaceholder::ExceptMsg, u"%appname% 100%"}, {TPlaceholder::AppName, u"host.exe"}};
    EXPECT_EQ(ExpandPlaceholders(u"%exceptMsg% / %appname%", values), u"%appname% 100% / host.exe");
}

TEST(Placeholders, UnknownOrOpenMarksStayAsTheyAre)
{
    TFakeValues values;
    EXPECT_EQ(ExpandPlaceholders(u"50% %nothing% %app", values), u"50% %nothing% %app");
    EXPECT_EQ(ExpandPlaceholders(u"%", values), u"%");
    EXPECT_EQ(ExpandPlaceholders(u"", values), u"");
    EXPECT_TRUE(values.asked.empty());
}

TEST(Placeholders, DateAndTimeArePaddedAndTheMillisecondsAreNot)
{
    const TLocalTime time{2024, 3, 7, 9, 5, 3, 7};
    EXPECT_EQ(FormatPlaceholderDate(time), u"2024-03-07");
    EXPECT_EQ(FormatPlaceholderTime(time), u"09:05:03, 7ms");
    EXPECT_EQ(FormatPlaceholderTime({2024, 12, 31, 23, 59, 59, 999}), u"23:59:59, 999ms");
}

} // namespace
