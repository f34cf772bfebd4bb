#include "delivery/win/SendBugReportEx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>

#include "DeliveryTestSettings.h"
#include "MailTestServer.h"
#include "TestFiles.h"
#include "engine/win/LibraryFolders.h"
#include "http/HttpProcessValues.h"
#include "mail/MailProcessValues.h"
#include "model/win/ExceptionHooks.h"
#include "settings/AttachmentsList.h"

namespace {

constexpr char kHttpScript[] = "../http/http_server.py";
constexpr wchar_t kMailtoKey[] = L"mailto\\shell\\open\\command";

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Line(const std::string& name, const std::string& value)
{
    return name + std::string(18 - name.size(), ' ') + ": " + value + "\r\n";
}

const std::string kReport = Line("date/time", "2026-12-09") + Line("executable", "app.exe") +
                            Line("version", "1.0") + Line("callstack crc", "$11111111, $22222222, $33333333") +
                            Line("exception class", "EAccessViolation") + Line("exception message", "Bad read") +
                            "\r\nerror details:\r\nclicked twice";

// Where a built stand-in lies, as a Windows path.
std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

class TTestTarget : public IDeliveryTarget {
public:
    IZESettings& Settings() override { return settings; }
    bool ReportSaved() override { return saved; }
    void MarkSent() override { ++sent; }

    TDeliveryTestSettings settings;
    bool saved = false;
    std::atomic<int> sent{0};
};

// The routes against local peers: an HTTP upload server, a mail server, the MAPI stand-in and
// the mailto stand-in. The bug-report file holds an older report before each send.
class SendRoutes : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = OwnTempFolder("send-test");
        bugRepFile_ = folder_ + "bugreport.txt";
        std::ofstream(bugRepFile_, std::ios::binary) << kOlderReport;
        target_ = std::make_shared<TTestTarget>();
        TDeliveryTestSettings& settings = target_->settings;
        settings.texts["BugRepFile"] = Utf16(bugRepFile_);
        settings.texts["BugRepSendAs"] = u"bugreport.zbr";
        settings.texts["MailAddr"] = u"Support <bugs@example.org>";
        settings.texts["MailSubj"] = u"%exceptClass%: %exceptMsg%";
        settings.texts["MailBody"] = u"details: %errorDetails%";
        settings.texts["SendFailMsg"] = u"Sending failed";
        settings.ints["AttachBugRep"] = 1;
        settings.ints["AttachBugRepFile"] = 1;
        settings.ints["DelBugRepFile"] = 1;
        settings.ints["AppendBugReps"] = 1;
        DeliveryEnvironment().showFailure = [this](HWND, const UnicodeString& text) { failures_.push_back(text); };
        DeliveryEnvironment().mapiLibrary = Wide(WindowsPath(MAPI_STANDIN_PATH));
        mapiRecord_ = folder_ + "mapi.txt";
        SetEnvironmentVariableA("MAPI_STANDIN_RECORD", mapiRecord_.c_str());
        SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "2"); // a failure
    }

    void TearDown() override
    {
        if (mailtoKey_) {
            RegDeleteValueW(mailtoKey_, nullptr);
            RegCloseKey(mailtoKey_);
        }
        for (const char* name : {"bugreport.txt", "mapi.txt", "mailto.txt", "extra.log"})
            DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    void UseHttp(const TMailTestServer& server, const char* path = "/upload/form.php")
    {
        target_->settings.ints["UploadViaHttp"] = 1;
        target_->settings.texts["HttpServer"] = Utf16(std::string("http://127.0.0.1") + path);
        target_->settings.ints["HttpPort"] = server.Port();
    }

    void UseSmtp(const TMailTestServer& server)
    {
        target_->settings.ints["MailAsSmtpClient"] = 1;
        target_->settings.texts["SmtpServer"] = u"127.0.0.1";
        target_->settings.ints["SmtpPort"] = server.Port();
    }

    void RegisterMailto()
    {
        const std::wstring command = L"\"" + Wide(WindowsPath(MAILTO_STANDIN_PATH)) + L"\" \"" +
                                     Wide(folder_) + L"mailto.txt\" \"%1\"";
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kMailtoKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &mailtoKey_,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(mailtoKey_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    std::string MailtoLine() const
    {
        for (int wait = 0; wait < 200 && !Exists(folder_ + "mailto.txt"); ++wait)
            Sleep(25);
        return Read(folder_ + "mailto.txt");
    }

    bool Send(bool automatic, HANDLE* thread = nullptr, bool background = false)
    {
        TSendRequest request;
        request.report = Utf16(kReport);
        request.screenShot = screenShot_;
        request.automatic = automatic;
        request.background = background;
        request.target = target_;
        return SendBugReportEx(request, thread);
    }

    // What the upload carried as the bug report: the older reports and this one.
    static std::string ReportFileWithNewReport() { return kOlderReport + "\r\n\r\n" + kReport; }

    static inline const std::string kOlderReport = "\r\n\r\n" + Line("date/time", "2026-12-01") + "older";

    std::string folder_;
    std::string bugRepFile_;
    std::string mapiRecord_;
    std::shared_ptr<TTestTarget> target_;
    TIntfPtr<INVBitmap> screenShot_;
    std::vector<UnicodeString> failures_;
    HKEY mailtoKey_ = nullptr;
};

TEST_F(SendRoutes, EmptyReportSendsNothing)
{
    TMailTestServer mail("smtp_server.py", "");
    ASSERT_EQ(mail.Failure(), "");
    UseSmtp(mail);
    HANDLE thread = INVALID_HANDLE_VALUE;
    TSendRequest request;
    request.target = target_;
    request.background = true;
    EXPECT_FALSE(SendBugReportEx(request, &thread));
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(target_->sent, 0);
    EXPECT_EQ(mail.ReadFile("mail-1.json"), "");
    EXPECT_EQ(Read(bugRepFile_), kOlderReport);
}

TEST_F(SendRoutes, UploadComesFirstAndTheCarriedFileIsDeleted)
{
    TMailTestServer http(kHttpScript, "");
    TMailTestServer mail("smtp_server.py", "");
    ASSERT_EQ(http.Failure(), "");
    ASSERT_EQ(mail.Failure(), "");
    UseHttp(http);
    UseSmtp(mail);
    target_->settings.texts["AddFields"] = u"Product=Tester|MailSubject=replaced";
    target_->settings.texts["ScrShotSendAs"] = u"screen.png";
    screenShot_ = CreateNVBitmap(4, 3);
    ASSERT_TRUE(screenShot_);
    EXPECT_TRUE(Send(true));
    const std::string request = http.ReadFile("request-1.json");
    EXPECT_NE(request.find("\"field\": \"ScreenShot\", \"filename\": \"screen.png\", \"data\": \"89504e47"),
              std::string::npos)
        << request;
    EXPECT_NE(request.find("\"MailFrom\": \"zelExcept <bugs@example.org>\""), std::string::npos) << request;
    EXPECT_NE(request.find("\"MailSubject\": \"EAccessViolation: Bad read\""), std::string::npos) << request;
    EXPECT_NE(request.find("\"MailBody\": \"details: \\r\\nclicked twice\""), std::string::npos) << request;
    EXPECT_NE(request.find("\"Product\": \"Tester\""), std::string::npos) << request;
    EXPECT_NE(request.find("\"field\": \"BugReport\", \"filename\": \"bugreport.zbr\", \"data\": \"" +
                           Hex(ReportFileWithNewReport()) + "\""),
              std::string::npos)
        << request;
    EXPECT_EQ(mail.ReadFile("mail-1.json"), "") << "nothing after a delivery";
    EXPECT_EQ(target_->sent, 1);
    EXPECT_FALSE(Exists(bugRepFile_)) << "the upload carried the file";
    const std::string copy = [] {
        const UnicodeString folder = GetLibraryTempFolder();
        return std::string(folder.begin(), folder.end()) + "bugreport.txt";
    }();
    EXPECT_FALSE(Exists(copy)) << "the temporary copy goes after sending";
}

TEST_F(SendRoutes, UploadAttemptsAreCappedAndTheMailRouteTakesOver)
{
    for (const char* options : {"--auth user:right", "--drop"}) {
        SCOPED_TRACE(options);
        std::ofstream(bugRepFile_, std::ios::binary) << kOlderReport;
        TMailTestServer http(kHttpScript, options);
        TMailTestServer mail("smtp_server.py", "");
        ASSERT_EQ(http.Failure(), "");
        ASSERT_EQ(mail.Failure(), "");
        UseHttp(http);
        UseSmtp(mail);
        target_->settings.texts["HttpAccount"] = u"user";
        target_->settings.texts["HttpPassword"] = u"wrong";
        const DWORD start = GetTickCount();
        EXPECT_TRUE(Send(true));
        EXPECT_LT(GetTickCount() - start, 20000u);
        EXPECT_NE(http.ReadFile("request-1.json"), "");
        EXPECT_EQ(http.ReadFile("request-4.json"), "") << "a resend that never ends";
        const std::string sent = mail.ReadFile("mail-1.json");
        EXPECT_NE(sent.find("\"subject\": \"EAccessViolation: Bad read\""), std::string::npos) << sent;
        EXPECT_NE(sent.find("\"filename\": \"bugreport.zbr\""), std::string::npos) << sent;
        EXPECT_NE(sent.find(Hex(ReportFileWithNewReport())), std::string::npos) << sent;
        EXPECT_FALSE(Exists(bugRepFile_)) << "the mail carried the file";
    }
    EXPECT_EQ(target_->sent, 2);
}

// Sets the process-wide values for one test and puts the defaults back.
class ProcessValuesForTest {
public:
    ProcessValuesForTest(const THttpProcessValues& http, const TMailProcessValues& mail)
    {
        SetHttpProcessValues(http);
        SetMailProcessValues(mail);
    }
    ~ProcessValuesForTest()
    {
        SetHttpProcessValues({});
        SetMailProcessValues({});
    }
    ProcessValuesForTest(const ProcessValuesForTest&) = delete;
    ProcessValuesForTest& operator=(const ProcessValuesForTest&) = delete;
};

TEST_F(SendRoutes, UploadGoesThroughTheProcessWideProxyWithItsAccount)
{
    const TMailTestServer proxy(kHttpScript, "--proxy-auth px:pw");
    ASSERT_EQ(proxy.Failure(), "");
    THttpProcessValues http;
    http.proxy = {Utf16("127.0.0.1:" + std::to_string(proxy.Port())), u"", u"px", u"pw"};
    const ProcessValuesForTest values(http, {});
    target_->settings.ints["UploadViaHttp"] = 1;
    // A host no name service knows: only the proxy can reach it.
    target_->settings.texts["HttpServer"] = u"http://reports.invalid/upload/form.php";
    EXPECT_TRUE(Send(true));
    const std::string challenged = proxy.ReadFile("request-1.json");
    EXPECT_NE(challenged.find("\"path\": \"http://reports.invalid:80/upload/form.php\""), std::string::npos)
        << challenged;
    EXPECT_NE(challenged.find("\"proxy_authorized\": false"), std::string::npos) << challenged;
    const std::string taken = proxy.ReadFile("request-2.json");
    EXPECT_NE(taken.find("\"proxy_authorized\": true"), std::string::npos) << taken;
    EXPECT_NE(taken.find("\"filename\": \"bugreport.zbr\""), std::string::npos) << taken;
    EXPECT_EQ(target_->sent, 1);
}

TEST_F(SendRoutes, MailTakesTheProcessWideHeloNameAndUtf8Switch)
{
    const TMailTestServer mail("smtp_server.py", "");
    ASSERT_EQ(mail.Failure(), "");
    UseSmtp(mail);
    const ProcessValuesForTest values({}, {2000, "reporter.test", true});
    EXPECT_TRUE(Send(true));
    const std::string sent = mail.ReadFile("mail-1.json");
    EXPECT_NE(sent.find("\"helo\": \"reporter.test\""), std::string::npos) << sent;
    // Plain ASCII that would otherwise go as ISO-8859-1.
    EXPECT_NE(sent.find("\"raw_subject\": \"=?UTF-8?B?"), std::string::npos) << sent;
    EXPECT_NE(sent.find("\"subject\": \"EAccessViolation: Bad read\""), std::string::npos) << sent;
}

TEST_F(SendRoutes, TrackerComesFirstAndAFaultFallsThroughToMail)
{
    TDeliveryTestSettings& settings = target_->settings;
    settings.ints["BugZilla"] = 1;
    settings.texts["BugTrAccount"] = u"reporter";
    settings.texts["BugTrPassword"] = u"s3cret";
    settings.texts["BugTrProject"] = u"Conduvex";
    settings.texts["BugTrTitle"] = u"%exceptClass% in app";
    settings.texts["BugTrDescr"] = u"%errorDetails%";
    for (const char* options : {"--kind bugzilla", "--kind bugzilla --fail Bug.create"}) {
        SCOPED_TRACE(options);
        std::ofstream(bugRepFile_, std::ios::binary) << kOlderReport;
        TMailTestServer tracker("../trackers/win/tracker_server.py", options);
        TMailTestServer mail("smtp_server.py", "");
        ASSERT_EQ(tracker.Failure(), "");
        ASSERT_EQ(mail.Failure(), "");
        UseHttp(tracker, "/bugs/"); // the tracker's path without its trailing "/"
        settings.ints["UploadViaHttp"] = 0;
        UseSmtp(mail);
        EXPECT_TRUE(Send(true));
        const bool failing = std::string(options).find("--fail") != std::string::npos;
        const std::string attached = tracker.ReadFile("attachment-1.json");
        const std::string mailed = mail.ReadFile("mail-1.json");
        if (failing) {
            EXPECT_NE(tracker.ReadFile("calls.json").find("Bug.create"), std::string::npos);
            EXPECT_EQ(attached, "");
            EXPECT_NE(mailed.find(Hex(ReportFileWithNewReport())), std::string::npos) << mailed;
        } else {
            const std::string filed = tracker.ReadFile("case.json");
            EXPECT_NE(filed.find("\"summary\": \"EAccessViolation in app\""), std::string::npos) << filed;
            EXPECT_NE(filed.find("\"alias\": \"$11111111$22222222$33333333\""), std::string::npos) << filed;
            EXPECT_NE(attached.find("\"file_name\": \"bugreport.zbr\""), std::string::npos) << attached;
            EXPECT_NE(attached.find(Hex(ReportFileWithNewReport())), std::string::npos) << attached;
            EXPECT_EQ(mailed, "");
        }
        EXPECT_FALSE(Exists(bugRepFile_));
    }
    EXPECT_EQ(target_->sent, 2);
}

TEST_F(SendRoutes, MailClientsDeliverButTheFileStays)
{
    TDeliveryTestSettings& settings = target_->settings;
    settings.ints["MailViaMapi"] = 1;
    settings.ints["MailViaMailto"] = 1;
    RegisterMailto();

    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "0");
    EXPECT_TRUE(Send(true));
    const std::string handed = Read(mapiRecord_);
    EXPECT_NE(handed.find("subject=EAccessViolation: Bad read"), std::string::npos) << handed;
    EXPECT_NE(handed.find("|bugreport.zbr\n"), std::string::npos) << handed;
    EXPECT_EQ(target_->sent, 1);
    EXPECT_TRUE(Exists(bugRepFile_)) << "a mail program may drop attachments";
    EXPECT_FALSE(Exists(folder_ + "mailto.txt"));

    // MAPI fails: mailto only for the user's sends.
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "2");
    EXPECT_FALSE(Send(true));
    EXPECT_FALSE(Exists(folder_ + "mailto.txt"));
    EXPECT_EQ(target_->sent, 1);
    EXPECT_TRUE(failures_.empty()) << "no message for an automatic send";

    EXPECT_TRUE(Send(false));
    const std::string line = MailtoLine();
    EXPECT_NE(line.find("mailto:Support%20%3Cbugs@example.org%3E?subject=EAccessViolation%3A%20Bad%20read"),
              std::string::npos)
        << line;
    EXPECT_EQ(target_->sent, 2);
    EXPECT_TRUE(Exists(bugRepFile_)) << "mailto carries no file";
    EXPECT_TRUE(failures_.empty());
}

TEST_F(SendRoutes, CancelledMailEndsWithoutMessageAndFailureIsToldOnce)
{
    TDeliveryTestSettings& settings = target_->settings;
    settings.ints["MailViaMapi"] = 1;
    settings.ints["MailViaMailto"] = 1;
    RegisterMailto();
    SetEnvironmentVariableA("MAPI_STANDIN_RESULT", "1"); // the user cancelled
    EXPECT_FALSE(Send(false));
    EXPECT_FALSE(Exists(folder_ + "mailto.txt"));
    EXPECT_TRUE(failures_.empty());

    settings.ints["MailViaMapi"] = 0;
    settings.ints["MailViaMailto"] = 0;
    EXPECT_FALSE(Send(false));
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_EQ(failures_[0], u"Sending failed");
    EXPECT_EQ(target_->sent, 0);
    EXPECT_EQ(Read(bugRepFile_), kOlderReport);
}

TEST_F(SendRoutes, SavedReportIsNotAttachedTwiceAndZipsCollectTheirEntries)
{
    TMailTestServer http(kHttpScript, "");
    ASSERT_EQ(http.Failure(), "");
    UseHttp(http);
    TDeliveryTestSettings& settings = target_->settings;
    settings.ints["DelBugRepFile"] = 0;
    target_->saved = true;
    EXPECT_TRUE(Send(true));
    const std::string first = http.ReadFile("request-1.json");
    EXPECT_NE(first.find("\"filename\": \"bugreport.zbr\", \"data\": \"" + Hex(kOlderReport) + "\""),
              std::string::npos)
        << first;
    EXPECT_EQ(Read(bugRepFile_), kOlderReport) << "kept: DelBugRepFile is off";

    std::ofstream(folder_ + "extra.log", std::ios::binary) << "extra lines";
    settings.texts["BugRepZip"] = u"report.zip";
    settings.Attachments()->Add(Utf16(folder_ + "extra.log"), u"extra.log", u"Extra", u"REPORT.ZIP");
    settings.Attachments()->Add(Utf16(folder_ + "missing.txt"), u"missing.txt", u"Missing", u"");
    EXPECT_TRUE(Send(true));
    const std::string second = http.ReadFile("request-2.json");
    EXPECT_NE(second.find("\"field\": \"report.zip\", \"filename\": \"report.zip\""), std::string::npos) << second;
    EXPECT_EQ(second.find("Missing"), std::string::npos) << second;
    EXPECT_NE(second.find(Hex("bugreport.zbr")), std::string::npos) << "member name";
    EXPECT_NE(second.find(Hex("extra.log")), std::string::npos) << "member name";
    EXPECT_EQ(second.find("\"filename\": \"extra.log\""), std::string::npos) << "only inside the archive";
}

TEST_F(SendRoutes, BackgroundSendRunsOnItsThreadUnlessTheLoaderLockIsHeld)
{
    TMailTestServer mail("smtp_server.py", "");
    ASSERT_EQ(mail.Failure(), "");
    UseSmtp(mail);
    HANDLE thread = nullptr;
    EXPECT_TRUE(Send(true, &thread, true));
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_NE(mail.ReadFile("mail-1.json"), "");
    EXPECT_EQ(target_->sent, 1);
    EXPECT_FALSE(Exists(bugRepFile_));

    // No thread is started while the loader lock is held: the send happens at once.
    ExceptionHooks().isLoaderLocked = [](int) { return true; };
    EXPECT_TRUE(Send(true, &thread, true));
    ExceptionHooks().isLoaderLocked = nullptr;
    EXPECT_EQ(thread, nullptr);
    EXPECT_NE(mail.ReadFile("mail-2.json"), "");
    EXPECT_EQ(target_->sent, 2);
}

} // namespace
