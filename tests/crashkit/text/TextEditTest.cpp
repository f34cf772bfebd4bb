#include "text/TextEdit.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEdit, TrimRemovesControlCharactersAndBlanks)
{
    AnsiString text = "\t\r\n  a b \x01";
    TrimA(text);
    EXPECT_EQ("a b", text);
    EXPECT_EQ(u"\u00A0x", TrimW(std::u16string_view(u" \u00A0x ")));
    EXPECT_EQ("", TrimA(std::string_view("  ")));
}

TEST(TextEdit, ReplaceWithAndWithoutRescan)
{
    AnsiString text = "aaa";
    EXPECT_TRUE(ReplaceStrA(text, "a", "aa", false));
    EXPECT_EQ("aaaaaa", text);

    text = "abb";
    EXPECT_TRUE(ReplaceStrA(text, "ab", "xa", true));
    EXPECT_EQ("xxa", text); // the rescan sees the "ab" the inserted "a" makes with the next "b"

    text = "abb";
    EXPECT_TRUE(ReplaceStrA(text, "ab", "xa", false));
    EXPECT_EQ("xab", text);

    UnicodeString wide = u"Foo foo FOO";
    EXPECT_TRUE(ReplaceTextW(wide, u"foo", u"bar", false));
    EXPECT_EQ(u"bar bar bar", wide);
    EXPECT_FALSE(ReplaceStrW(wide, u"", u"x", false));
    EXPECT_FALSE(ReplaceStrW(wide, u"zzz", u"x", false));
}

TEST(TextEdit, RescanWithThePatternInTheReplacementEnds)
{
    AnsiString text = "abab";
    EXPECT_TRUE(ReplaceStrA(text, "ab", "xaby", true));
    EXPECT_EQ("xabyxaby", text);
    text = "A-a";
    EXPECT_TRUE(ReplaceTextA(text, "a", "[A]", true));
    EXPECT_EQ("[A]-[A]", text);
    text = "za";
    EXPECT_TRUE(ReplaceStrA(text, "a", "a", true));
    EXPECT_EQ("za", text);
}

TEST(TextEdit, DeletingCharactersAndStrings)
{
    UnicodeString text = u"a-b-c";
    EXPECT_TRUE(DeleteCharW(text, u'-'));
    EXPECT_EQ(u"abc", text);
    EXPECT_FALSE(DeleteCharW(text, u'-'));
    text = u"a1b2";
    EXPECT_TRUE(DeleteCharSetW(text, TCharSet("0123456789")));
    EXPECT_EQ(u"ab", text);
    text = u"one, two, three";
    EXPECT_TRUE(DeleteStrW(text, u", "));
    EXPECT_EQ(u"onetwothree", text);
}

TEST(TextEdit, Ranges)
{
    EXPECT_EQ("ade", DeleteRangeA("abcde", 2, 2));
    EXPECT_EQ("a", DeleteRangeA("abcde", 2, 100));
    EXPECT_EQ("abcde", DeleteRangeA("abcde", 0, 2));
    EXPECT_EQ(u"abcde", DeleteRangeW(u"abcde", 6, 1));
    AnsiString text = "abcde";
    KeepRangeA(text, 2, 3);
    EXPECT_EQ("bcd", text);
    UnicodeString wide = u"abc";
    KeepRangeW(wide, 4, 1);
    EXPECT_EQ(u"", wide);
    EXPECT_EQ(u"de", RightStrW(u"abcde", 2));
    EXPECT_EQ(u"abc", RightStrW(u"abc", 10));
    EXPECT_EQ(u"", RightStrW(u"abc", -1));
}

TEST(TextEdit, CollapseCharacter)
{
    UnicodeString text = u"  a   b c  ";
    CollapseCharW(text, u' ');
    EXPECT_EQ(u"a b c", text);
    text = u"    ";
    CollapseCharW(text, u' ');
    EXPECT_EQ(u"", text);
}

} // namespace
