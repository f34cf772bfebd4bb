#pragma once
// What the upload route's tests share: the local server (http_server.py), the route's settings
// for it, the form fields and files written to a folder of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "MailTestServer.h"
#include "TestFiles.h"
#include "http/WinHttp.h"

constexpr char kScript[] = "../http/http_server.py";

class WinHttpUpload : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = OwnTempFolder("http-upload-test");
    }

    UnicodeString WriteFile(const std::string& name, const std::string& content)
    {
        return WriteTestFile(folder_, name, content);
    }

    static THttpServer Server(const TMailTestServer& running)
    {
        THttpServer server;
        server.server = "http://127.0.0.1/upload/form.php";
        server.port = running.Port();
        server.quiet = true;
        return server;
    }

    static std::vector<TFormField> Fields()
    {
        return {{u"MailFrom", u"app@y.org"}, {u"MailSubject", u"Crash in Gr\u00FC\u00DFe"}, {u"MailBody", u"\u20AC\r\n."}};
    }

    std::string folder_;
};
