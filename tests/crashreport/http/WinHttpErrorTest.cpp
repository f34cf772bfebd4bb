// What a failed upload leaves as its error code and text, in the object and process-wide.
#include <gtest/gtest.h>

#include <string>

#include "UploadTest.h"
#include "http/WinHttpErrorText.h"
#include "win32/SysErrorMessage.h"

namespace {

bool IsSystemFallback(const AnsiString& text) { return text.rfind("System error", 0) == 0; }

TEST(WinHttpErrorText, WinHttpCodesHaveTheirOwnTextsOthersTheSystems)
{
    for (const uint32_t code : {ERROR_WINHTTP_CANNOT_CONNECT, ERROR_WINHTTP_TIMEOUT, ERROR_WINHTTP_NAME_NOT_RESOLVED}) {
        const AnsiString text = WinHttpErrorText(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_FALSE(IsSystemFallback(text)) << code << ": " << text;
        EXPECT_EQ(text.find_first_of("\r\n"), AnsiString::npos) << code;
    }
    EXPECT_EQ(WinHttpErrorText(ERROR_MOD_NOT_FOUND), SysErrorMessageA(ERROR_MOD_NOT_FOUND));
}

TEST_F(WinHttpUpload, RefusedConnectionLeavesWinHttpsCodeAndText)
{
    THttpServer server;
    server.server = "http://127.0.0.1/upload";
    // Nothing listens on port 1 of the loopback; no proxy is looked for.
    server.port = 1;
    server.quiet = true;
    server.findProxy = [](HINTERNET, const std::wstring&) { return std::optional<THttpProxyList>(); };
    TWinHttp http(server);
    std::string response;
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_EQ(http.LastErrorText(), WinHttpErrorText(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_EQ(LastHttpErrorCode(), static_cast<uint32_t>(ERROR_WINHTTP_CANNOT_CONNECT));
}

TEST_F(WinHttpUpload, AnswerThatIsNoSuccessLeavesItsStatusLine)
{
    struct TAnswer {
        const char* options;
        uint32_t status;
        const char* text;
    };
    for (const TAnswer& answer : {TAnswer{"--status 404", 404, "404 Not Found"},
                                  TAnswer{"--status 500", 500, "500 Internal Server Error"},
                                  TAnswer{"--auth reporter:s3cret", 401, "401 Unauthorized"},
                                  TAnswer{"--proxy-auth px:pw", 407, "407 Proxy Authentication Required"}}) {
        const TMailTestServer running(kScript, answer.options);
        ASSERT_EQ(running.Failure(), "") << answer.options;
        THttpServer server = Server(running);
        // Credentials the server does not take: the one resend they allow is answered alike.
        server.account = u"reporter";
        server.password = u"wrong";
        if (answer.status == 407) {
            const std::string proxy = "127.0.0.1:" + std::to_string(running.Port());
            server.proxy.list = UnicodeString(proxy.begin(), proxy.end());
            server.proxy.account = u"px";
            server.proxy.password = u"wrong";
        }
        TWinHttp http(server);
        std::string response;
        EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response)) << answer.options;
        EXPECT_EQ(http.LastError(), answer.status) << answer.options;
        EXPECT_EQ(http.LastErrorText(), answer.text) << answer.options;
        EXPECT_EQ(LastHttpErrorCode(), answer.status) << answer.options;
    }
}

TEST_F(WinHttpUpload, DroppedConnectionLeavesWinHttpsCode)
{
    const TMailTestServer dropping(kScript, "--drop");
    ASSERT_EQ(dropping.Failure(), "");
    TWinHttp http(Server(dropping));
    std::string response;
    EXPECT_FALSE(http.Request(L"GET", "/api.xml", {}, "", response));
    // Which of these a closed connection gives differs between WinHTTPs.
    const uint32_t code = http.LastError();
    EXPECT_TRUE(code == ERROR_WINHTTP_CONNECTION_ERROR || code == ERROR_WINHTTP_INVALID_SERVER_RESPONSE ||
                code == ERROR_WINHTTP_RESEND_REQUEST)
        << code;
    EXPECT_EQ(http.LastErrorText(), WinHttpErrorText(code));
    EXPECT_EQ(LastHttpErrorCode(), code);
}

TEST_F(WinHttpUpload, RefusedCertificateLeavesASecurityCode)
{
    const TMailTestServer running(kScript, "--tls");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.server = "https://localhost/upload";
    server.ssl = true;
    TWinHttp http(server);
    std::string response;
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_GE(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_SECURE_CHANNEL_ERROR)) << http.LastError();
    EXPECT_LE(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_SECURE_FAILURE)) << http.LastError();
    EXPECT_FALSE(http.LastErrorText().empty());
}

TEST_F(WinHttpUpload, LaterSuccessLeavesTheLastFailureInPlace)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    std::string response;
    TWinHttp anonymous(server);
    EXPECT_FALSE(anonymous.UploadForm(u"", Fields(), {}, false, response));
    server.account = u"reporter";
    server.password = u"s3cret";
    TWinHttp http(server);
    EXPECT_TRUE(http.Request(L"GET", "/api.xml", {}, "", response));
    EXPECT_EQ(http.LastStatus(), 200u);
    EXPECT_EQ(LastHttpErrorCode(), 401u);
}

TEST_F(WinHttpUpload, ServerThatNeverAnswersEndsTheUploadAfterTheTimeOut)
{
    const TMailTestServer running(kScript, "--silent");
    ASSERT_EQ(running.Failure(), "");
    TWinHttp http(Server(running));
    http.SetReceiveTimeout(600);
    std::string response;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(http.UploadForm(u"", Fields(), {}, false, response));
    const DWORD waited = GetTickCount() - start;
    EXPECT_EQ(http.LastError(), static_cast<uint32_t>(ERROR_WINHTTP_TIMEOUT));
    EXPECT_EQ(http.LastErrorText(), WinHttpErrorText(ERROR_WINHTTP_TIMEOUT));
    EXPECT_GE(waited, 500u);
    EXPECT_LT(waited, 5000u);
    // The request arrived whole; a time-out is no dropped connection, so it is not sent again.
    EXPECT_NE(running.ReadFile("request-1.json"), "");
    EXPECT_EQ(running.ReadFile("request-2.json"), "");
}

} // namespace
