#include "text/CaseFolding.h"
#include "text/Utf.h"

#include <gtest/gtest.h>

namespace {

TEST(CaseFolding, TableFollowsCodePage1252)
{
    EXPECT_EQ('a', FoldCharA('A'));
    EXPECT_EQ('\xE0', FoldCharA('\xC0'));
    EXPECT_EQ('\xD7', FoldCharA('\xD7')); // multiplication sign stays
    EXPECT_EQ('\xFE', FoldCharA('\xDE'));
    EXPECT_EQ('\xDF', FoldCharA('\xDF'));
    EXPECT_EQ('\x9A', FoldCharA('\x8A'));
    EXPECT_EQ('\xFF', FoldCharA('\x9F'));
    EXPECT_EQ(u'\u0100', FoldCharW(u'\u0100'));
    EXPECT_TRUE(SameTextA("Stra\xDF" "E", "stra\xDF" "e"));
    EXPECT_FALSE(SameTextA("abc", "abcd"));
    EXPECT_TRUE(SameTextW(u"\u00C9t\u00C9", u"\u00E9t\u00E9"));
    EXPECT_FALSE(SameTextW(u"\u0100", u"\u0101"));
    EXPECT_EQ(0, CompareTextW(u"ABC", u"abc"));
    EXPECT_LT(CompareTextW(u"abc", u"abd"), 0);
    EXPECT_GT(CompareTextW(u"abcd", u"ABC"), 0);
}

TEST(CaseFolding, WholeTextCasingChangesOnlyLettersAndThreeUmlauts)
{
    EXPECT_EQ("ABC\xC4\xD6\xDC\xE9", UpperCaseA("abc\xE4\xF6\xFC\xE9"));
    EXPECT_EQ(u"ABC\u00C4\u00E9", UpperCaseW(u"abc\u00E4\u00E9"));
    EXPECT_EQ(u"abc\u00E4\u00C9", LowerCaseW(u"ABC\u00C4\u00C9"));
    EXPECT_EQ('Z', UpCharA('z'));
    EXPECT_EQ('1', UpCharA('1'));
}

TEST(Utf, ConvertsBothWaysWithPairs)
{
    const std::string utf8 = "a\xC3\xBC\xE6\x97\xA5\xF0\x9F\x98\x80";
    const UnicodeString wide = u"a\u00FC\u65E5\U0001F600";
    EXPECT_EQ(wide, UTF8ToWide(utf8));
    EXPECT_EQ(utf8, WideToUTF8(wide));
    EXPECT_EQ(u"", UTF8ToWide(""));
}

TEST(Utf, MalformedInputBecomesReplacementCharacters)
{
    EXPECT_EQ(u"a\uFFFDb", UTF8ToWide("a\x80" "b"));
    EXPECT_EQ(u"\uFFFD", UTF8ToWide("\xC0\x80"));      // overlong
    EXPECT_EQ(u"\uFFFD", UTF8ToWide("\xED\xA0\x80"));  // surrogate
    EXPECT_EQ(u"x\uFFFD", UTF8ToWide("x\xE6\x97"));    // cut short
    EXPECT_EQ("\xEF\xBF\xBD" "a", WideToUTF8(std::u16string(1, u'\xD800') + u"a"));
}

TEST(Utf, RawNarrowingKeepsLowBytesUpToTheZero)
{
    const char16_t text[] = {u'A', u'\u0142', 0, u'B'};
    EXPECT_EQ("A\x42", WideToAnsiRaw(std::u16string_view(text, 4)));
}

} // namespace
