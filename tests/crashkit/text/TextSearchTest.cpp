#include "text/TextSearch.h"

#include <gtest/gtest.h>

namespace {

TEST(TextSearch, ForwardAndBackwardWithinBounds)
{
    EXPECT_EQ(1, FindStrA("ab", "abcabc", 1, 6));
    EXPECT_EQ(4, FindStrA("ab", "abcabc", 2, 6));
    EXPECT_EQ(4, FindStrA("ab", "abcabc", 6, 1));
    EXPECT_EQ(1, FindStrA("ab", "abcabc", 3, 1));
    EXPECT_EQ(0, FindStrA("ab", "abcabc", 2, 3));
    EXPECT_EQ(0, FindStrA("ab", "abcabc", 0, 6));
    EXPECT_EQ(0, FindStrA("ab", "abcabc", 1, 0));
    EXPECT_EQ(0, FindStrA("", "abc", 1, 3));
    EXPECT_EQ(0, FindStrA("abcd", "abc", 1, 3));
}

TEST(TextSearch, MatchEndingAtTheLastCharacterIsFound)
{
    EXPECT_EQ(5, FindStrA("ef", "abcdef", 1, 6));
    EXPECT_EQ(5, FindStrW(u"ef", u"abcdef", 6, 1));
    EXPECT_EQ(1, FindStrA("abc", "abc", 1, 3));
    EXPECT_TRUE(ContainsStrA("def", "abcdef"));
    EXPECT_TRUE(ContainsStrW(u"f", u"abcdef"));
    EXPECT_TRUE(ContainsTextW(u"DEF", u"abcdef"));
}

TEST(TextSearch, CaseInsensitiveFormsFoldCodePage1252)
{
    EXPECT_EQ(3, FindTextA("\xC4Q", "xx\xE4q", 1, 4)); // Ä matches ä
    EXPECT_EQ(0, FindStrA("\xC4Q", "xx\xE4q", 1, 4));
    EXPECT_EQ(0, FindTextW(u"\u0160", u"x\u0161", 1, 2)); // above 255: unchanged
    EXPECT_EQ(2, FindTextW(u"\u008A", u"x\u009A", 1, 2));           // Š to š in 1252
    EXPECT_TRUE(ContainsStrA("", "anything"));
    EXPECT_FALSE(ContainsStrA("x", ""));
}

TEST(TextSearch, CharacterSets)
{
    const TCharSet digits("0123456789");
    EXPECT_EQ(3, PosInSetA(digits, "ab12", 1, 4));
    EXPECT_EQ(4, PosInSetA(digits, "ab12", 4, 1));
    EXPECT_EQ(0, PosInSetA(digits, "ab12", 1, 2));
    EXPECT_EQ(0, PosInSetW(digits, u"\u0130\u0131", 1, 2));
    EXPECT_EQ(2, PosNotInSetW(digits, u"1\u0660", 1, 2)); // above 255: never a member
    EXPECT_EQ(0, PosInSetA(digits, "ab12", 0, 4));
    EXPECT_EQ(3u, StrLenA("abc"));
    EXPECT_EQ(0u, StrLenW(nullptr));
}

} // namespace
