// What a failed mail leaves as its error text and code, for each way the route can fail.
#include "mail/SmtpMail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MailTestServer.h"
#include "win32/SysErrorMessage.h"

namespace {

// Short enough for a test that waits for it.
constexpr int kTestTimeoutMs = 400;

TSmtpMail SimpleMail()
{
    TSmtpMail mail;
    mail.sender = u"app@y.org";
    mail.recipients = u"support@x.org";
    mail.subject = u"Crash";
    mail.body = u"A report.";
    return mail;
}

TSmtpServer LocalServer(uint16_t port)
{
    TSmtpServer server;
    server.host = "127.0.0.1";
    server.port = port;
    server.heloHost = "tester";
    server.timeoutMs = kTestTimeoutMs;
    return server;
}

struct TFailure {
    const char* what;
    const char* serverOptions; // of scripted_server.py
    bool ssl;
    bool tls;
    const char* error;
    uint32_t code;
};

const TFailure kFailures[] = {
    {"silent server", "--greeting none", false, false, "HELO failed", WSAETIMEDOUT},
    {"closed at once", "--greeting close", false, false, "HELO failed", WSAEDISCON},
    {"endless greeting", "--greeting endless", false, false, "HELO failed", ERROR_INVALID_DATA},
    {"greeting refuses", "--greeting '554 no service'", false, false, "HELO failed (554 no service)", 554},
    {"EHLO and HELO refused", "--answer 'EHLO=500 what' --answer 'HELO=550 go away'", false, false,
     "HELO failed (550 go away)", 550},
    {"STARTTLS refused", "--answer 'EHLO=250-scripted\\n250 STARTTLS' --answer 'STARTTLS=454 not now'", false, true,
     "TLS failed", 454},
    {"sender refused", "--answer 'MAIL FROM=550 sender refused'", false, false, "550 sender refused", 550},
    {"every recipient refused", "--answer 'RCPT TO=550-no such user\\n550 really not'", false, false,
     "550-no such user\r\n550 really not", 550},
    {"DATA refused", "--answer 'DATA=554 no mail today'", false, false, "554 no mail today", 554},
    {"mail refused at its end", "--answer '.=554 looks like spam'", false, false, "554 looks like spam", 554},
    {"dropped at the sender", "--drop 'MAIL FROM'", false, false, "No connection to server", WSAEDISCON},
    {"dropped after the text", "--drop DATA-TEXT", false, false, "No connection to server", WSAEDISCON},
};

TEST(SmtpFailure, EachFailureLeavesItsTextAndCode)
{
    for (const TFailure& failure : kFailures) {
        const TMailTestServer running("scripted_server.py", failure.serverOptions);
        ASSERT_EQ(running.Failure(), "") << failure.what;
        TSmtpServer server = LocalServer(running.Port());
        server.ssl = failure.ssl;
        server.tls = failure.tls;
        const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
        EXPECT_FALSE(result.sent) << failure.what;
        EXPECT_EQ(result.error, failure.error) << failure.what;
        EXPECT_EQ(result.errorCode, failure.code) << failure.what << ": " << result.error;
    }
}

TEST(SmtpFailure, ConnectionRefusedOrNeverAnswered)
{
    // Nothing listens on port 1 of the loopback.
    const TSmtpResult refused = SendSmtpMail(SimpleMail(), LocalServer(1));
    EXPECT_EQ(refused.error, "No connection to server");
    EXPECT_EQ(refused.errorCode, static_cast<uint32_t>(WSAECONNREFUSED));
    const TMailTestServer full("scripted_server.py", "--full-backlog");
    ASSERT_EQ(full.Failure(), "");
    const DWORD start = GetTickCount();
    const TSmtpResult unanswered = SendSmtpMail(SimpleMail(), LocalServer(full.Port()));
    EXPECT_EQ(unanswered.error, "No connection to server");
    EXPECT_EQ(unanswered.errorCode, static_cast<uint32_t>(WSAETIMEDOUT));
    EXPECT_GE(GetTickCount() - start, static_cast<DWORD>(kTestTimeoutMs) - 50);
}

TEST(SmtpFailure, ServerGoingSilentMidSessionEndsTheMailAfterItsTimeOut)
{
    for (const char* muted : {"'MAIL FROM'", "DATA-TEXT"}) {
        const TMailTestServer running("scripted_server.py", std::string("--mute ") + muted);
        ASSERT_EQ(running.Failure(), "") << muted;
        const DWORD start = GetTickCount();
        const TSmtpResult result = SendSmtpMail(SimpleMail(), LocalServer(running.Port()));
        const DWORD waited = GetTickCount() - start;
        EXPECT_FALSE(result.sent) << muted;
        EXPECT_EQ(result.error, "No connection to server") << muted;
        EXPECT_EQ(result.errorCode, static_cast<uint32_t>(WSAETIMEDOUT)) << muted;
        // The command that got no answer, and at most the session's close after it.
        EXPECT_GE(waited, static_cast<DWORD>(kTestTimeoutMs) - 50) << muted;
        EXPECT_LT(waited, static_cast<DWORD>(4 * kTestTimeoutMs)) << muted;
    }
}

TEST(SmtpFailure, DnsServerThatNeverAnswersEndsTheLookupAfterItsWait)
{
    const TMailTestServer dns("dns_server.py", "--silent");
    ASSERT_EQ(dns.Failure(), "");
    TSmtpServer server;
    server.timeoutMs = kTestTimeoutMs;
    server.dnsAnswerWaitMs = 300;
    server.dnsServers = std::vector<TDnsServer>{{"127.0.0.1", dns.Port()}};
    TSmtpMail mail = SimpleMail();
    mail.recipients = u"ann@x.test";
    const DWORD start = GetTickCount();
    const TSmtpResult result = SendSmtpMail(mail, server);
    const DWORD waited = GetTickCount() - start;
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.errorCode, static_cast<uint32_t>(WSAETIMEDOUT));
    EXPECT_EQ(result.error, "Server not found (" + SysErrorMessageA(WSAETIMEDOUT) + ")");
    EXPECT_GE(waited, 250u);
    EXPECT_LT(waited, 2000u);
    EXPECT_EQ(dns.ReadFile("queries.log"), "x.test 15\n");
}

TEST(SmtpFailure, ImplicitTlsToAPlainServerSendsNothingInTheClear)
{
    const TMailTestServer running("scripted_server.py", "");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = LocalServer(running.Port());
    server.ssl = true;
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_EQ(result.error, "SSL failed");
    // The package's refusal of the greeting as a record, or the wait for the rest of that record.
    EXPECT_TRUE((result.errorCode & 0xFFFF0000u) == 0x80090000u || result.errorCode == WSAETIMEDOUT)
        << std::hex << result.errorCode;
    EXPECT_EQ(running.ReadFile("lines.log").find("EHLO"), std::string::npos);
}

TEST(SmtpFailure, ExchangerNotFoundSaysWhatTheDnsServerAnswered)
{
    struct TDnsFailure {
        const char* options; // of dns_server.py
        uint32_t code;
    };
    for (const TDnsFailure& dns : {TDnsFailure{"", static_cast<uint32_t>(DNS_ERROR_RCODE_NAME_ERROR)},
                                   TDnsFailure{"--refuse", static_cast<uint32_t>(DNS_ERROR_RCODE_REFUSED)},
                                   TDnsFailure{"--ns x.test=ns.x.test:127.0.0.1", static_cast<uint32_t>(DNS_INFO_NO_RECORDS)}}) {
        const TMailTestServer running("dns_server.py", dns.options);
        ASSERT_EQ(running.Failure(), "") << dns.options;
        TSmtpServer server;
        server.timeoutMs = kTestTimeoutMs;
        server.dnsServers = std::vector<TDnsServer>{{"127.0.0.1", running.Port()}};
        TSmtpMail mail = SimpleMail();
        mail.recipients = u"ann@x.test";
        const TSmtpResult result = SendSmtpMail(mail, server);
        EXPECT_FALSE(result.sent);
        EXPECT_EQ(result.errorCode, dns.code) << dns.options;
        EXPECT_EQ(result.error, "Server not found (" + SysErrorMessageA(dns.code) + ")") << dns.options;
    }
}

TEST(SmtpFailure, OfSeveralMailsTheLastFailureStaysUnlessOneWentOut)
{
    const TMailTestServer exchanger("scripted_server.py", "--answer 'RCPT TO:<bob=550 no bob'");
    ASSERT_EQ(exchanger.Failure(), "");
    const TMailTestServer dns("dns_server.py", "--mx x.test=5:127.0.0.1");
    ASSERT_EQ(dns.Failure(), "");
    TSmtpServer server;
    server.port = exchanger.Port();
    server.heloHost = "tester";
    server.timeoutMs = kTestTimeoutMs;
    server.dnsServers = std::vector<TDnsServer>{{"127.0.0.1", dns.Port()}};
    TSmtpMail mail = SimpleMail();
    mail.recipients = u"bob@x.test, carl@nowhere.test";
    const TSmtpResult failed = SendSmtpMail(mail, server);
    EXPECT_FALSE(failed.sent);
    EXPECT_EQ(failed.errorCode, static_cast<uint32_t>(DNS_ERROR_RCODE_NAME_ERROR)) << failed.error;
    mail.recipients = u"carl@nowhere.test, bob@x.test";
    EXPECT_EQ(SendSmtpMail(mail, server).error, "550 no bob");
    mail.recipients = u"bob@x.test, ann@x.test";
    const TSmtpResult one = SendSmtpMail(mail, server);
    EXPECT_TRUE(one.sent);
    EXPECT_EQ(one.error, "");
    EXPECT_EQ(one.errorCode, 0u);
}

} // namespace
