#include "http/HttpProcessValues.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpProcessValues, CertificatesAreCheckedAndRedirectsNotFollowedUntilTheHostSaysOtherwise)
{
    THttpServer server;
    server.acceptAnyCertificate = true;
    ApplyHttpProcessValues(server);
    EXPECT_FALSE(server.acceptAnyCertificate);
    EXPECT_FALSE(server.followRedirects);
    EXPECT_TRUE(server.openRedirectTarget);
    EXPECT_TRUE(server.proxy.list.empty());

    THttpProcessValues values;
    values.proxy = {u"proxy:8080", u"intra", u"px", u"pw"};
    values.checkCertificates = false;
    values.followRedirects = true;
    values.openRedirectTarget = false;
    SetHttpProcessValues(values);
    ApplyHttpProcessValues(server);
    SetHttpProcessValues({});
    EXPECT_TRUE(server.acceptAnyCertificate);
    EXPECT_TRUE(server.followRedirects);
    EXPECT_FALSE(server.openRedirectTarget);
    EXPECT_EQ(server.proxy.list, u"proxy:8080");
    EXPECT_EQ(server.proxy.bypass, u"intra");
    EXPECT_EQ(server.proxy.account, u"px");
    EXPECT_EQ(server.proxy.password, u"pw");
}

} // namespace
