#include "dialog/box/SafeText.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeTextTest, ControlSequencesCannotReachTheReader)
{
    const std::u16string nasty = u"red\x1B[31m\x07\x08!\x9B" u"2J\x7F";
    EXPECT_EQ(SafeLine(nasty), u"red?[31m?" u"?!?2J?");
    EXPECT_EQ(SafeLines(nasty), u"red?[31m?" u"?!?2J?");
    EXPECT_EQ(SafeLine(std::u16string(u"a\0b", 3)), u"a?b");
}

TEST(SafeTextTest, LinesKeepTheirLayoutAndALineLosesIt)
{
    EXPECT_EQ(SafeLine(u"one\r\ntwo\tthree\n"), u"one  two three ");
    EXPECT_EQ(SafeLines(u"one\r\ntwo\tthree\n"), u"one\r\ntwo\tthree\n");
    EXPECT_EQ(SafeLine(u"Gr\u00FC\u00DFe \u00A0\u20AC"), u"Gr\u00FC\u00DFe \u00A0\u20AC") << "printable text stays";
}

} // namespace
