// The contact form's address check and the sender it makes.
#include "dialog/EmailAddress.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"

namespace {

TEST(EmailAddressTest, TheShortestAddressPasses)
{
    EXPECT_TRUE(IsValidEmail(u"a@b.c"));
    EXPECT_TRUE(IsValidEmail(u"first.o'neil+x_y-z@mail.example.org"));
}

TEST(EmailAddressTest, PlacesOfTheAtSignAndTheFullStops)
{
    EXPECT_FALSE(IsValidEmail(u"@b.c"));
    EXPECT_FALSE(IsValidEmail(u".a@b.c"));
    EXPECT_FALSE(IsValidEmail(u"a@b.c."));
    EXPECT_FALSE(IsValidEmail(u"a@.b.c"));
    EXPECT_FALSE(IsValidEmail(u"a@bc"));
    EXPECT_FALSE(IsValidEmail(u"a.b@c"));
    EXPECT_FALSE(IsValidEmail(u"a@"));
}

TEST(EmailAddressTest, OnlyOneAtSignAndOnlyTheAllowedCharacters)
{
    EXPECT_FALSE(IsValidEmail(u"a@b@c.d"));
    EXPECT_FALSE(IsValidEmail(u"a b@c.d"));
    EXPECT_FALSE(IsValidEmail(u" a@b.c"));
    EXPECT_FALSE(IsValidEmail(u"a@b.c "));
    EXPECT_FALSE(IsValidEmail(u"a!@b.c"));
    EXPECT_FALSE(IsValidEmail(u"\u00e4@b.c"));
    EXPECT_FALSE(IsValidEmail(u""));
}

TEST(EmailAddressTest, SenderOfTheReport)
{
    EXPECT_EQ(Narrow(*ContactMailFrom(u"Ann Smith", u"ann@example.org")), "Ann Smith <ann@example.org>");
    EXPECT_EQ(Narrow(*ContactMailFrom(u"", u"ann@example.org")), "ann@example.org");
    EXPECT_FALSE(ContactMailFrom(u"Ann Smith", u"").has_value());
}

} // namespace
