#include "trackers/win/TrackerUpload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "MailTestServer.h"
#include "RecordingAlert.h"
#include "TestFiles.h"

namespace {

constexpr char kScript[] = "../trackers/win/tracker_server.py";

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class TrackerUpload : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = OwnTempFolder("tracker-upload-test");
    }

    UnicodeString WriteFile(const std::string& name, const std::string& content)
    {
        return WriteTestFile(folder_, name, content);
    }

    std::vector<TUploadFile> Files()
    {
        std::string binary;
        for (int i = 0; i < 3000; ++i)
            binary += static_cast<char>(i * 13);
        binary_ = binary;
        return {{WriteFile("report.txt", "date/time: today\r\n"), u"bugreport.txt", u"BugReport"},
                {u"C:\\no\\such\\file.png", u"gone.png", u"ScreenShot"},
                {WriteFile("empty.zip", ""), u"empty.zip", u"Extra"},
                {WriteFile("shot.png", binary), u"screen\u00FC.png", u"ScreenShot"}};
    }

    static TTrackerCase Case()
    {
        TTrackerCase report;
        report.account = u"reporter";
        report.password = u"s3cret";
        report.title = u"Crash <in> \"Gr\u00FC\u00DFe\" & more";
        report.description = u"Access violation\r\nat 0x1000";
        report.area = u"crash handling";
        report.assignee = u"ann";
        report.version = u"2.0";
        report.operatingSystem = u"Windows 7 Professional build 7601";
        report.computerName = u"PC-7";
        report.callstackCrc = u"1234ABCD, 5678EF01, 9ABC2345";
        report.sender = u"zelExcept <crash@x.org>";
        report.fields = {{u"MailSubject", u"Crash"}};
        return report;
    }

    static bool Upload(TTrackerKind kind, const TMailTestServer& running, const std::string& server,
                       const TTrackerCase& report, const std::vector<TUploadFile>& files,
                       IProgressAlert* alert = nullptr)
    {
        THttpServer settings;
        settings.server = server;
        settings.port = running.Port();
        settings.quiet = true;
        // As on the delivery route, the client moves the alert while it streams the files.
        TWinHttp http(settings, alert);
        return UploadToTracker(kind, http, server, report, files, alert, {u"Prep", u"Conn", u"Att", u"Final"});
    }

    std::string folder_;
    std::string binary_;
};

TEST_F(TrackerUpload, XmlRpcBugGetsTheServersValuesAndTheNonEmptyFiles)
{
    const TMailTestServer running(kScript, "--kind bugzilla");
    ASSERT_EQ(running.Failure(), "");
    TTrackerCase report = Case();
    report.project = u"conduvex";
    const TIntfPtr<TRecordingAlert> alert = MakeObject<TRecordingAlert>();
    EXPECT_TRUE(Upload(TTrackerKind::BugZilla, running, "http://127.0.0.1/bugs/", report, Files(), alert.Get()));
    EXPECT_EQ(running.ReadFile("calls.json"),
              "[\"Bugzilla.version\", \"Product.get_enterable_products\", \"Product.get\", \"Bug.fields\", "
              "\"Bug.create\", \"Bug.add_attachment\", \"Bug.add_attachment\"]");
    const std::string created = running.ReadFile("case.json");
    for (const char* member :
         {"\"product\": \"Conduvex\"", "\"component\": \"Crash Handling\"", "\"version\": \"2.0\"",
          "\"summary\": \"Crash <in> \\\"Grüße\\\" & more\"", "\"description\": \"Access violation\\r\\nat 0x1000\"",
          "\"op_sys\": \"Other\"", "\"alias\": \"1234ABCD5678EF019ABC2345\"", "\"priority\": \"Highest\"",
          "\"severity\": \"normal\"", "\"platform\": \"PC\"", "\"assigned_to\": \"ann\""})
        EXPECT_TRUE(Holds(created, member)) << member << " in " << created;
    const std::string first = running.ReadFile("attachment-1.json");
    EXPECT_TRUE(Holds(first, "\"ids\": [1234], \"file_name\": \"bugreport.txt\", \"summary\": \"bugreport.txt\", "
                             "\"content_type\": \"text/plain\", \"data\": \"" + Hex("date/time: today\r\n") +
                             "\", \"exclude_fields\": [\"data\"]"))
        << first;
    const std::string second = running.ReadFile("attachment-2.json");
    EXPECT_TRUE(Holds(second, "\"file_name\": \"screenü.png\"") && Holds(second, "\"content_type\": \"image/png\"") &&
                Holds(second, Hex(binary_)))
        << second;
    EXPECT_EQ(running.ReadFile("attachment-3.json"), "");
    // Preparing, connecting, the three readable files, finishing; then one step per request.
    EXPECT_EQ(alert->areas, (std::vector<std::string>{"Prep 500", "Conn 5000", "Att 1", "Att 0", "Att 187",
                                                      "Final 1000"}));
    EXPECT_EQ(alert->visited.size(), 8u);
    // The files go as Base64 in blocks of 1536 bytes, the alert moving after each.
    EXPECT_EQ(alert->positions, (std::vector<int32_t>{1000, 512, 1000}));
}

TEST_F(TrackerUpload, XmlRpcFaultsFailTheUpload)
{
    const TMailTestServer wrongAccount(kScript, "--kind bugzilla --account reporter:other");
    ASSERT_EQ(wrongAccount.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::BugZilla, wrongAccount, "127.0.0.1/bugs", Case(), Files()));
    EXPECT_EQ(wrongAccount.ReadFile("calls.json"), "[\"Bugzilla.version\"]");

    const TMailTestServer failing(kScript, "--kind bugzilla --fail Bug.add_attachment");
    ASSERT_EQ(failing.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::BugZilla, failing, "127.0.0.1/bugs", Case(), Files()));
    EXPECT_NE(failing.ReadFile("case.json"), "");
}

TEST_F(TrackerUpload, XmlApiCaseWithTheLookedUpListsAndNumberedFiles)
{
    const TMailTestServer running(kScript, "--kind fogbugz");
    ASSERT_EQ(running.Failure(), "");
    TTrackerCase report = Case();
    report.project = u"desktop & tools";
    report.area = u"Elsewhere";
    report.assignee = u"ANN SMITH";
    EXPECT_TRUE(Upload(TTrackerKind::FogBugz, running, "http://127.0.0.1/fb/", report, Files()));
    EXPECT_EQ(running.ReadFile("calls.json"),
              "[\"api.xml\", \"logon\", \"listProjects\", \"listAreas\", \"listCategories\", \"listPriorities\", "
              "\"listPeople\", \"POST new\", \"logoff\"]");
    const std::string created = running.ReadFile("case.json");
    for (const char* field :
         {"\"path\": \"/fb/api.asp?\"", "\"cmd\": \"new\"", "\"token\": \"t0k3n\"",
          "\"sTitle\": \"Crash <in> \\\"Grüße\\\" & more\"", "\"sProject\": \"Desktop & Tools\"",
          "\"sArea\": \"Not Spam\"", "\"sCategory\": \"Bug\"", "\"sPersonAssignedTo\": \"Ann Smith\"",
          "\"sVersion\": \"2.0\"", "\"sComputer\": \"PC-7\"", "\"sCustomerEmail\": \"zelExcept <crash@x.org>\"",
          "\"ixMailbox\": \"zelExcept <crash@x.org>\"", "\"sScoutDescription\": \"1234ABCD, 5678EF01, 9ABC2345\"",
          "\"nFileCount\": \"3\"", "\"MailSubject\": \"Crash\"",
          "{\"field\": \"File1\", \"filename\": \"bugreport.txt\"", "{\"field\": \"File2\", \"filename\": \"empty.zip\"",
          "{\"field\": \"File3\", \"filename\": \"screenü.png\""})
        EXPECT_TRUE(Holds(created, field)) << field << " in " << created;
    EXPECT_TRUE(Holds(created, Hex(binary_)));
}

TEST_F(TrackerUpload, XmlApiRefusesNewServersAndLogsOffAfterAFailedCase)
{
    const TMailTestServer newer(kScript, "--kind fogbugz --minversion 9");
    ASSERT_EQ(newer.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::FogBugz, newer, "127.0.0.1/fb", Case(), {}));
    EXPECT_EQ(newer.ReadFile("calls.json"), "[\"api.xml\"]");

    const TMailTestServer failing(kScript, "--kind fogbugz --fail new");
    ASSERT_EQ(failing.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::FogBugz, failing, "127.0.0.1/fb", Case(), {}));
    const std::string calls = failing.ReadFile("calls.json");
    EXPECT_TRUE(Holds(calls, "\"POST new\", \"logoff\"]")) << calls;

    const TMailTestServer wrongAccount(kScript, "--kind fogbugz --account someone:else");
    ASSERT_EQ(wrongAccount.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::FogBugz, wrongAccount, "127.0.0.1/fb", Case(), {}));
    EXPECT_EQ(wrongAccount.ReadFile("calls.json"), "[\"api.xml\", \"logon\"]");
}

TEST_F(TrackerUpload, SoapIssueWithReferencesAndAttachments)
{
    // The account "r&d<1>:p'w", out of the shell's way.
    const TMailTestServer running(kScript, "--kind mantis --account hex:7226643c313e3a702777");
    ASSERT_EQ(running.Failure(), "");
    TTrackerCase report = Case();
    report.account = u"r&d<1>";
    report.password = u"p'w";
    report.project = u"conduvex";
    report.area = u"crash & hang";
    EXPECT_TRUE(Upload(TTrackerKind::Mantis, running, "http://127.0.0.1/mantis", report, Files()));
    EXPECT_EQ(running.ReadFile("calls.json"),
              "[\"mc_version\", \"mc_projects_get_user_accessible\", \"mc_enum_access_levels\", "
              "\"mc_project_get_categories\", \"mc_project_get_versions\", \"mc_project_get_users\", "
              "\"mc_enum_priorities\", \"mc_enum_severities\", \"mc_issue_add\", \"mc_issue_attachment_add\", "
              "\"mc_issue_attachment_add\"]");
    EXPECT_EQ(running.ReadFile("case.json"),
              "{\"project\": \"5\", \"version\": \"2.0\", \"handler\": \"12\", \"priority\": \"30\", "
              "\"severity\": \"80\", \"summary\": \"Crash <in> \\\"Grüße\\\" & more\", \"category\": "
              "\"Crash & Hang\", \"os\": \"Windows 7 Professional\", \"description\": \"Access violation\\r\\nat 0x1000\"}");
    EXPECT_EQ(running.ReadFile("attachment-2.json"),
              "{\"issue_id\": \"77\", \"name\": \"screenü.png\", \"file_type\": \"image/png\", \"data\": \"" +
                  Hex(binary_) + "\"}");
}

TEST_F(TrackerUpload, SoapFaultsFailTheUpload)
{
    const TMailTestServer failing(kScript, "--kind mantis --fail mc_issue_add");
    ASSERT_EQ(failing.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::Mantis, failing, "127.0.0.1/mantis", Case(), Files()));
    EXPECT_EQ(failing.ReadFile("attachment-1.json"), "");
    const TMailTestServer nobody(kScript, "--kind mantis --account x:y");
    ASSERT_EQ(nobody.Failure(), "");
    EXPECT_FALSE(Upload(TTrackerKind::Mantis, nobody, "127.0.0.1/mantis", Case(), Files()));
    EXPECT_EQ(nobody.ReadFile("calls.json"), "[\"mc_version\"]");
}

} // namespace
