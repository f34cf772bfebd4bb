// The SMTP route as it meets the system: run by in_network_namespace.sh inside a network and
// mount namespace of the test's own, where the servers may take port 53 and 25 of any 127.x
// address, /etc/resolv.conf names dnsmasq on 127.0.0.1 and the system trusts a CA of the tests.
#include "mail/SmtpMail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "MailTestServer.h"
#include "win32/SysErrorMessage.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class MailInNamespace : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("CRASHREPORT_NETWORK_NAMESPACE"))
            GTEST_SKIP() << "needs the network namespace that in_network_namespace.sh makes";
    }

    static TSmtpMail Mail(const char16_t* recipients)
    {
        TSmtpMail mail;
        mail.sender = u"app@y.org";
        mail.recipients = recipients;
        mail.subject = u"Crash";
        mail.body = u"A report.";
        return mail;
    }
};

TEST_F(MailInNamespace, CertificateOfASystemTrustedCaIsAcceptedForItsHostNameOnly)
{
    const char* caFolder = std::getenv("CRASHREPORT_TEST_CA_DIR");
    ASSERT_NE(caFolder, nullptr);
    const TMailTestServer running("smtp_server.py",
                                  std::string("--auth reporter:s3cret --mode starttls --ca-dir ") + caFolder);
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server;
    server.host = "localhost";
    server.port = running.Port();
    server.heloHost = "tester";
    server.tls = true;
    server.account = u"reporter";
    server.password = u"s3cret";
    const TSmtpResult accepted = SendSmtpMail(Mail(u"support@x.test"), server);
    EXPECT_TRUE(accepted.sent) << accepted.error;
    server.host = "127.0.0.1";
    const TSmtpResult refused = SendSmtpMail(Mail(u"support@x.test"), server);
    EXPECT_EQ(refused.error, "TLS failed");
    EXPECT_EQ(refused.errorCode, static_cast<uint32_t>(CERT_E_CN_NO_MATCH)) << std::hex << refused.errorCode;
    EXPECT_EQ(running.ReadFile("auth.log"), "LOGIN reporter tls=True\n");
}

TEST_F(MailInNamespace, SystemDnsServerNamesTheExchangerAndItsAddress)
{
    const TMailTestServer exchanger("smtp_server.py", "--port 25");
    ASSERT_EQ(exchanger.Failure(), "");
    const TMailTestServer dnsmasq("dnsmasq_server.py",
                                  "--mx x.test=20:far.x.test --mx x.test=10:mx.x.test --host mx.x.test=127.0.0.1");
    ASSERT_EQ(dnsmasq.Failure(), "");
    const std::vector<TDnsServer> system = SystemDnsServers();
    ASSERT_EQ(system.size(), 1u);
    EXPECT_EQ(system[0].address, "127.0.0.1");
    // No server, no port: the exchanger of each recipient at port 25, by the system's DNS server.
    TSmtpServer server;
    server.heloHost = "tester";
    const TSmtpResult result = SendSmtpMail(Mail(u"Ann <ann@x.test>, nobody@nowhere.test"), server);
    EXPECT_TRUE(result.sent) << result.error;
    const std::string received = exchanger.ReadFile("mail-1.json");
    EXPECT_TRUE(Has(received, "\"rcpt_tos\": [\"ann@x.test\"]")) << received;
    EXPECT_EQ(exchanger.ReadFile("mail-2.json"), "");
}

TEST_F(MailInNamespace, WalkFromTheRootsFindsTheDomainsOwnServers)
{
    const TMailTestServer refusing("dns_server.py", "--listen 127.0.1.2 --port 53 --refuse");
    const TMailTestServer root("dns_server.py", "--listen 127.0.1.1 --port 53 --refer test=a.nic.test:127.0.2.1");
    const TMailTestServer topLevel("dns_server.py",
                                   "--listen 127.0.2.1 --port 53 --refer x.test=ns.x.test:127.0.3.1");
    const TMailTestServer own("dns_server.py", "--listen 127.0.3.1 --port 53 --ns dept.x.test=ns.x.test:127.0.3.1 "
                                               "--mx dept.x.test=10:mx.dept.x.test");
    for (const TMailTestServer* server : {&refusing, &root, &topLevel, &own})
        ASSERT_EQ(server->Failure(), "");
    // The first root refuses: the second is asked.
    EXPECT_EQ(LookupMailExchanger(u"Ann <ann@mail.dept.x.test>", {}, {{"127.0.1.2", 53}, {"127.0.1.1", 53}}),
              "mx.dept.x.test");
    EXPECT_EQ(refusing.ReadFile("queries.log"), "dept.x.test 2\n");
    // The walk asks for the servers of the short domain (the last three labels); they are asked
    // for the whole domain's exchanger first, for the short one's next.
    EXPECT_EQ(root.ReadFile("queries.log"), "dept.x.test 2\n");
    EXPECT_EQ(topLevel.ReadFile("queries.log"), "dept.x.test 2\n");
    EXPECT_EQ(own.ReadFile("queries.log"), "dept.x.test 2\nmail.dept.x.test 15\ndept.x.test 15\n");
}

TEST_F(MailInNamespace, MailWithoutAnyDnsServerFindsTheExchangerFromTheRoots)
{
    const TMailTestServer exchanger("smtp_server.py", "--port 25");
    const TMailTestServer dnsmasq("dnsmasq_server.py", "--host mx.x.test=127.0.0.1");
    const TMailTestServer root("dns_server.py", "--listen 127.0.1.1 --port 53 --refer test=a.nic.test:127.0.2.1");
    const TMailTestServer topLevel("dns_server.py",
                                   "--listen 127.0.2.1 --port 53 --refer x.test=ns.x.test:127.0.3.1");
    const TMailTestServer own("dns_server.py", "--listen 127.0.3.1 --port 53 --ns x.test=ns.x.test:127.0.3.1 "
                                               "--mx x.test=10:mx.x.test");
    for (const TMailTestServer* server : {&exchanger, &dnsmasq, &root, &topLevel, &own})
        ASSERT_EQ(server->Failure(), "");
    TSmtpServer server;
    server.heloHost = "tester";
    server.dnsServers = std::vector<TDnsServer>{};
    server.rootServers = {{"127.0.1.1", 53}};
    const TSmtpResult sent = SendSmtpMail(Mail(u"Ann <ann@x.test>"), server);
    EXPECT_TRUE(sent.sent) << sent.error;
    EXPECT_TRUE(Has(exchanger.ReadFile("mail-1.json"), "\"rcpt_tos\": [\"ann@x.test\"]"));
    EXPECT_EQ(root.ReadFile("queries.log"), "x.test 2\n");
    EXPECT_EQ(own.ReadFile("queries.log"), "x.test 2\nx.test 15\n");
    // The top-level server knows no such domain: its answer is the mail's error.
    const TSmtpResult unknown = SendSmtpMail(Mail(u"nobody@nowhere.test"), server);
    EXPECT_FALSE(unknown.sent);
    EXPECT_EQ(unknown.errorCode, static_cast<uint32_t>(DNS_ERROR_RCODE_NAME_ERROR)) << unknown.error;
    EXPECT_EQ(topLevel.ReadFile("queries.log"), "x.test 2\nnowhere.test 2\nnowhere.test 15\n");
    EXPECT_EQ(exchanger.ReadFile("mail-2.json"), "");
}

TEST_F(MailInNamespace, WalkLooksUpTheAddressOfANameServerTheReferralDoesNotGive)
{
    const TMailTestServer exchanger("smtp_server.py", "--port 25");
    const TMailTestServer dnsmasq("dnsmasq_server.py", "--host mx.x.test=127.0.0.1");
    const TMailTestServer root("dns_server.py", "--listen 127.0.1.1 --port 53 --refer test=a.nic.test:127.0.2.1");
    // x.test is served by a name server of another domain, whose address only that domain knows.
    const TMailTestServer topLevel("dns_server.py", "--listen 127.0.2.1 --port 53 --refer x.test=ns.y.test: "
                                                    "--refer y.test=ns.y.test:127.0.5.1");
    const TMailTestServer other("dns_server.py", "--listen 127.0.5.1 --port 53 --a ns.y.test=127.0.3.1");
    const TMailTestServer own("dns_server.py", "--listen 127.0.3.1 --port 53 --ns x.test=ns.y.test:127.0.3.1 "
                                               "--mx x.test=10:mx.x.test");
    for (const TMailTestServer* server : {&exchanger, &dnsmasq, &root, &topLevel, &other, &own})
        ASSERT_EQ(server->Failure(), "");
    TSmtpServer server;
    server.heloHost = "tester";
    server.dnsServers = std::vector<TDnsServer>{};
    server.rootServers = {{"127.0.1.1", 53}};
    const TSmtpResult sent = SendSmtpMail(Mail(u"Ann <ann@x.test>"), server);
    EXPECT_TRUE(sent.sent) << sent.error;
    EXPECT_TRUE(Has(exchanger.ReadFile("mail-1.json"), "\"rcpt_tos\": [\"ann@x.test\"]"));
    EXPECT_EQ(root.ReadFile("queries.log"), "x.test 2\nns.y.test 1\n");
    EXPECT_EQ(topLevel.ReadFile("queries.log"), "x.test 2\nns.y.test 1\n");
    EXPECT_EQ(other.ReadFile("queries.log"), "ns.y.test 1\n");
    EXPECT_EQ(own.ReadFile("queries.log"), "x.test 2\nx.test 15\n");
}

TEST_F(MailInNamespace, NameServersThatCannotBeFoundEndTheWalk)
{
    // Each name server is named only by a referral without its address, and its own look-up
    // meets the same again: the look-ups go two deep and end.
    const TMailTestServer root("dns_server.py", "--listen 127.0.1.1 --port 53 --refer test=ns.loop.test:");
    ASSERT_EQ(root.Failure(), "");
    const TMailExchangerLookup lookup = FindMailExchanger(u"ann@x.test", {}, {{"127.0.1.1", 53}}, 300);
    EXPECT_EQ(lookup.exchanger, "");
    EXPECT_EQ(root.ReadFile("queries.log"), "x.test 2\nns.loop.test 1\nns.loop.test 1\nx.test 15\n");
}

TEST_F(MailInNamespace, ServerNameTheSystemCannotResolve)
{
    const TMailTestServer dnsmasq("dnsmasq_server.py", "");
    ASSERT_EQ(dnsmasq.Failure(), "");
    TSmtpServer server;
    server.host = "mail.nowhere.test";
    server.heloHost = "tester";
    const TSmtpResult result = SendSmtpMail(Mail(u"support@x.test"), server);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.errorCode, static_cast<uint32_t>(WSAHOST_NOT_FOUND));
    EXPECT_EQ(result.error, "Server not found (" + SysErrorMessageA(WSAHOST_NOT_FOUND) + ")");
}

TEST_F(MailInNamespace, WalkEndsAfterTenReferralsAndAsksTheLastServers)
{
    // A server that refers every name under .test back to itself.
    const TMailTestServer looping("dns_server.py",
                                  "--listen 127.0.4.1 --port 53 --refer test=ns.loop.test:127.0.4.1 --mx x.test=10:mx.x.test");
    ASSERT_EQ(looping.Failure(), "");
    EXPECT_EQ(LookupMailExchanger(u"ann@x.test", {}, {{"127.0.4.1", 53}}), "mx.x.test");
    std::string expected;
    for (int round = 0; round < 10; ++round)
        expected += "x.test 2\n";
    EXPECT_EQ(looping.ReadFile("queries.log"), expected + "x.test 15\n");
}

} // namespace
