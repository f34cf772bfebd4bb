#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The writer's standard output, read through a pipe.
std::string RunWriter(const char* mode)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "no pipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string command = std::string("presentation_writer.exe ") + mode;
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
            output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        output = "not started";
    }
    CloseHandle(readEnd);
    return output;
}

TEST(ConsolePresentationTest, ConsoleGetsTheMessageLineThenTheReportWithoutControlCharacters)
{
    EXPECT_EQ(RunWriter("console"),
              "Sorry!  Bad <b>pointer</b> ?[31mred\r\n"
              "\r\n"
              "exception class   : EAccessViolation\r\n"
              "exception message : </textarea><script>alert(\"x\")</script>\r\n"
              "user name         : J\xC3\xBCrgen \xF0\x9F\x98\x80 ?[2J & co\r\n"
              "\r\n");
    EXPECT_EQ(RunWriter("console-quiet"), "Sorry!  Bad <b>pointer</b> ?[31mred\r\n") << "no report without asking";
}

TEST(ConsolePresentationTest, WebServerGetsOneHtmlResponse)
{
    const std::string output = RunWriter("cgi");
    const std::string header = "Content-Type: text/html\r\n\r\n";
    ASSERT_EQ(output.substr(0, header.size()), header);
    EXPECT_EQ(output.find("Content-Type", 1), std::string::npos) << "exactly one response";
    EXPECT_EQ(output.find("<html>"), header.size());
    EXPECT_EQ(output.find("<html>", header.size() + 1), std::string::npos);
    EXPECT_NE(output.find("<title>Host &amp; &lt;Co&gt;</title>"), std::string::npos);
    EXPECT_NE(output.find("Sorry!<br>\r\n&lt;/textarea&gt;&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;</p>"),
              std::string::npos)
        << "the message as the report tells it";
    EXPECT_NE(output.find("visibility:hidden;\">"), std::string::npos);
    EXPECT_EQ(output.find("<script"), std::string::npos);
    EXPECT_TRUE(output.ends_with("</textarea></td></tr></table></body></html>"));
}

} // namespace
