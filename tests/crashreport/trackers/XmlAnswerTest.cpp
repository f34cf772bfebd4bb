#include "trackers/XmlAnswer.h"

#include <gtest/gtest.h>

#include "trackers/TrackerList.h"

namespace {

TEST(XmlAnswer, ReadsNamesWithoutPrefixesTextsAttributesAndCdata)
{
    const auto root = ParseXmlAnswer("<?xml version=\"1.0\"?>\n<!-- server -->\n"
                                     "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"x\"><SOAP-ENV:Body>"
                                     "<ns1:item ns1:id='7' plain=\"a&amp;b\">R&amp;D &lt;1&gt; &#252;&#x20AC;</ns1:item>"
                                     "<item><![CDATA[<kept> &amp; as is]]></item><empty/>"
                                     "</SOAP-ENV:Body></SOAP-ENV:Envelope>  ");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "Envelope");
    const std::vector<const TXmlElement*> items = root->FindAll("item");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->text, "R&D <1> \xC3\xBC\xE2\x82\xAC");
    ASSERT_TRUE(items[0]->Attribute("id"));
    EXPECT_EQ(*items[0]->Attribute("id"), "7");
    EXPECT_EQ(*items[0]->Attribute("plain"), "a&b");
    EXPECT_EQ(items[1]->text, "<kept> &amp; as is");
    EXPECT_TRUE(root->Find("empty"));
    EXPECT_FALSE(root->Find("missing"));
    EXPECT_EQ(root->Child("Body")->ChildText("item"), items[0]->text);
}

TEST(XmlAnswer, UnknownAndBrokenEntitiesStayAsWritten)
{
    const auto root = ParseXmlAnswer("<a>&nbsp; &#xZZ; &#0; & alone</a>");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->text, "&nbsp; &#xZZ; \xEF\xBF\xBD & alone");
}

TEST(XmlAnswer, MalformedAnswersAreRefusedWhole)
{
    for (const char* broken : {"", "plain text", "<a>", "<a></b>", "<a><b></a></b>", "<a x=1></a>", "<a x=\"1></a>",
                               "<a></a><b></b>", "<a><![CDATA[open</a>", "<a><!-- open</a>", "<?xml", "<>", "<a></a"}) {
        EXPECT_FALSE(ParseXmlAnswer(broken)) << broken;
    }
    std::string deep;
    for (int i = 0; i < 100; ++i)
        deep += "<d>";
    for (int i = 0; i < 100; ++i)
        deep += "</d>";
    EXPECT_FALSE(ParseXmlAnswer(deep));
}

TEST(XmlAnswer, EscapesAllFiveSpecialCharacters)
{
    EXPECT_EQ(EscapeXml("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_EQ(EscapeXml("plain \xC3\xBC"), "plain \xC3\xBC");
    // A reader would make a bare CR LF a LF.
    EXPECT_EQ(EscapeXml("a\r\nb"), "a&#13;\nb");
    EXPECT_EQ(ParseXmlAnswer("<a>" + EscapeXml("a\r\nb") + "</a>")->text, "a\r\nb");
    // Characters no XML document holds become U+FFFD; tab and LF stay.
    EXPECT_EQ(EscapeXml(std::string("\t\x01\n\x1F\0\xEF\xBF\xBF\xEF\xBF\xBE\xEF\xBF\xBC", 14)),
              "\t\xEF\xBF\xBD\n\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBC");
}

TEST(TrackerList, LooksUpIgnoringCaseAndFallsBackToTheFirstEntry)
{
    TTrackerList list;
    EXPECT_EQ(LookUpName(list, u"kept"), u"kept");
    EXPECT_EQ(list.FindOrFirst(u"x"), nullptr);
    list.Add(u"Alpha", u"1", u"P");
    list.Add(u"Beta", u"2", u"Q");
    list.Add(u"Gamma", u"3", u"Q");
    EXPECT_EQ(LookUpName(list, u"BETA"), u"Beta");
    EXPECT_EQ(LookUpName(list, u"delta"), u"Alpha");
    EXPECT_EQ(list.Find(u"delta"), nullptr);
    EXPECT_EQ(list.FindInProject(u"beta", u"p"), nullptr);
    EXPECT_EQ(list.FindOrFirstInProject(u"gamma", u"q")->id, u"3");
    EXPECT_EQ(list.FindOrFirstInProject(u"delta", u"q")->id, u"2");
    EXPECT_EQ(list.FindOrFirstInProject(u"delta", u"R"), nullptr);
}

} // namespace
