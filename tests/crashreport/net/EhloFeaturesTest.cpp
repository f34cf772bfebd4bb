#include "net/EhloFeatures.h"

#include <gtest/gtest.h>

namespace {

TEST(EhloFeatures, StartTlsOnlyAsAWholeLine)
{
    EXPECT_TRUE(OffersStartTls("250-host\r\n250-STARTTLS\r\n250 HELP\r\n"));
    EXPECT_TRUE(OffersStartTls("250-host\r\n250 STARTTLS\r\n"));
    EXPECT_FALSE(OffersStartTls("250-host\r\n250 STARTTLSX\r\n"));
    EXPECT_FALSE(OffersStartTls("250 host\r\n"));
}

TEST(EhloFeatures, LoginAfterABlankOrAnEqualsSign)
{
    EXPECT_TRUE(OffersAuthLogin("250-host\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n"));
    EXPECT_TRUE(OffersAuthLogin("250-host\r\n250-AUTH=LOGIN\r\n250 OK\r\n"));
    EXPECT_TRUE(OffersAuthLogin("250-host\r\n250 AUTH LOGIN\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-host\r\n250-AUTH PLAIN CRAM-MD5\r\n250 OK\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-host\r\n250-AUTH LOGINX\r\n250 OK\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-host\r\n250 HELP\r\n"));
    // LOGIN on a later AUTH line, and only on lines that are AUTH lines.
    EXPECT_TRUE(OffersAuthLogin("250-host\r\n250-AUTH=PLAIN\r\n250-AUTH PLAIN LOGIN\r\n250 OK\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-host\r\n250-AUTH PLAIN\r\n250-X-LOGIN LOGIN\r\n250 OK\r\n"));
    EXPECT_FALSE(OffersAuthLogin("250-host\r\n250=AUTH LOGIN\r\n250 OK\r\n"));
    EXPECT_TRUE(OffersAuth("250-host\r\n250-AUTH=LOGIN\r\n250 OK\r\n"));
    EXPECT_FALSE(OffersAuth("250-host\r\n250 OK\r\n"));
}

} // namespace

#include "net/SmtpPort.h"

namespace {

TEST(SmtpPort, DefaultsByTlsAndCredentials)
{
    EXPECT_EQ(DefaultSmtpPort(2525, true, true, true), 2525);
    EXPECT_EQ(DefaultSmtpPort(0, true, false, false), 465);
    EXPECT_EQ(DefaultSmtpPort(0, false, true, false), 25);
    EXPECT_EQ(DefaultSmtpPort(0, false, true, true), 587);
    EXPECT_EQ(DefaultSmtpPort(0, false, false, true), 25);
}

} // namespace
