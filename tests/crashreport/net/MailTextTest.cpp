#include "net/MailText.h"

#include <gtest/gtest.h>

namespace {

TEST(MailText, PlainSubjectIsStillAnEncodedWord)
{
    EXPECT_EQ(EncodeSubject(u"Bug report 1.2", false), "=?ISO-8859-1?Q?Bug=20report=201=2E2?=");
    EXPECT_EQ(EncodeSubject(u"Gr\u00FC\u00DFe", false), "=?ISO-8859-1?Q?Gr=FC=DFe?=");
    EXPECT_EQ(EncodeSubject(u"ab", true), "=?UTF-8?B?YWI=?=");
    // The euro sign is outside ISO-8859-1.
    EXPECT_EQ(EncodeSubject(u"\u20AC", false), "=?UTF-8?B?4oKs?=");
}

TEST(MailText, EncodeBytesEscapesOnlyTheSet)
{
    EXPECT_EQ(EncodeBytes("a b%\xFF", '%', TCharSet(" %\xFF")), "a%20b%25%FF");
    EXPECT_EQ(EncodeBytes("", '=', TCharSet("a")), "");
}

TEST(MailText, DisplayNamesOutsideLatin1AreEncodedWords)
{
    EXPECT_EQ(FormatMailAddress(u"Jane Roe  <jane@x.org>", true, false), "Jane Roe <jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"\u0416 <z@x.org>", true, false), "=?UTF-8?B?0JY=?= <z@x.org>");
    EXPECT_EQ(FormatMailAddress(u"J\u00FCrgen <j@x.org>", true, false), "=?ISO-8859-1?Q?J=FCrgen?= <j@x.org>");
    EXPECT_EQ(FormatMailAddress(u"Jane <jane@x.org>", true, true), "=?UTF-8?B?SmFuZQ==?= <jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"Jane <jane@x.org>", false, false), "<jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u"jane@x.org", true, false), "<jane@x.org>");
    EXPECT_EQ(FormatMailAddress(u" <jane@x.org>", true, false), "<jane@x.org>");
}

TEST(MailText, LineBreaksCannotStartHeadersOfTheirOwn)
{
    EXPECT_EQ(FormatMailAddress(u"Eve\r\nBcc: all@x.org <eve@x.org>", true, false),
              "Eve  Bcc: all@x.org <eve@x.org>");
    EXPECT_EQ(EncodeWordIfNeeded(u"a\nb", false), "a b");
}

// Quoted pairs while the name is printable ASCII, RFC 2231 otherwise.
TEST(MailText, ParametersThatParsersReadBackWhole)
{
    EXPECT_EQ(QuotedParameter("name", "a \"b\" \\c;d"), "name=\"a \\\"b\\\" \\\\c;d\"");
    EXPECT_EQ(NameParameter("filename", u"say \"hi\".txt", false), "filename=\"say \\\"hi\\\".txt\"");
    EXPECT_EQ(NameParameter("filename", u"\u0416 \"x\"%.txt", false), "filename*=UTF-8''%D0%96%20%22x%22%25.txt");
    EXPECT_EQ(NameParameter("filename", u"a-b_c~d.txt", true), "filename*=UTF-8''a-b_c~d.txt");
    EXPECT_EQ(NameParameter("filename", u"tab\t", false), "filename*=UTF-8''tab%09");
}

TEST(MailText, RecipientListsAndAddresses)
{
    const auto items = SplitRecipients(u" a@x.org, Bob <b@y.org>,, ,c@z.org ");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1], u"Bob <b@y.org>");
    EXPECT_EQ(MailAddressOf(items[0]), u"a@x.org");
    EXPECT_EQ(MailAddressOf(items[1]), u"b@y.org");
    EXPECT_EQ(MailAddressOf(u"Unclosed <u@x.org"), u"u@x.org");
    EXPECT_TRUE(SplitRecipients(u"").empty());
}

TEST(MailText, MimeTypesByExtensionWithoutCase)
{
    EXPECT_EQ(GetMimeType(u"report.ZBR"), "text/plain");
    EXPECT_EQ(GetMimeType(u"shot.Jpeg"), "image/jpeg");
    EXPECT_EQ(GetMimeType(u"shot.png"), "image/png");
    EXPECT_EQ(GetMimeType(u"all.zip"), "application/zip");
    EXPECT_EQ(GetMimeType(u"a.txt.exe"), "application/octet-stream");
    EXPECT_EQ(GetMimeType(u"noext"), "application/octet-stream");
}

} // namespace
