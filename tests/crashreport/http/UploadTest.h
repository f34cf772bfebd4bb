#pragma once
// What the upload route's tests share: the local server (http_server.py), the route's settings
// for it, the form fields and files written to a folder of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "MailTestServer.h"
#include "http/WinHttp.h"

constexpr char kScript[] = "../http/http_server.py";

inline std::string Hex(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

class WinHttpUpload : public testing::Test {
protected:
    void SetUp() override
    {
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        folder_ = std::string(folder) + "http-upload-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
    }

    UnicodeString WriteFile(const std::string& name, const std::string& content)
    {
        std::ofstream(folder_ + name, std::ios::binary) << content;
        const std::string path = folder_ + name;
        return UnicodeString(path.begin(), path.end());
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
