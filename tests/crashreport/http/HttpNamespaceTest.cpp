// The upload route as it meets the system: run by in_network_namespace.sh inside a network and
// mount namespace of the test's own, where the system trusts a CA of the tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "UploadTest.h"

namespace {

class UploadInNamespace : public WinHttpUpload {
protected:
    void SetUp() override
    {
        if (!std::getenv("CRASHREPORT_NETWORK_NAMESPACE"))
            GTEST_SKIP() << "needs the network namespace that in_network_namespace.sh makes";
        WinHttpUpload::SetUp();
    }
};

TEST_F(UploadInNamespace, HttpsCertificateOfASystemTrustedCaIsAcceptedForItsHostNameOnly)
{
    const char* caFolder = std::getenv("CRASHREPORT_TEST_CA_DIR");
    ASSERT_NE(caFolder, nullptr);
    const TMailTestServer running(kScript, std::string("--ca-dir ") + caFolder);
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.server = "https://localhost/upload";
    server.ssl = true;
    std::string response;
    TWinHttp trusted(server);
    EXPECT_TRUE(trusted.UploadForm(u"", Fields(), {}, false, response)) << trusted.LastError();
    EXPECT_EQ(response, "Report received");
    // The certificate names "localhost" only.
    server.server = "https://127.0.0.1/upload";
    TWinHttp otherName(server);
    EXPECT_FALSE(otherName.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_NE(running.ReadFile("request-1.json"), "");
    EXPECT_EQ(running.ReadFile("request-2.json"), "");
}

} // namespace
