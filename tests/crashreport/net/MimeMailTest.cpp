#include "net/MimeMail.h"

#include <gtest/gtest.h>

#include <cctype>
#include <vector>

namespace {

TMailHeaderInput SampleInput()
{
    TMailHeaderInput input;
    input.to = u"Support <support@x.org>";
    input.from = u"app@y.org";
    input.replyTo = u"Dev <dev@y.org>";
    input.subject = u"Crash";
    input.body = u"line 1\n.\nline 3";
    input.now = {2026, 3, 5, 7, 8, 9, 0x01DC123456789ABCull};
    return input;
}

TEST(MimeMail, HeaderLinesInOrder)
{
    const AnsiString text = MailHeaderText(SampleInput());
    const AnsiString boundary(kMultipartBoundary);
    const AnsiString expected = "To: Support <support@x.org>\r\nFrom: <app@y.org>\r\nReply-To: Dev <dev@y.org>\r\n"
                                "Subject: =?ISO-8859-1?Q?Crash?=\r\nDate: 5 Mar 2026 07:08:09 UT\r\n"
                                "Message-ID: <1DC123456789ABC@zelExcept>\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n"
                                "This is a multi-part message in MIME format.\r\n\r\n--" + boundary + "\r\n"
                                "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n\r\nline 1\r\n.\r\nline 3\r\n";
    EXPECT_EQ(text, expected);
}

TEST(MimeMail, BoundaryNeedsNoQuoting)
{
    for (const char c : kMultipartBoundary)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') << c;
    EXPECT_TRUE(AnsiString(kMultipartBoundary).ends_with("_multipart_boundary"));
}

TEST(MimeMail, BodiesOutsideLatin1AreBase64LinesOfUtf8)
{
    const TEncodedBody body = EncodeMailBody(UnicodeString(100, u'\u0416'), false);
    EXPECT_EQ(body.charset, "utf-8");
    EXPECT_EQ(body.encoding, "base64");
    // 200 bytes of UTF-8 are 268 Base64 characters: three full lines and one of 40.
    ASSERT_EQ(body.text.size(), 268u + 3 * 2);
    EXPECT_EQ(body.text.find("\r\n"), 76u);
    EXPECT_EQ(EncodeMailBody(u"x", true).encoding, "base64");
}

TEST(MimeMail, LinesTooLongFor8bitGoAsBase64)
{
    const UnicodeString longest(998, u'x');
    EXPECT_EQ(EncodeMailBody(u"a\r\n" + longest + u"\r\nb", false).encoding, "8bit");
    const TEncodedBody body = EncodeMailBody(u"a\n" + longest + u"y", false);
    EXPECT_EQ(body.charset, "iso-8859-1");
    EXPECT_EQ(body.encoding, "base64");
    EXPECT_EQ(body.text.substr(0, 8), "YQ0KeHh4");
}

TEST(MimeMail, AttachmentPartsAndLines)
{
    EXPECT_EQ(AttachmentPartHeader(u"report.zbr", false),
              "--" + AnsiString(kMultipartBoundary) +
                  "\r\nContent-Type: text/plain; name=\"report.zbr\"\r\nContent-Transfer-Encoding: base64\r\n"
                  "Content-Disposition: attachment; filename=\"report.zbr\"\r\n\r\n");
    EXPECT_NE(AttachmentPartHeader(u"\u0416.png", false).find("name=\"=?UTF-8?B?0JYucG5n?=\""), AnsiString::npos);
    const std::vector<uint8_t> block{0, 1, 2};
    EXPECT_EQ(AttachmentLine(block.data(), block.size()), "AAEC\r\n");
    EXPECT_EQ(MailClosingText(), "--" + AnsiString(kMultipartBoundary) + "--\r\n");
}

TEST(MimeMail, DotStuffingDoublesLeadingDotsAcrossPieces)
{
    TDotStuffer stuffer;
    AnsiString sent = stuffer.Apply(".start\r\n.\r\nmid.dle\r");
    sent += stuffer.Apply("\n");
    sent += stuffer.Apply(".");
    sent += stuffer.Apply("after a cut\r\n..two\r\n");
    EXPECT_EQ(sent, "..start\r\n..\r\nmid.dle\r\n..after a cut\r\n...two\r\n");
}

} // namespace
