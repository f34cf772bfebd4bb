#include "delivery/DeliveryRoutes.h"

#include <gtest/gtest.h>

namespace {

TEST(DeliveryRoutes, OnlyRoutesThatCarryTheFileMayDeleteIt)
{
    for (const TDeliveredBy route : {TDeliveredBy::Upload, TDeliveredBy::Smtp}) {
        EXPECT_TRUE(MayDeleteBugReportFile(route, true, true, true));
        EXPECT_FALSE(MayDeleteBugReportFile(route, false, true, true)) << "not attached by copy";
        EXPECT_FALSE(MayDeleteBugReportFile(route, true, false, true)) << "the copy did not go out";
        EXPECT_FALSE(MayDeleteBugReportFile(route, true, true, false)) << "deleting is off";
    }
    for (const TDeliveredBy route : {TDeliveredBy::Nothing, TDeliveredBy::Mapi, TDeliveredBy::Mailto})
        EXPECT_FALSE(MayDeleteBugReportFile(route, true, true, true));
}

TEST(DeliveryRoutes, SenderComesFromTheFirstRecipientWhenNoneIsConfigured)
{
    EXPECT_EQ(DefaultSender(u"Me <me@x.org>", u"bugs@y.org"), u"Me <me@x.org>");
    EXPECT_EQ(DefaultSender(u"", u" Support Team <bugs@y.org>, other@z.org"), u"zelExcept <bugs@y.org>");
    EXPECT_EQ(DefaultSender(u"", u"bugs@y.org"), u"zelExcept <bugs@y.org>");
    EXPECT_EQ(DefaultSender(u"", u""), u"");
    EXPECT_EQ(DefaultSender(u"", u" , "), u"");
}

std::vector<UnicodeString> Texts(const std::vector<TAlertArea>& areas)
{
    std::vector<UnicodeString> texts;
    for (const TAlertArea& area : areas) {
        EXPECT_EQ(area.weight, 100u);
        texts.push_back(area.text);
    }
    return texts;
}

TEST(DeliveryRoutes, AlertAreasFollowTheConfiguredRoutes)
{
    const TSendAlertTexts texts{u"prep", u"mx", u"conn", u"mail", u"att", u"final"};
    TDeliveryRoutes routes;
    routes.mailViaMapi = true;
    EXPECT_EQ(Texts(SendAlertAreas(routes, texts, true)), std::vector<UnicodeString>{u"prep"});
    routes.mailAsSmtpServer = true;
    EXPECT_EQ(Texts(SendAlertAreas(routes, texts, true)),
              (std::vector<UnicodeString>{u"prep", u"mx", u"conn", u"mail", u"att", u"final"}));
    routes = {};
    routes.mantis = true;
    EXPECT_EQ(Texts(SendAlertAreas(routes, texts, false)), (std::vector<UnicodeString>{u"prep", u"conn", u"final"}));
    routes.mailAsSmtpClient = true;
    EXPECT_EQ(Texts(SendAlertAreas(routes, texts, false)),
              (std::vector<UnicodeString>{u"prep", u"conn", u"mail", u"final"}));
}

TEST(DeliveryRoutes, FieldValuesReplaceByNameOrAreAdded)
{
    std::vector<TFormField> fields{{u"Product", u"App"}, {u"mailsubject", u"old"}};
    SetFieldValue(fields, u"MailSubject", u"new");
    SetFieldValue(fields, u"MailAddr", u"bugs@y.org");
    SetFieldValue(fields, u"Product", u"");
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].value, u"App") << "an empty value changes nothing";
    EXPECT_EQ(fields[1].name, u"mailsubject");
    EXPECT_EQ(fields[1].value, u"new");
    EXPECT_EQ(fields[2].name, u"MailAddr");
}

} // namespace
