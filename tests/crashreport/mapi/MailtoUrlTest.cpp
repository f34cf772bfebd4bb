#include "mapi/MailtoUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(MailtoUrl, EscapesEveryUtf8ByteButLettersDigitsDotAndAt)
{
    EXPECT_EQ(MailtoUrl(u"a.b@x.org,Ann <c@y.org>", u"Crash: 100% & more", u"Gr\u00FC\u00DFe\r\n\u20AC"),
              u"mailto:a.b@x.org%2CAnn%20%3Cc@y.org%3E?subject=Crash%3A%20100%25%20%26%20more"
              u"&body=Gr%C3%BC%C3%9Fe%0D%0A%E2%82%AC");
    EXPECT_EQ(MailtoUrl(u"", u"", u""), u"mailto:?subject=&body=");
}

TEST(MailtoUrl, RecipientsOfOutlookAreSeparatedBySemicolons)
{
    EXPECT_EQ(MailtoRecipients(u"\"C:\\Office\\outlook.exe\" -c IPM.Note /m \"%1\"", u"a@x.org,b@y.org"),
              u"a@x.org;b@y.org");
    EXPECT_EQ(MailtoRecipients(u"mailer.exe %1", u"a@x.org,b@y.org"), u"a@x.org,b@y.org");
}

TEST(MailtoUrl, UrlReplacesTheFirstPlaceholderOrIsAppended)
{
    EXPECT_EQ(MailtoCommandLine(u"\"m.exe\" \"%1\" -x %1", u"mailto:a", kMaxCommandLine), u"\"m.exe\" \"mailto:a\" -x %1");
    EXPECT_EQ(MailtoCommandLine(u"m.exe -compose", u"mailto:a", kMaxCommandLine), u"m.exe -compose mailto:a");
    // A command that ends in a blank gets no second one.
    EXPECT_EQ(MailtoCommandLine(u"m.exe ", u"mailto:a", kMaxCommandLine), u"m.exe mailto:a");
}

TEST(MailtoUrl, LongLinesAreCutBeforeAnEscapeThatWouldBeSplit)
{
    const UnicodeString command = u"m.exe %1";
    // The escape takes characters 13 to 15.
    const UnicodeString url = u"mailto%3Aabc";
    EXPECT_EQ(MailtoCommandLine(command, url, 18), u"m.exe mailto%3Aabc");
    EXPECT_EQ(MailtoCommandLine(command, url, 16), u"m.exe mailto%3Aa");
    EXPECT_EQ(MailtoCommandLine(command, url, 15), u"m.exe mailto%3A");
    EXPECT_EQ(MailtoCommandLine(command, url, 14), u"m.exe mailto");
    EXPECT_EQ(MailtoCommandLine(command, url, 13), u"m.exe mailto");
    EXPECT_EQ(MailtoCommandLine(command, url, 11), u"m.exe mailt");

    const UnicodeString body(40000, u'\u00E9');
    const UnicodeString line = MailtoCommandLine(u"m.exe \"%1\"", MailtoUrl(u"a@x.org", u"s", body), kMaxCommandLine);
    EXPECT_LE(line.size(), kMaxCommandLine);
    EXPECT_GE(line.size(), kMaxCommandLine - 2);
    const size_t lastEscape = line.rfind(u'%');
    EXPECT_EQ(line.size() - lastEscape, 3u);
}

} // namespace
