#include "capture/win/ClassChain.h"

#include <gtest/gtest.h>

#include "text/ZelException.h"

struct TFirstBase {
    virtual ~TFirstBase() = default;
};
struct TSecondBase {
    virtual ~TSecondBase() = default;
};
struct TBothBases : TFirstBase, TSecondBase {};
struct TVirtualTop {
    virtual ~TVirtualTop() = default;
};
struct TLeft : virtual TVirtualTop {};
struct TRight : virtual TVirtualTop {};
struct TDiamond : TLeft, TRight {}; // the top is reached twice

namespace {

using Names = std::vector<AnsiString>;

TEST(ClassChain, AThrownTypeComesWithItsBasesEachOnce)
{
    EXPECT_EQ(ThrownClassChain(&typeid(EExternalException)),
              (Names{"EExternalException", "EExternal", "ZelException", "std::runtime_error", "std::exception"}));
    EXPECT_EQ(ThrownClassChain(&typeid(TBothBases)), (Names{"TBothBases", "TFirstBase", "TSecondBase"}));
    EXPECT_EQ(ThrownClassChain(&typeid(TDiamond)), (Names{"TDiamond", "TLeft", "TVirtualTop", "TRight"}));
    EXPECT_EQ(ThrownClassChain(&typeid(int)), (Names{"int"}));
    EXPECT_TRUE(ThrownClassChain(nullptr).empty());
}

TEST(ClassChain, AListMatchesTheClassOrABaseByFullOrUnqualifiedName)
{
    const std::type_info* external = &typeid(EExternalException);
    EXPECT_TRUE(ClassMatchesList(external, "EDBEditError, zelexception"));
    EXPECT_TRUE(ClassMatchesList(external, " exception "));
    EXPECT_TRUE(ClassMatchesList(external, "std::runtime_error"));
    EXPECT_FALSE(ClassMatchesList(external, "EDBEditError,,runtime"));
    EXPECT_FALSE(ClassMatchesList(external, ""));
    EXPECT_FALSE(ClassMatchesList(external, " , "));
    EXPECT_TRUE(ClassMatchesList(&typeid(TBothBases), "TSecondBase"));
    EXPECT_FALSE(ClassMatchesList(&typeid(TFirstBase), "TBothBases")); // no derived classes
    EXPECT_FALSE(ClassMatchesList(nullptr, "ZelException"));
}

TEST(ClassChain, WhatIsNoObjectOfTheHostsRuntimeMatchesNothing)
{
    int notAnObject = 0;
    EXPECT_FALSE(RuntimeObjectMatchesList(&notAnObject, "TObject, Exception"));
    EXPECT_FALSE(RuntimeObjectMatchesList(nullptr, "TObject"));
}

} // namespace
