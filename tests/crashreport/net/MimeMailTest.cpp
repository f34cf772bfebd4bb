#include "net/MimeMail.h"

#include <gtest/gtest.h>

#include <vector>

#include "text/Utf.h"

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
    const TMailHeaderText header = MailHeaderText(SampleInput());
    const AnsiString& text = header.text;
    const AnsiString boundary(kMultipartBoundary);
    EXPECT_EQ(header.boundary, boundary);
    const AnsiString expected = "To: Support <support@x.org>\r\nFrom: <app@y.org>\r\nReply-To: Dev <dev@y.org>\r\n"
                                "Subject: =?ISO-8859-1?Q?Crash?=\r\nDate: 5 Mar 2026 07:08:09 UT\r\n"
                                "Message-ID: <1DC123456789ABC@zelExcept>\r\nMIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n"
                                "This is a multi-part message in MIME format.\r\n\r\n--" + boundary + "\r\n"
                                "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n\r\nline 1\r\n.\r\nline 3\r\n";
    EXPECT_EQ(text, expected);
}

// A text part whose 8bit text holds the boundary gets another; Base64 text never holds one.
TEST(MimeMail, BoundaryIsOneTheTextPartDoesNotHold)
{
    const UnicodeString forged = u"x\r\n--" + UTF8ToWide(AnsiString(kMultipartBoundary)) + u"\r\ny";
    struct TRow {
        UnicodeString body;
        bool alwaysUtf8;
        bool usual;
    };
    for (const TRow& row : {TRow{forged, false, false}, TRow{forged, true, true}, TRow{u"plain", false, true}}) {
        TMailHeaderInput input = SampleInput();
        input.body = row.body;
        input.alwaysUtf8 = row.alwaysUtf8;
        const TMailHeaderText header = MailHeaderText(input);
        EXPECT_EQ(header.boundary == kMultipartBoundary, row.usual);
        EXPECT_NE(header.text.find("; boundary=\"" + header.boundary + "\"\r\n"), AnsiString::npos);
        EXPECT_EQ(EncodeMailBody(row.body, row.alwaysUtf8).text.find(header.boundary), AnsiString::npos);
    }
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
    EXPECT_EQ(AttachmentPartHeader("b", u"report \"1\" \\ 2.zbr", false),
              "--b\r\nContent-Type: text/plain; name=\"report \\\"1\\\" \\\\ 2.zbr\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"report \\\"1\\\" \\\\ 2.zbr\"\r\n\r\n");
    const AnsiString outsideAscii = AttachmentPartHeader("b", u"\u0416.png", false);
    EXPECT_NE(outsideAscii.find("; name=\"=?UTF-8?B?0JYucG5n?=\"\r\n"), AnsiString::npos) << outsideAscii;
    EXPECT_NE(outsideAscii.find("; filename*=UTF-8''%D0%96.png\r\n"), AnsiString::npos) << outsideAscii;
    const std::vector<uint8_t> block{0, 1, 2};
    EXPECT_EQ(AttachmentLine(block.data(), block.size()), "AAEC\r\n");
    EXPECT_EQ(MailClosingText("b"), "--b--\r\n");
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
