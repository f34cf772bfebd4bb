#include "dialog/box/ExceptionPage.h"

#include <gtest/gtest.h>

namespace {

TExceptionPageTexts SampleTexts()
{
    TExceptionPageTexts texts;
    texts.title = u"Host.exe";
    texts.message = u"An error occurred.\r\nAccess violation";
    texts.continueCaption = u"continue application";
    texts.showCaption = u"show bug report";
    texts.report = u"date/time : 2026-12-09\r\nexception class : EAccessViolation";
    return texts;
}

TEST(ExceptionPageTest, PageHasTheFixedFrameWithTheReportHidden)
{
    const std::string expected =
        "<html><head><title>Host.exe</title></head><body>\r\n"
        "<table border=\"0\" width=\"100%\" height=\"100%\">\r\n"
        "<tr><td colspan=4 style=\"height:2pt;\"></td></tr>\r\n"
        "<tr><td colspan=4 valign=\"top\"><p style=\"font-family:Tahoma,'MS Sans Serif';font-size:13pt;"
        "margin-left:4px;\">An error occurred.<br>\r\nAccess violation</p></td></tr>\r\n"
        "<tr><td colspan=4 style=\"height:8pt;\"></td></tr>\r\n"
        "<tr><td><button onClick=\"history.back();\" style=\"height:19.5pt;\">&nbsp;continue application&nbsp;"
        "</button></td>\r\n"
        "<td><p>&nbsp;&nbsp;</p></td>\r\n"
        "<td><button onClick=\"document.getElementById('bugReport').style.visibility='visible';"
        "this.style.visibility='hidden';\" style=\"height:19.5pt;\">&nbsp;show bug report&nbsp;</button></td>\r\n"
        "<td width=\"100%\"></td></tr>\r\n"
        "<tr><td colspan=4 style=\"height:8pt;\"></td></tr>\r\n"
        "<tr><td colspan=4 height=\"100%\">\r\n"
        "<textarea id=\"bugReport\" readonly cols=\"80\" rows=\"20\" style=\"width:100%;height:100%;"
        "visibility:hidden;\">\r\n"
        "date/time : 2026-12-09\r\nexception class : EAccessViolation</textarea></td></tr></table></body></html>";
    EXPECT_EQ(BuildExceptionPage(SampleTexts()), expected);
}

TEST(ExceptionPageTest, ShownReportNeedsNoButtonAndHiddenContinueKeepsItsDefault)
{
    TExceptionPageTexts texts = SampleTexts();
    texts.autoShowReport = true;
    texts.continueVisible = false;
    texts.continueCaption = u"weiter";
    const std::string page = BuildExceptionPage(texts);
    EXPECT_EQ(page.find("show bug report"), std::string::npos);
    EXPECT_NE(page.find("<td>&nbsp;</td>"), std::string::npos);
    EXPECT_EQ(page.find("visibility:hidden"), std::string::npos);
    EXPECT_NE(page.find("&nbsp;continue application&nbsp;"), std::string::npos);
    EXPECT_EQ(page.find("weiter"), std::string::npos);

    texts = SampleTexts();
    texts.showVisible = false;
    EXPECT_EQ(BuildExceptionPage(texts).find("<button onClick=\"document"), std::string::npos);
}

TEST(ExceptionPageTest, EveryTextIsEscaped)
{
    TExceptionPageTexts texts = SampleTexts();
    texts.title = u"</title><script>alert(1)</script>";
    texts.message = u"a < b && \"c\" 'd'";
    texts.continueCaption = u"go <on>";
    texts.showCaption = u"\"show\"";
    texts.report = u"</textarea><img src=x onerror=alert(1)>";
    const std::string page = BuildExceptionPage(texts);
    EXPECT_NE(page.find("<title>&lt;/title&gt;&lt;script&gt;alert(1)&lt;/script&gt;</title>"), std::string::npos);
    EXPECT_NE(page.find("a &lt; b &amp;&amp; &quot;c&quot; &#39;d&#39;"), std::string::npos);
    EXPECT_NE(page.find("&nbsp;go &lt;on&gt;&nbsp;"), std::string::npos);
    EXPECT_NE(page.find("&nbsp;&quot;show&quot;&nbsp;"), std::string::npos);
    EXPECT_NE(page.find("&lt;/textarea&gt;&lt;img src=x onerror=alert(1)&gt;</textarea>"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
}

TEST(ExceptionPageTest, NonAsciiAndControlCharactersBecomeReferences)
{
    EXPECT_EQ(HtmlEscape(u"Gr\u00FC\u00DFe \u20AC"), "Gr&#252;&#223;e &#8364;");
    EXPECT_EQ(HtmlEscape(u"\U0001F600"), "&#128512;") << "a surrogate pair is one character";
    EXPECT_EQ(HtmlEscape(std::u16string(u"a\xD800" u"b")), "a&#65533;b") << "a lone surrogate";
    EXPECT_EQ(HtmlEscape(std::u16string(u"x\xDC00")), "x&#65533;");
    EXPECT_EQ(HtmlEscape(u"\x1B[2J\x07\tok\r\n\x85"), "&#65533;[2J&#65533;\tok\r\n&#65533;");
    EXPECT_EQ(HtmlEscape(std::u16string(1, u'\0')), "&#65533;");
}

TEST(ExceptionPageTest, EveryKindOfLineBreakInTheMessageBreaksTheLine)
{
    TExceptionPageTexts texts = SampleTexts();
    texts.message = u"one\rtwo\nthree\r\n\r\nfour<br>";
    const std::string page = BuildExceptionPage(texts);
    EXPECT_NE(page.find(">one<br>\r\ntwo<br>\r\nthree<br>\r\n<br>\r\nfour&lt;br&gt;</p>"), std::string::npos);
}

} // namespace
