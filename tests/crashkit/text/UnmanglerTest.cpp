#include "text/Unmangler.h"

#include <gtest/gtest.h>

namespace {

struct TCase {
    const char* mangled;
    const char* name;
    const char* unit;
};

TEST(Unmangler, MethodsConstructorsAndDestructors)
{
    const TCase cases[] = {
        {"@Unit@TClass@Method$qqrv", "TClass.Method", "Unit"},
        {"@Zelexcept@TZelThread@Execute$qqrv", "TZelThread.Execute", "Zelexcept"},
        {"@Unit@TClass@$bctr$qqrv", "TClass.Create", "Unit"},
        {"@Unit@TClass@$bdtr$qqrv", "TClass.Destroy", "Unit"},
        {"@TClass@$bctr$qqrv", "TClass.Create", ""},
        {"@TClass@$bdtr$qqrv", "TClass.Destroy", ""},
        {"@Unit@Routine$qqri", "Routine", "Unit"},
        {"@Outer::Inner@Run$qv", "Run", "Outer.Inner"},
        {"@Unit@TClass@Method", "TClass.Method", "Unit"},
    };
    for (const TCase& c : cases) {
        AnsiString name = c.mangled;
        AnsiString unit = "stale";
        EXPECT_TRUE(UnmangleNameA(name, unit)) << c.mangled;
        EXPECT_EQ(c.name, name) << c.mangled;
        EXPECT_EQ(c.unit, unit) << c.mangled;

        UnicodeString wide(name.begin(), name.end());
        wide.assign(c.mangled, c.mangled + std::char_traits<char>::length(c.mangled));
        UnicodeString wideUnit;
        EXPECT_TRUE(UnmangleNameW(wide, wideUnit));
        EXPECT_EQ(UnicodeString(name.begin(), name.end()), wide);
    }
}

TEST(Unmangler, NamesWithoutTheMarkStayUnchanged)
{
    for (const char* plain : {"", "Plain::Name", "_start"}) {
        AnsiString name = plain;
        AnsiString unit = "stale";
        EXPECT_FALSE(UnmangleNameA(name, unit));
        EXPECT_EQ(plain, name);
        EXPECT_EQ("", unit);
    }
}

TEST(Unmangler, OddShapesEndInADefinedName)
{
    for (const char* odd : {"@", "@@", "@$", "@%", "@_$x$@y@z$q", "@%a%@b", "@a.@"}) {
        AnsiString name = odd;
        AnsiString unit;
        EXPECT_TRUE(UnmangleNameA(name, unit)) << odd;
        EXPECT_TRUE(name.empty() || name.back() != '.') << odd << " gave " << name;
    }
}

} // namespace
