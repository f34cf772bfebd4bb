#include "http/WinHttp.h"

#include <gtest/gtest.h>

#include <string>

#include "RecordingAlert.h"
#include "UploadTest.h"

namespace {

// A value or a file holding the boundary line forges no part; names with quotes and
// backslashes are read back as they were sent.
TEST_F(WinHttpUpload, FieldsAndFilesArriveWithTheAnnouncedLength)
{
    const TMailTestServer running(kScript, "");
    ASSERT_EQ(running.Failure(), "");
    const std::string forged =
        "\r\n--" + std::string(kMultipartBoundary) + "\r\nContent-Disposition: form-data; name=\"forged\"\r\n\r\nx";
    const std::string forgedJson = "\\r\\n--" + std::string(kMultipartBoundary) +
                                   "\\r\\nContent-Disposition: form-data; name=\\\"forged\\\"\\r\\n\\r\\nx";
    struct TForgery {
        bool inValue;
        bool inFile;
    };
    int number = 0;
    for (const TForgery forgery : {TForgery{true, false}, TForgery{false, true}}) {
        std::string binary;
        for (int i = 0; i < 5000; ++i)
            binary += static_cast<char>(i * 7);
        binary += forgery.inFile ? forged : "";
        const std::string value = forgery.inValue ? "a" + forged : "a";
        std::vector<TFormField> fields = Fields();
        fields.push_back({u"Note \"1\" \\", UnicodeString(value.begin(), value.end())});
        TWinHttp http(Server(running));
        std::string response;
        const bool sent = http.UploadForm(u"Reporter <app@y.org>", fields,
                                          {{WriteFile("data.bin", binary), u"data \"1\" \\.bin", u"file1"},
                                           {u"C:\\no\\such.bin", u"gone.bin", u"file2"},
                                           {WriteFile("empty.txt", ""), u"\u0416.txt", u"file3"}},
                                          false, response);
        EXPECT_TRUE(sent) << http.LastError() << " " << http.LastStatus();
        EXPECT_EQ(response, "Report received");
        const std::string request = running.ReadFile("request-" + std::to_string(++number) + ".json");
        EXPECT_NE(request.find("\"path\": \"/upload/form.php\""), std::string::npos) << request;
        const size_t length = request.find("\"length\": ");
        const size_t received = request.find("\"received\": ");
        ASSERT_NE(length, std::string::npos) << request;
        EXPECT_EQ(request.substr(length + 10, request.find(',', length) - length - 10),
                  request.substr(received + 12, request.find(',', received) - received - 12));
        EXPECT_NE(request.find("\"from\": \"Reporter <app@y.org>\""), std::string::npos) << request;
        const std::string parts =
            "\"fields\": {\"MailFrom\": \"app@y.org\", \"MailSubject\": \"Crash in Grüße\", "
            "\"MailBody\": \"€\\r\\n.\", \"Note \\\"1\\\" \\\\\": \"a" +
            std::string(forgery.inValue ? forgedJson : "") +
            "\"}, \"files\": [{\"field\": \"file1\", \"filename\": \"data \\\"1\\\" \\\\.bin\", \"data\": \"" +
            Hex(binary) + "\"}, {\"field\": \"file3\", \"filename\": \"Ж.txt\", \"data\": \"\"}]}";
        EXPECT_NE(request.find(parts), std::string::npos) << request.substr(0, 400);
    }
}

TEST_F(WinHttpUpload, OneResendWithTheAccountAfter401)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"s3cret";
    TWinHttp http(server);
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_NE(running.ReadFile("request-1.json").find("\"authorized\": false"), std::string::npos);
    EXPECT_NE(running.ReadFile("request-2.json").find("\"authorized\": true"), std::string::npos);
    EXPECT_EQ(running.ReadFile("request-3.json"), "");
}

TEST_F(WinHttpUpload, ProgressStartsOverWithTheResend)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"s3cret";
    const TIntfPtr<TRecordingAlert> alert = MakeObject<TRecordingAlert>();
    {
        TWinHttp http(server, alert.Get(), {u"Prep", u"Conn", u"Att", u"Final"});
        std::string response;
        EXPECT_TRUE(http.UploadForm(u"", Fields(), {{WriteFile("a.bin", std::string(4096, 'a')), u"a.bin", u"file1"}},
                                    false, response));
        EXPECT_FALSE(alert->closed);
    }
    EXPECT_EQ(alert->areas, (std::vector<std::string>{"Prep 500", "Conn 5000", "Att 256", "Final 1000"}));
    EXPECT_EQ(alert->visited, (std::vector<int32_t>{1, 1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(alert->positions, (std::vector<int32_t>{0, 500, 1000, 0, 500, 1000}));
    EXPECT_TRUE(alert->closed);
}

TEST_F(WinHttpUpload, WrongOrMissingAccountEndsAfterOneResendAtMost)
{
    const TMailTestServer running(kScript, "--auth reporter:s3cret");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.account = u"reporter";
    server.password = u"wrong";
    std::string response;
    EXPECT_FALSE(TWinHttp(server).UploadForm(u"", Fields(), {}, false, response));
    EXPECT_NE(running.ReadFile("request-2.json"), "");
    EXPECT_EQ(running.ReadFile("request-3.json"), "");
    server.account.clear();
    TWinHttp anonymous(server);
    EXPECT_FALSE(anonymous.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(anonymous.LastStatus(), 401u);
    EXPECT_EQ(running.ReadFile("request-4.json"), "");
}

TEST_F(WinHttpUpload, RedirectCountsAsSuccess)
{
    const TMailTestServer running(kScript, "--redirect");
    ASSERT_EQ(running.Failure(), "");
    TWinHttp http(Server(running));
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(http.LastStatus(), 302u);
    // Redirects are not followed: the one request is all the server saw.
    EXPECT_EQ(running.ReadFile("request-2.json"), "");
}

TEST_F(WinHttpUpload, AnswerThatDoesNotEndIsCutOff)
{
    const TMailTestServer running(kScript, "--endless");
    ASSERT_EQ(running.Failure(), "");
    TWinHttp http(Server(running));
    std::string response;
    EXPECT_TRUE(http.UploadForm(u"", Fields(), {}, false, response)) << http.LastError();
    EXPECT_EQ(response.size(), TWinHttp::kMaxAnswerBytes);
    EXPECT_EQ(response.find_first_not_of('x'), std::string::npos);
}

TEST_F(WinHttpUpload, HttpsCertificatesAreCheckedUnlessAllowed)
{
    const TMailTestServer running(kScript, "--tls");
    ASSERT_EQ(running.Failure(), "");
    THttpServer server = Server(running);
    server.server = "https://localhost/upload";
    server.ssl = true;
    std::string response;
    TWinHttp checking(server);
    EXPECT_FALSE(checking.UploadForm(u"", Fields(), {}, false, response));
    EXPECT_EQ(running.ReadFile("request-1.json"), "");
    server.acceptAnyCertificate = true;
    TWinHttp trusting(server);
    EXPECT_TRUE(trusting.UploadForm(u"", Fields(), {}, false, response)) << trusting.LastError();
    EXPECT_NE(running.ReadFile("request-1.json").find("\"path\": \"/upload\""), std::string::npos);
}

} // namespace
