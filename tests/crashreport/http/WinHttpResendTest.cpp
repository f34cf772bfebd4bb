#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UploadTest.h"

namespace {

// A host under the reserved ".invalid" domain: only a proxy can take requests for it.
constexpr char kUnresolvable[] = "http://reports.invalid/upload/form.php";

bool Has(const std::string& record, const std::string& text) { return record.find(text) != std::string::npos; }

// Counts the look-ups of a proxy and answers each with the given list (none when empty).
struct TProxyLookups {
    THttpProxyFinder Finder(const std::wstring& list)
    {
        return [this, list](HINTERNET, const std::wstring& url) -> std::optional<THttpProxyList> {
            urls.push_back(std::string(url.begin(), url.end()));
            if (list.empty())
                return std::nullopt;
            return THttpProxyList{list, L""};
        };
    }
    std::vector<std::string> urls;
};

std::wstring Loopback(uint16_t port) { return L"127.0.0.1:" + std::to_wstring(port); }

UnicodeString LoopbackU16(uint16_t port)
{
    const std::wstring text = Loopback(port);
    return UnicodeString(text.begin(), text.end());
}

THttpServer BehindProxy(const TMailTestServer& proxy)
{
    THttpServer server;
    server.server = kUnresolvable;
    server.quiet = true;
    server.proxy.list = LoopbackU16(proxy.Port());
    server.proxy.account = u"px";
    server.proxy.password = u"pw";
    return server;
}

using WinHttpProxy = WinHttpUpload;

TEST_F(WinHttpProxy, NamedProxyGetsTheRequestAndItsAccountAfter407)
{
    const TMailTestServer proxy(kScript, "--proxy-auth px:pw");
    ASSERT_EQ(proxy.Failure(), "");
    TProxyLookups lookups;
    THttpServer server = BehindProxy(proxy);
    server.findProxy = lookups.Finder(L"127.0.0.1:1");
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {{WriteFile("a.bin", "abc"), u"a.bin", u"file1"}}, false, response))
        << http.LastError() << " " << http.LastStatus();
    EXPECT_EQ(response, "Report received");
    const std::string first = proxy.ReadFile("request-1.json");
    EXPECT_TRUE(Has(first, "\"path\": \"http://reports.invalid")) << first;
    EXPECT_TRUE(Has(first, "\"proxy_authorized\": false")) << first;
    const std::string second = proxy.ReadFile("request-2.json");
    EXPECT_TRUE(Has(second, "\"proxy_authorized\": true")) << second;
    EXPECT_TRUE(Has(second, "{\"field\": \"file1\", \"filename\": \"a.bin\", \"data\": \"616263\"}")) << second;
    EXPECT_EQ(proxy.ReadFile("request-3.json"), "");
    // A configured proxy is never replaced by one looked for.
    EXPECT_TRUE(lookups.urls.empty());
}

TEST_F(WinHttpProxy, ProxyAndServerChallengesAreEachAnsweredOnce)
{
    const TMailTestServer proxy(kScript, "--proxy-auth px:pw --auth reporter:s3cret");
    ASSERT_EQ(proxy.Failure(), "");
    THttpServer server = BehindProxy(proxy);
    server.account = u"reporter";
    server.password = u"s3cret";
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response)) << http.LastError() << " " << http.LastStatus();
    EXPECT_TRUE(Has(proxy.ReadFile("request-1.json"), "\"proxy_authorized\": false"));
    EXPECT_TRUE(Has(proxy.ReadFile("request-2.json"), "\"proxy_authorized\": true, \"authorized\": false"));
    EXPECT_TRUE(Has(proxy.ReadFile("request-3.json"), "\"proxy_authorized\": true, \"authorized\": true"));
    EXPECT_EQ(proxy.ReadFile("request-4.json"), "");
}

TEST_F(WinHttpProxy, HttpsGoesThroughTheProxysTunnel)
{
    const TMailTestServer proxy(kScript, "--tunnel");
    ASSERT_EQ(proxy.Failure(), "");
    THttpServer server = BehindProxy(proxy);
    server.server = "https://reports.invalid/upload";
    server.ssl = true;
    server.acceptAnyCertificate = true;
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response)) << http.LastError() << " " << http.LastStatus();
    EXPECT_TRUE(Has(proxy.ReadFile("connect-1.json"), "\"target\": \"reports.invalid:443\""));
    const std::string request = proxy.ReadFile("request-1.json");
    // The path, which some WinHTTPs send as a whole address inside the tunnel too.
    EXPECT_TRUE(Has(request, "/upload\", \"length\"")) << request;
    EXPECT_TRUE(Has(request, "\"MailFrom\": \"app@y.org\"")) << request;
    // The proxy's account is never sent to the server.
    EXPECT_TRUE(Has(request, "\"proxy_credentials_in_tunnel\": false")) << request;
}

// WinHTTPs differ here: some answer the proxy's 407 to the tunnel with the account; Wine fails
// the send (12157) without the status and never puts the account on the tunnel's request.
// Either way the tunnel is asked twice at most, success means the server got the report, and a
// failure leaves its code.
TEST_F(WinHttpProxy, HttpsTunnelThatAsksForCredentialsIsAskedTwiceAtMost)
{
    const TMailTestServer proxy(kScript, "--tunnel --proxy-auth px:pw");
    ASSERT_EQ(proxy.Failure(), "");
    THttpServer server = BehindProxy(proxy);
    server.server = "https://reports.invalid/upload";
    server.ssl = true;
    server.acceptAnyCertificate = true;
    TProxyLookups lookups;
    server.findProxy = lookups.Finder(L"127.0.0.1:1");
    TWinHttp http(server);
    std::string response;
    const bool sent = http.UploadForm(u"", Fields(), {}, false, response);
    EXPECT_TRUE(Has(proxy.ReadFile("connect-1.json"), "\"proxy_authorized\": false"));
    EXPECT_EQ(proxy.ReadFile("connect-3.json"), "");
    const std::string request = proxy.ReadFile("request-1.json");
    EXPECT_EQ(sent, !request.empty()) << http.LastError();
    if (sent)
        EXPECT_TRUE(Has(request, "\"proxy_credentials_in_tunnel\": false")) << request;
    else
        EXPECT_NE(http.LastError(), 0u);
    EXPECT_TRUE(lookups.urls.empty());
}

TEST_F(WinHttpProxy, WrongOrMissingProxyAccountEndsAfterOneResendAtMost)
{
    const TMailTestServer proxy(kScript, "--proxy-auth px:pw");
    ASSERT_EQ(proxy.Failure(), "");
    THttpServer server = BehindProxy(proxy);
    server.proxy.password = u"wrong";
    std::string response;
    TWinHttp wrong(server);
    EXPECT_FALSE(wrong.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(wrong.LastStatus(), 407u);
    EXPECT_NE(proxy.ReadFile("request-2.json"), "");
    EXPECT_EQ(proxy.ReadFile("request-3.json"), "");
    server.proxy.account.clear();
    TWinHttp anonymous(server);
    EXPECT_FALSE(anonymous.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(anonymous.LastStatus(), 407u);
    EXPECT_NE(proxy.ReadFile("request-3.json"), "");
    EXPECT_EQ(proxy.ReadFile("request-4.json"), "");
}

TEST_F(WinHttpProxy, HostsOfTheBypassListAreReachedDirectly)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    // Nothing listens on port 1 of the loopback: a request through this proxy would fail.
    server.proxy.list = u"127.0.0.1:1";
    server.proxy.bypass = u"127.0.0.1";
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response)) << http.LastError();
    EXPECT_TRUE(Has(running.ReadFile("request-1.json"), "\"path\": \"/upload/form.php\""));
}

TEST_F(WinHttpProxy, UnreachableConfiguredProxyIsNotReplacedByAFoundOne)
{
    TProxyLookups lookups;
    THttpServer server;
    server.server = kUnresolvable;
    server.quiet = true;
    server.proxy.list = u"127.0.0.1:1";
    server.findProxy = lookups.Finder(L"127.0.0.1:2");
    TWinHttp http(server);
    std::string response;
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_TRUE(lookups.urls.empty());
}

TEST_F(WinHttpProxy, ProxyIsLookedForOnceWhenTheServerCannotBeReached)
{
    const TMailTestServer proxy(kScript, "");
    ASSERT_EQ(proxy.Failure(), "");
    THttpServer server;
    server.server = "http://127.0.0.1/upload/form.php";
    server.port = 1;
    server.quiet = true;
    TProxyLookups found;
    server.findProxy = found.Finder(Loopback(proxy.Port()));
    std::string response;
    TWinHttp viaFound(server);
    EXPECT_TRUE(viaFound.UploadForm(u"", Fields(), {}, false, response)) << viaFound.LastError();
    EXPECT_EQ(found.urls, std::vector<std::string>{"http://127.0.0.1/upload/form.php"});
    EXPECT_TRUE(Has(proxy.ReadFile("request-1.json"), "\"MailFrom\": \"app@y.org\""));

    TProxyLookups none;
    server.findProxy = none.Finder(L"");
    TWinHttp direct(server);
    EXPECT_FALSE(direct.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_FALSE(direct.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(none.urls.size(), 1u);
    EXPECT_EQ(direct.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
}

TEST_F(WinHttpProxy, RefusedCertificateIsNoReasonToLookForAProxy)
{
    const TMailTestServer running(kScript, "--tls");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.server = "https://localhost/upload";
    server.ssl = true;
    TProxyLookups lookups;
    server.findProxy = lookups.Finder(L"127.0.0.1:1");
    TWinHttp http(server);
    std::string response;
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response));
    // Which TLS error is reported differs between WinHTTPs; none of them is a connect failure.
    EXPECT_NE(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_TRUE(lookups.urls.empty());
}

TEST_F(WinHttpUpload, DroppedConnectionsAreResentTwiceAtMost)
{
    const TMailTestServer dropping(kScript, "--drop");
    ASSERT_EQ(dropping.Failure(), "");
    TWinHttp http(Server(dropping));
    std::string response;
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {{WriteFile("a.bin", "abc"), u"a.bin", u"file1"}}, false, response));
    static_assert(TWinHttp::kMaxConnectionResends == 2);
    EXPECT_NE(dropping.ReadFile("request-3.json"), "");
    EXPECT_EQ(dropping.ReadFile("request-4.json"), "");
    // The cap holds for each exchange.
    EXPECT_FALSE(http.Request(L"GET", "/api.xml", {}, "", response));
    EXPECT_NE(dropping.ReadFile("request-6.json"), "");
    EXPECT_EQ(dropping.ReadFile("request-7.json"), "");
}

TEST_F(WinHttpUpload, RequestSendsItsHeadersAndBodyToThePath)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"s3cret";
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.Request(L"POST", "/bugs/xmlrpc.cgi", {"Content-Type: text/xml"}, "<methodCall/>", response));
    EXPECT_EQ(response, "Report received");
    const std::string posted = running.ReadFile("request-2.json");
    EXPECT_TRUE(Has(posted, "\"path\": \"/bugs/xmlrpc.cgi\"")) << posted;
    EXPECT_TRUE(Has(posted, "\"method\": \"POST\", \"content_type\": \"text/xml\", \"body\": \"<methodCall/>\""))
        << posted;
    // The scheme found by the first exchange goes with the next at once.
    EXPECT_TRUE(http.Request(L"GET", "/api.xml?cmd=logon&email=a%40b", {}, "", response));
    const std::string got = running.ReadFile("request-3.json");
    EXPECT_TRUE(Has(got, "\"path\": \"/api.xml?cmd=logon&email=a%40b\"")) << got;
    EXPECT_TRUE(Has(got, "\"authorized\": true, \"method\": \"GET\"")) << got;
    EXPECT_EQ(running.ReadFile("request-4.json"), "");
}

} // namespace
