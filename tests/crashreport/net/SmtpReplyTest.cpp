#include "net/SmtpReply.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SmtpReply, LastLineEndsTheReply)
{
    EXPECT_EQ(SmtpReplyState("250 OK\r\n"), TSmtpReplyState::Complete);
    EXPECT_EQ(SmtpReplyState("250-host\r\n250-AUTH LOGIN\r\n250 STARTTLS\r\n"), TSmtpReplyState::Complete);
    EXPECT_EQ(SmtpReplyCode("250-host\r\n250-AUTH LOGIN\r\n221 bye\r\n"), 221);
}

TEST(SmtpReply, CodeAloneCompletesAReply)
{
    EXPECT_EQ(SmtpReplyState("250\r\n"), TSmtpReplyState::Complete);
    EXPECT_EQ(SmtpReplyCode("250\r\n"), 250);
    EXPECT_EQ(SmtpReplyCode("250-a\r\n354\r\n"), 354);
}

TEST(SmtpReply, PartsOfAReplyAreIncomplete)
{
    for (const char* part : {"", "2", "250", "250 OK", "250 OK\r", "250-host\r\n", "250-host\r\n250 O"}) {
        EXPECT_EQ(SmtpReplyState(part), TSmtpReplyState::Incomplete) << part;
        EXPECT_EQ(SmtpReplyCode(part), 0) << part;
    }
}

TEST(SmtpReply, LinesThatAreNoReplyLinesAreRefused)
{
    for (const char* bad : {"25 OK\r\n", "abc OK\r\n", "250xOK\r\n", "\r\n", "250 OK\r\n250 again\r\n",
                            "250-a\r\nhello\r\n"}) {
        EXPECT_EQ(SmtpReplyState(bad), TSmtpReplyState::Malformed) << bad;
        EXPECT_EQ(SmtpReplyCode(bad), 0) << bad;
    }
}

TEST(SmtpReply, EndlessRepliesAreRefused)
{
    std::string reply;
    while (reply.size() <= kMaxSmtpReplyLength)
        reply += "250-more\r\n";
    EXPECT_EQ(SmtpReplyState(reply), TSmtpReplyState::Malformed);
}

TEST(SmtpReplyText, OnlyTheClosingLineEndsGo)
{
    EXPECT_EQ(SmtpReplyText("535 5.7.8 refused\r\n"), "535 5.7.8 refused");
    EXPECT_EQ(SmtpReplyText("550-no\r\n550 user\r\n"), "550-no\r\n550 user");
    EXPECT_EQ(SmtpReplyText("250 half\r"), "250 half");
    for (const char* nothing : {"", "\r\n", "\r\n\r\n"})
        EXPECT_EQ(SmtpReplyText(nothing), "") << nothing;
}

} // namespace
