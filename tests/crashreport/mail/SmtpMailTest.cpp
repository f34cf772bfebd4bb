#include "mail/SmtpMail.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "MailTestServer.h"
#include "RecordingAlert.h"
#include "win32/SysErrorMessage.h"
#include "TestFiles.h"

namespace {

constexpr char kScript[] = "smtp_server.py";

// A CA certificate (PEM) trusted in the current user's root store of the test's Wine prefix
// while the object lives.
class TTrustedCa {
public:
    explicit TTrustedCa(const std::string& pem)
    {
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
            return;
        std::string der(size, '\0');
        CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()), &size,
                             nullptr, nullptr);
        store_ = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
        if (store_)
            CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                             size, CERT_STORE_ADD_REPLACE_EXISTING, &added_);
    }
    ~TTrustedCa()
    {
        if (added_)
            CertDeleteCertificateFromStore(added_);
        if (store_)
            CertCloseStore(store_, 0);
    }
    TTrustedCa(const TTrustedCa&) = delete;
    TTrustedCa& operator=(const TTrustedCa&) = delete;

    bool Trusted() const { return added_ != nullptr; }

private:
    HCERTSTORE store_ = nullptr;
    PCCERT_CONTEXT added_ = nullptr;
};

class SmtpMail : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = OwnTempFolder("smtp-mail-test");
    }

    UnicodeString WriteFile(const std::string& name, const std::string& content)
    {
        return WriteTestFile(folder_, name, content);
    }

    static TSmtpServer Server(const TMailTestServer& running, const char* host = "127.0.0.1")
    {
        TSmtpServer server;
        server.host = host;
        server.port = running.Port();
        server.heloHost = "tester";
        return server;
    }

    static TSmtpMail SimpleMail()
    {
        TSmtpMail mail;
        mail.sender = u"app@y.org";
        mail.recipients = u"support@x.org";
        mail.subject = u"Crash";
        mail.body = u"A report.";
        return mail;
    }

    std::string folder_;
};

// A text holding the boundary line forges no part; names with quotes and backslashes, and
// names outside ASCII, are read back as they were sent.
TEST_F(SmtpMail, MailArrivesWholeWithAttachmentsAndDotLines)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    const std::string report = "Report\r\n.\r\n..two\r\n.\r\nQUIT\r\n";
    TSmtpMail mail;
    mail.sender = u"Crash Reporter <app@y.org>";
    mail.recipients = u"J\u00FCrgen M\u00FCller <jm@x.org>, \u0416\u0430\u043D\u043D\u0430 <z@x.org>";
    mail.subject = u"Crash in Gr\u00FC\u00DFe 1.0";
    const std::string forged =
        "\r\n--" + std::string(kMultipartBoundary) + "\r\nContent-Type: text/plain\r\n\r\nforged";
    mail.body = u"Line one\r\n.\r\n..two" + UnicodeString(forged.begin(), forged.end()) + u"\r\nlast";
    mail.files = {WriteFile("bytes.bin", binary), WriteFile("report.txt", report), u"C:\\no\\such\\file.txt",
                  WriteFile("empty.zip", "")};
    mail.sendAsNames = {u"bytes.bin", u"bug \"report\" \\ 1.zbr", u"missing.txt", u"\u0416 \"1\".zip"};
    const TSmtpResult result = SendSmtpMail(mail, Server(running));
    EXPECT_TRUE(result.sent) << result.error;
    const std::string received = running.ReadFile("mail-1.json");
    EXPECT_NE(received.find("\"rcpt_tos\": [\"jm@x.org\", \"z@x.org\"]"), std::string::npos) << received;
    EXPECT_NE(received.find("\"mail_from\": \"app@y.org\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"to\": \"Jürgen Müller <jm@x.org>\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"from\": \"Crash Reporter <app@y.org>\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"reply_to\": \"Crash Reporter <app@y.org>\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"subject\": \"Crash in Grüße 1.0\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"body\": \"Line one\\r\\n.\\r\\n..two\\r\\n--" + std::string(kMultipartBoundary) +
                            "\\r\\nContent-Type: text/plain\\r\\n\\r\\nforged\\r\\nlast\""),
              std::string::npos)
        << received;
    EXPECT_NE(received.find("\"attachments\": [{\"filename\": \"bytes.bin\", \"type\": \"application/octet-stream\", "
                            "\"data\": \"" + Hex(binary) + "\"}, {\"filename\": \"bug \\\"report\\\" \\\\ 1.zbr\", "
                            "\"type\": \"text/plain\", \"data\": \"" + Hex(report) + "\"}, "
                            "{\"filename\": \"Ж \\\"1\\\".zip\", \"type\": \"application/zip\", \"data\": \"\"}]}"),
              std::string::npos)
        << received;
}

TEST_F(SmtpMail, TextOutsideLatin1GoesAsUtf8)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    TSmtpMail mail = SimpleMail();
    mail.subject = u"\u0421\u0431\u043E\u0439";
    mail.body = u"\u20AC 5\r\n.\r\n";
    mail.replyTo = u"Dev <dev@y.org>";
    ASSERT_TRUE(SendSmtpMail(mail, Server(running)).sent);
    const std::string received = running.ReadFile("mail-1.json");
    EXPECT_NE(received.find("\"subject\": \"Сбой\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"body\": \"€ 5\\r\\n.\\r\\n\""), std::string::npos) << received;
    EXPECT_NE(received.find("\"reply_to\": \"Dev <dev@y.org>\""), std::string::npos) << received;
}

TEST_F(SmtpMail, LongReportLinesArriveWhole)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    TSmtpMail mail = SimpleMail();
    mail.body = u"Stack: " + UnicodeString(2000, u'7') + u"\r\n.\r\nend";
    ASSERT_TRUE(SendSmtpMail(mail, Server(running)).sent);
    const std::string received = running.ReadFile("mail-1.json");
    EXPECT_NE(received.find("\"body\": \"Stack: " + std::string(2000, '7') + "\\r\\n.\\r\\nend\""),
              std::string::npos)
        << received;
}

TEST_F(SmtpMail, AuthLoginWithTheAccount)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"s3cret";
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_TRUE(result.sent) << result.error;
    EXPECT_NE(running.ReadFile("mail-1.json").find("\"authenticated\": true"), std::string::npos);
    EXPECT_EQ(running.ReadFile("auth.log"), "LOGIN reporter tls=False\n");
}

TEST_F(SmtpMail, RefusedLoginSendsNoMail)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"wrong";
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.error.rfind("Authentication failed (535 ", 0), 0u) << result.error;
    EXPECT_EQ(result.error.back(), ')');
    EXPECT_EQ(result.errorCode, 535u);
    EXPECT_EQ(running.ReadFile("mail-1.json"), "");
}

TEST_F(SmtpMail, NoCredentialsInTheClearWhenTlsIsNotOffered)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = Server(running);
    server.tls = true;
    server.account = u"reporter";
    server.password = u"s3cret";
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.error, "TLS failed");
    EXPECT_EQ(result.errorCode, static_cast<uint32_t>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(running.ReadFile("auth.log"), "");
    EXPECT_EQ(running.ReadFile("mail-1.json"), "");
}

TEST_F(SmtpMail, StartTlsBeforeTheLogin)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret --mode starttls");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = Server(running, "localhost");
    server.tls = true;
    server.account = u"reporter";
    server.password = u"s3cret";
    server.acceptAnyCertificate = true;
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_TRUE(result.sent) << result.error;
    const std::string received = running.ReadFile("mail-1.json");
    EXPECT_NE(received.find("\"tls\": true, \"authenticated\": true"), std::string::npos) << received;
    EXPECT_EQ(running.ReadFile("auth.log"), "LOGIN reporter tls=True\n");
}

TEST_F(SmtpMail, SelfSignedCertificateIsRefusedUnlessAllowed)
{
    for (const char* mode : {"starttls", "implicit"}) {
        const TMailTestServer running(kScript, std::string("--auth reporter:s3cret --mode ") + mode);
        ASSERT_EQ(running.Failure(), "");
        TSmtpServer server = Server(running, "localhost");
        server.ssl = std::string(mode) == "implicit";
        server.tls = !server.ssl;
        server.account = u"reporter";
        server.password = u"s3cret";
        const TSmtpResult refused = SendSmtpMail(SimpleMail(), server);
        EXPECT_FALSE(refused.sent) << mode;
        EXPECT_EQ(refused.error, server.ssl ? "SSL failed" : "TLS failed");
        EXPECT_EQ(refused.errorCode, static_cast<uint32_t>(CERT_E_UNTRUSTEDROOT)) << std::hex << refused.errorCode;
        EXPECT_EQ(running.ReadFile("auth.log"), "") << mode;
        server.acceptAnyCertificate = true;
        const TSmtpResult accepted = SendSmtpMail(SimpleMail(), server);
        EXPECT_TRUE(accepted.sent) << mode << ": " << accepted.error;
        EXPECT_NE(running.ReadFile("mail-1.json").find("\"tls\": true"), std::string::npos) << mode;
    }
}

TEST_F(SmtpMail, PlaintextBehindTheStartTlsAnswerEndsTheSession)
{
    const TMailTestServer running("injecting_server.py", "");
    ASSERT_EQ(running.Failure(), "");
    TSmtpServer server = Server(running);
    server.tls = true;
    server.account = u"reporter";
    server.password = u"s3cret";
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.error, "TLS failed");
    EXPECT_EQ(result.errorCode, static_cast<uint32_t>(ERROR_INVALID_DATA));
    const std::string lines = running.ReadFile("lines.log");
    EXPECT_EQ(lines.find("AUTH"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("MAIL FROM"), std::string::npos) << lines;
}

// A server that asks for a renegotiation in the middle of the mail text. Wine's package cannot
// start one and declines, which TLS 1.2 allows; the mail and its attachment arrive whole over
// the checked connection.
TEST_F(SmtpMail, RenegotiationRequestInTheMiddleOfTheMail)
{
    std::string report;
    // More mail text than s_server's output pipe holds, so the request comes while it is sent.
    for (int line = 0; report.size() < 200000; ++line)
        report += "frame " + std::to_string(line) + "\r\n";
    const TMailTestServer running("renegotiating_server.py", "");
    ASSERT_EQ(running.Failure(), "");
    const TTrustedCa ca(running.ReadFile("ca.pem"));
    ASSERT_TRUE(ca.Trusted());
    TSmtpServer server = Server(running, "localhost");
    server.ssl = true;
    TSmtpMail mail = SimpleMail();
    mail.files = {WriteFile("report.txt", report)};
    const TSmtpResult result = SendSmtpMail(mail, server);
    EXPECT_TRUE(result.sent) << result.error << " " << std::hex << result.errorCode;
    const std::string expected = "{\"hello_requests\": 1, \"body\": \"A report.\", \"attachments\": [{\"filename\": "
                                 "\"report.txt\", \"type\": \"text/plain\", \"data\": \"" + Hex(report) + "\"}]}";
    const std::string received = running.ReadFile("mail-1.json");
    EXPECT_TRUE(received == expected) << received.substr(0, 200);
}

TEST_F(SmtpMail, TrustedCaIsAcceptedForItsHostNameOnly)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret --mode starttls --ca");
    ASSERT_EQ(running.Failure(), "");
    const TTrustedCa ca(running.ReadFile("ca.pem"));
    ASSERT_TRUE(ca.Trusted());
    TSmtpServer server = Server(running, "localhost");
    server.tls = true;
    server.account = u"reporter";
    server.password = u"s3cret";
    const TSmtpResult accepted = SendSmtpMail(SimpleMail(), server);
    EXPECT_TRUE(accepted.sent) << accepted.error;
    // The certificate names "localhost" only.
    server.host = "127.0.0.1";
    const TSmtpResult refused = SendSmtpMail(SimpleMail(), server);
    EXPECT_FALSE(refused.sent);
    EXPECT_EQ(refused.error, "TLS failed");
    EXPECT_EQ(refused.errorCode, static_cast<uint32_t>(CERT_E_CN_NO_MATCH)) << std::hex << refused.errorCode;
    EXPECT_EQ(running.ReadFile("auth.log"), "LOGIN reporter tls=True\n");
}

// The DNS server is given by its address or by a host name that the system looks up.
TEST_F(SmtpMail, OwnServerModeSendsToEachRecipientsExchanger)
{
    struct TDnsRow {
        const char* spoof;
        const char* host;
    };
    for (const TDnsRow& row : {TDnsRow{"", "localhost"}, TDnsRow{" --spoof", "127.0.0.1"}}) {
        const std::string spoof = row.spoof;
        const TMailTestServer exchanger(kScript, "");
        ASSERT_EQ(exchanger.Failure(), "");
        const TMailTestServer dns("dns_server.py", "--mx x.test=20:far.x.test,5:localhost" + spoof);
        ASSERT_EQ(dns.Failure(), "");
        TSmtpServer server;
        server.port = exchanger.Port();
        server.heloHost = "tester";
        server.dnsServers = std::vector<TDnsServer>{{row.host, dns.Port()}};
        TSmtpMail mail = SimpleMail();
        mail.recipients = u"Ann <ann@x.test>, nobody@mail.sub.nowhere.test";
        const TSmtpResult result = SendSmtpMail(mail, server);
        EXPECT_TRUE(result.sent) << spoof << ": " << result.error;
        const std::string received = exchanger.ReadFile("mail-1.json");
        EXPECT_NE(received.find("\"rcpt_tos\": [\"ann@x.test\"]"), std::string::npos) << received;
        EXPECT_EQ(exchanger.ReadFile("mail-2.json"), "");
        // The unknown domain is asked for again by its last three labels.
        EXPECT_EQ(dns.ReadFile("queries.log"), "x.test 15\nmail.sub.nowhere.test 15\nsub.nowhere.test 15\n");
    }
}

TEST_F(SmtpMail, ProgressAreasPerMailAndAttachment)
{
    const TMailTestServer exchanger(kScript, "");
    ASSERT_EQ(exchanger.Failure(), "");
    const TMailTestServer dns("dns_server.py", "--mx x.test=5:localhost");
    ASSERT_EQ(dns.Failure(), "");
    TSmtpServer server;
    server.port = exchanger.Port();
    server.heloHost = "tester";
    server.dnsServers = std::vector<TDnsServer>{{"127.0.0.1", dns.Port()}};
    const TIntfPtr<TRecordingAlert> alert = MakeObject<TRecordingAlert>();
    TSmtpMail mail = SimpleMail();
    mail.recipients = u"ann@x.test, nobody@nowhere.test";
    mail.files = {WriteFile("a.bin", std::string(512, 'a')), WriteFile("b.bin", std::string(32, 'b'))};
    mail.alert = alert.Get();
    mail.progressTexts = {u"Prep", u"Mx", u"Conn", u"Mail", u"Att", u"Final"};
    ASSERT_TRUE(SendSmtpMail(mail, server).sent);
    const std::vector<std::string> areas{"Prep 500", "Mx 500",  "Conn 500",  "Mail 100", "Att 32", "Att 2",  "Final 1000",
                                         "Mx 500",   "Conn 5000", "Mail 100", "Att 32",   "Att 2", "Final 1000"};
    EXPECT_EQ(alert->areas, areas);
    // Past preparing; the first mail's look-up, connection, text and attachments; the second
    // mail's block and its look-up, which finds nothing.
    EXPECT_EQ(alert->visited, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(alert->positions, (std::vector<int32_t>{498, 996, 1000, 1000}));
    EXPECT_TRUE(alert->closed);
}

// Cuts a file short when the mail reaches the area of its attachment.
class TTruncatingAlert : public TRecordingAlert {
public:
    TTruncatingAlert(const UnicodeString& file, int32_t attachmentArea) : file_(file), attachmentArea_(attachmentArea) {}

    void NextArea() override
    {
        TRecordingAlert::NextArea();
        if (area != attachmentArea_)
            return;
        const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(file_.c_str()), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(file, 100, nullptr, FILE_BEGIN);
        truncated = SetEndOfFile(file) != FALSE;
        CloseHandle(file);
    }

    bool truncated = false;

private:
    UnicodeString file_;
    int32_t attachmentArea_;
};

TEST_F(SmtpMail, AttachmentCutShortWhileSendingAbandonsTheMail)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    TSmtpMail mail = SimpleMail();
    mail.files = {WriteFile("shrinking.bin", std::string(1000, 'a'))};
    // Preparing, connecting, the text, then the attachment.
    const TIntfPtr<TTruncatingAlert> alert = MakeObject<TTruncatingAlert>(mail.files[0], 3);
    mail.alert = alert.Get();
    const TSmtpResult result = SendSmtpMail(mail, Server(running));
    ASSERT_TRUE(alert->truncated);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.errorCode, static_cast<uint32_t>(ERROR_HANDLE_EOF));
    EXPECT_EQ(result.error, SysErrorMessageA(ERROR_HANDLE_EOF));
    // The server never got the mail's end: nothing was delivered.
    EXPECT_EQ(running.ReadFile("mail-1.json"), "");
}

TEST_F(SmtpMail, UnreachableServer)
{
    TSmtpServer server;
    server.host = "127.0.0.1";
    // Nothing listens on port 1 of the loopback: the connect is refused at once.
    server.port = 1;
    const TSmtpResult result = SendSmtpMail(SimpleMail(), server);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.error, "No connection to server");
}

} // namespace
