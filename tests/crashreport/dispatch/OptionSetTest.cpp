#include <gtest/gtest.h>

#include "dispatch/OptionSet.h"

namespace {

TEST(OptionSet, FirstListWinsThenSecondThenGeneral)
{
    const std::vector<UnicodeString> chain{u"EDBEditError", u"EDatabaseError", u"Exception"};
    EXPECT_EQ(ChooseOptionSet(chain, u"EDBEditError", u"EDBEditError"), TOptionSet::F1);
    EXPECT_EQ(ChooseOptionSet(chain, u"EOther", u"EDatabaseError"), TOptionSet::F2) << "an ancestor in F2";
    EXPECT_EQ(ChooseOptionSet(chain, u"EOther", u"EMore"), TOptionSet::Gn);
    EXPECT_EQ(ChooseOptionSet({}, u"EOther", u"EMore"), TOptionSet::Gn) << "no class at all";
}

TEST(OptionSet, ListItemsAreTrimmedAndComparedWithoutCase)
{
    const std::vector<UnicodeString> chain{u"std::runtime_error", u"std::exception"};
    EXPECT_EQ(ChooseOptionSet(chain, u"EFirst,  STD::Exception ", u""), TOptionSet::F1);
    EXPECT_EQ(ChooseOptionSet(chain, u",,", u" , "), TOptionSet::Gn) << "empty items name nothing";
    EXPECT_EQ(ChooseOptionSet(chain, u"std::runtime", u""), TOptionSet::Gn) << "whole names only";
    EXPECT_EQ(ChooseOptionSet(chain, u"", u"Runtime_Error"), TOptionSet::F2) << "the name without its scope";
    EXPECT_EQ(ChooseOptionSet(chain, u"time_error", u""), TOptionSet::Gn);
}

TEST(OptionSet, ChainHoldsIsExact)
{
    const std::vector<UnicodeString> chain{u"EMyAbort", u"EAbort", u"Exception"};
    EXPECT_TRUE(ChainHolds(chain, u"EAbort"));
    EXPECT_FALSE(ChainHolds(chain, u"eabort"));
    EXPECT_FALSE(ChainHolds({}, u"EAbort"));
    EXPECT_TRUE(ChainHolds({u"host::ui::EAbort"}, u"EAbort")) << "a scoped class of that name";
    EXPECT_FALSE(ChainHolds({u"host::EAbortion"}, u"EAbort"));
}

} // namespace
