#include "trackers/MantisUpload.h"

#include <gtest/gtest.h>

#include <map>

#include "ScriptedTracker.h"
#include "crypto/Base64.h"
#include "trackers/XmlAnswer.h"

namespace {

std::string Envelope(const std::string& method, const std::string& inner)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\" xmlns:ns1=\"n\">"
           "<SOAP-ENV:Body><ns1:" + method + "Response>" + inner + "</ns1:" + method +
           "Response></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}
std::string Return(const std::string& inner) { return "<return>" + inner + "</return>"; }
std::string Ref(const std::string& id, const std::string& name)
{
    return "<item><id>" + id + "</id><name>" + name + "</name></item>";
}
std::string FaultAnswer()
{
    return "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"e\"><SOAP-ENV:Body><SOAP-ENV:Fault><faultcode>Client</faultcode>"
           "<faultstring>Access denied</faultstring></SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string MethodOf(const std::string& body)
{
    const size_t at = body.find("<ns1:") + 5;
    return body.substr(at, body.find(' ', at) - at);
}

class MantisServer {
public:
    std::map<std::string, std::string> answers = {
        {"mc_version", Return("1.2.19")},
        {"mc_projects_get_user_accessible",
         Return("<item><id>1</id><name>Main</name><subprojects><item><id>5</id><name>Conduvex</name>"
                "<subprojects></subprojects></item></subprojects></item><item><id>9</id><name>Web</name></item>")},
        {"mc_enum_access_levels", Return(Ref("10", "viewer") + Ref("55", "developer"))},
        {"mc_project_get_categories", Return("<item>General</item><item>Crash &amp; Hang</item>")},
        {"mc_project_get_versions", Return(Ref("3", "1.0") + Ref("4", "2.0"))},
        {"mc_project_get_users", Return("<item><id>12</id><name>ann</name><real_name>Ann</real_name></item>")},
        {"mc_enum_priorities", Return(Ref("20", "low") + Ref("30", "normal"))},
        {"mc_enum_severities", Return(Ref("70", "major") + Ref("80", "crash"))},
        {"mc_issue_add", "<return>77</return>"},
        {"mc_issue_attachment_add", Return("501")},
    };

    TScriptedTracker tracker{[this](const TSeenRequest& request) -> std::optional<std::string> {
        const std::string method = MethodOf(request.body);
        const auto found = answers.find(method);
        if (found == answers.end())
            return std::nullopt;
        return found->second.rfind("<return>", 0) == 0 || found->second.rfind("<item", 0) == 0
                   ? Envelope(method, found->second)
                   : found->second;
    }};

    std::vector<std::string> Methods() const
    {
        std::vector<std::string> methods;
        for (const TSeenRequest& request : tracker.seen)
            methods.push_back(MethodOf(request.body));
        return methods;
    }

    const TSeenRequest& Call(const std::string& method) const
    {
        for (const TSeenRequest& request : tracker.seen) {
            if (MethodOf(request.body) == method)
                return request;
        }
        static const TSeenRequest kNone;
        return kNone;
    }
};

TTrackerCase Case()
{
    TTrackerCase report;
    report.account = u"ann&co";
    report.password = u"<pw>";
    report.title = u"Crash in \"main\"";
    report.description = u"Access violation";
    report.project = u"conduvex";
    report.area = u"crash & hang";
    report.assignee = u"ANN";
    report.version = u"2.0";
    report.operatingSystem = u"Windows Server 2019 Datacenter Edition x64 build 17763";
    return report;
}

TEST(MantisUpload, AddsTheIssueWithReferencesAndAttachesNonEmptyFiles)
{
    MantisServer server;
    EXPECT_TRUE(UploadToMantis(server.tracker, "/mantis/", Case(),
                               server.tracker.Files({{u"report.txt", "text"}, {u"none.zip", ""}})));
    EXPECT_EQ(server.Methods(),
              (std::vector<std::string>{"mc_version", "mc_projects_get_user_accessible", "mc_enum_access_levels",
                                        "mc_project_get_categories", "mc_project_get_versions", "mc_project_get_users",
                                        "mc_enum_priorities", "mc_enum_severities", "mc_issue_add",
                                        "mc_issue_attachment_add"}));
    for (const TSeenRequest& request : server.tracker.seen) {
        EXPECT_EQ(request.path, "/mantis/api/soap/mantisconnect.php");
        EXPECT_EQ(request.headers, std::vector<std::string>{"Content-Type: text/xml"});
        EXPECT_NE(request.body.find("<username xsi:type=\"xsd:string\">ann&amp;co</username>"
                                    "<password xsi:type=\"xsd:string\">&lt;pw&gt;</password>"),
                  std::string::npos);
        EXPECT_TRUE(ParseXmlAnswer(request.body)) << request.body;
    }
    // The subproject's id and the developer level select the lists.
    EXPECT_NE(server.Call("mc_project_get_users").body.find("<project_id xsi:type=\"xsd:integer\">5</project_id>"
                                                            "<access xsi:type=\"xsd:integer\">55</access>"),
              std::string::npos);
    const std::string& issue = server.Call("mc_issue_add").body;
    EXPECT_NE(issue.find("<issue href=\"#1\"/></ns1:mc_issue_add><ns2:IssueData id=\"1\" xsi:type=\"ns2:IssueData\" "
                         "xmlns:ns2=\"ns2\"><project href=\"#2\"/><version xsi:type=\"xsd:string\">2.0</version>"
                         "<handler href=\"#3\"/><priority href=\"#4\"/><severity href=\"#5\"/>"
                         "<summary xsi:type=\"xsd:string\">Crash in &quot;main&quot;</summary>"
                         "<category xsi:type=\"xsd:string\">Crash &amp; Hang</category>"
                         "<os xsi:type=\"xsd:string\">Windows Server 2019 Datacenter </os>"
                         "<description xsi:type=\"xsd:string\">Access violation</description></ns2:IssueData>"
                         "<ns2:project id=\"2\" xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">5</id></ns2:project>"
                         "<ns2:handler id=\"3\" xsi:type=\"ns2:AccountData\"><id xsi:type=\"xsd:long\">12</id>"
                         "</ns2:handler><ns2:priority id=\"4\" xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">30"
                         "</id></ns2:priority><ns2:severity id=\"5\" xsi:type=\"ns2:ObjectRef\"><id xsi:type=\"xsd:long\">"
                         "80</id></ns2:severity></SOAP-ENV:Body>"),
              std::string::npos)
        << issue;
    const std::string& attachment = server.Call("mc_issue_attachment_add").body;
    EXPECT_NE(attachment.find("<issue_id xsi:type=\"xsd:long\">77</issue_id><name xsi:type=\"xsd:string\">report.txt"
                              "</name><file_type xsi:type=\"xsd:string\">text/plain</file_type>"
                              "<content xsi:type=\"xsd:base64Binary\">" + EncodeBase64Str("text") + "</content>"),
              std::string::npos);
}

TEST(MantisUpload, UnlistedValuesAreLeftOutAndAnUnknownProjectGoesToTheFirst)
{
    TTrackerCase report = Case();
    report.version = u"3.0";
    report.assignee = u"";
    report.area = u"Missing";
    MantisServer server;
    server.answers["mc_enum_priorities"] = Return(Ref("20", "low"));
    server.answers["mc_enum_severities"] = Return("");
    EXPECT_TRUE(UploadToMantis(server.tracker, "", report, {}));
    std::string issue = server.Call("mc_issue_add").body;
    for (const char* absent : {"<version", "<handler", "<priority", "<severity", "ns2:handler"})
        EXPECT_EQ(issue.find(absent), std::string::npos) << absent;
    EXPECT_NE(issue.find("<category xsi:type=\"xsd:string\">General</category>"), std::string::npos);

    report.project = u"Elsewhere";
    report.assignee = u"ann";
    MantisServer unknown;
    EXPECT_TRUE(UploadToMantis(unknown.tracker, "", report, {}));
    EXPECT_EQ(unknown.Methods().size(), 6u); // no lists of a project that is not there
    issue = unknown.Call("mc_issue_add").body;
    EXPECT_NE(issue.find("<category xsi:type=\"xsd:string\">Missing</category>"), std::string::npos);
    EXPECT_NE(issue.find("<id xsi:type=\"xsd:long\">1</id></ns2:project>"), std::string::npos);
    EXPECT_EQ(issue.find("<handler"), std::string::npos);
    EXPECT_NE(issue.find("<priority href=\"#4\"/>"), std::string::npos);
}

TEST(MantisUpload, FaultsAndMissingIssueIdsEndTheUpload)
{
    for (const char* failing : {"mc_version", "mc_enum_access_levels", "mc_project_get_users", "mc_enum_severities",
                                "mc_issue_add", "mc_issue_attachment_add"}) {
        MantisServer server;
        server.answers[failing] = FaultAnswer();
        EXPECT_FALSE(UploadToMantis(server.tracker, "", Case(), server.tracker.Files({{u"a.txt", "a"}, {u"b.txt", "b"}}))) << failing;
        EXPECT_EQ(server.Methods().back(), failing);
    }
    MantisServer noId;
    noId.answers["mc_issue_add"] = "<return></return>";
    EXPECT_FALSE(UploadToMantis(noId.tracker, "", Case(), noId.tracker.Files({{u"a.txt", "a"}})));
    EXPECT_EQ(noId.Methods().back(), "mc_issue_add");
}

TEST(MantisUpload, OperatingSystemLosesItsBuildAndIsCutTo31Characters)
{
    EXPECT_EQ(MantisOperatingSystem(u"Windows XP build 2600"), u"Windows XP");
    EXPECT_EQ(MantisOperatingSystem(u"Windows Server 2019 Datacenter Edition x64 build 17763"),
              u"Windows Server 2019 Datacenter ");
    EXPECT_EQ(MantisOperatingSystem(u"build 1"), u"");
    EXPECT_EQ(MantisOperatingSystem(u"Windows 7"), u"Windows 7");
    EXPECT_EQ(MantisOperatingSystem(std::u16string(40, u'x')).size(), 31u);
}

} // namespace
