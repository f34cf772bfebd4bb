#include "trackers/FogBugzUpload.h"

#include <gtest/gtest.h>

#include <map>

#include "ScriptedTracker.h"
#include "text/Utf.h"

namespace {

std::string Response(const std::string& inner) { return "<?xml version=\"1.0\"?><response>" + inner + "</response>"; }

std::string Command(const TSeenRequest& request)
{
    const size_t at = request.path.find("cmd=");
    return at == std::string::npos ? std::string() : request.path.substr(at + 4, request.path.find('&', at) - at - 4);
}

// A server with two writable projects; "Desktop" has the areas "Crashes" and "Not Spam".
class FogBugzServer {
public:
    std::map<std::string, std::string> answers = {
        {"api", Response("<version>8</version><minversion>1</minversion><url>api.asp?</url>")},
        {"logon", Response("<token><![CDATA[tok123]]></token>")},
        {"listProjects", Response("<projects><project><ixProject>1</ixProject><sProject><![CDATA[Desktop]]></sProject>"
                                  "</project><project><sProject>Web</sProject></project></projects>")},
        {"listAreas", Response("<areas><area><sArea>Crashes</sArea><sProject>Desktop</sProject></area>"
                               "<area><sArea>Not Spam</sArea><sProject>Desktop</sProject></area></areas>")},
        {"listCategories", Response("<categories><category><sCategory>Feature</sCategory></category>"
                                    "<category><sCategory>Bug</sCategory></category></categories>")},
        {"listPriorities", Response("<priorities><priority><sPriority>Must Fix</sPriority></priority></priorities>")},
        {"listPeople", Response("<people><person><sFullName>Ann Smith</sFullName></person></people>")},
        {"new", Response("<case ixBug=\"42\" operations=\"edit\"></case>")},
        {"logoff", Response("")},
    };

    TScriptedTracker tracker{[this](const TSeenRequest& request) -> std::optional<std::string> {
        const std::string command = request.verb == "POST" ? "new" : Command(request);
        const bool api = request.path.size() >= 8 && request.path.compare(request.path.size() - 8, 8, "/api.xml") == 0;
        const auto found = answers.find(api ? "api" : command);
        if (found == answers.end())
            return std::nullopt;
        return found->second;
    }};

    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        for (const TSeenRequest& request : tracker.seen)
            commands.push_back(request.verb == "POST" ? "POST " + request.path : Command(request));
        return commands;
    }
};

TTrackerCase Case()
{
    TTrackerCase report;
    report.account = u"reporter@x.org";
    report.password = u"p&ss w\u00F6rd";
    report.title = u"Crash in main";
    report.description = u"It broke";
    report.project = u"desktop";
    report.area = u"crashes";
    report.assignee = u"ann smith";
    report.version = u"1.2.3";
    report.computerName = u"PC-7";
    report.sender = u"zelExcept <crash@x.org>";
    report.callstackCrc = u"12345678-abcdefgh";
    report.fields = {{u"MailSubject", u"Crash"}, {u"sTitle", u"replaced"}};
    return report;
}

// The value of one text field of the posted form (ASCII values go as 8bit).
std::string FormValue(const std::string& body, const std::string& name)
{
    const std::string head = "name=\"" + name + "\"\r\n";
    const size_t at = body.find(head);
    if (at == std::string::npos)
        return "<missing>";
    const size_t start = body.find("\r\n\r\n", at) + 4;
    return body.substr(start, body.find("\r\n--", start) - start);
}

// The contents of the posted form's parts by name, cut at the boundary its header announces.
std::map<std::string, std::string> FormParts(const TSeenRequest& posted)
{
    const std::string delimiter = "\r\n--" + posted.headers.at(0).substr(posted.headers.at(0).find("boundary=") + 9);
    std::map<std::string, std::string> parts;
    for (size_t at = posted.body.find(delimiter); at != std::string::npos;) {
        const size_t next = posted.body.find(delimiter, at + delimiter.size());
        const std::string part = posted.body.substr(at, next - at);
        const size_t name = part.find("name=\"") + 6;
        const size_t content = part.find("\r\n\r\n");
        if (content != std::string::npos)
            parts[part.substr(name, part.find('"', name) - name)] = part.substr(content + 4);
        at = next;
    }
    return parts;
}

TEST(FogBugzUpload, LogsOnFetchesTheListsPostsTheCaseAndLogsOff)
{
    FogBugzServer server;
    const bool created = UploadToFogBugz(server.tracker, "/fb/", Case(),
                                         server.tracker.Files({{u"report.txt", "line 1\r\n"},
                                                               {u"shot.png", std::string("\x89PNG\0", 5)}}));
    EXPECT_TRUE(created);
    EXPECT_EQ(server.Commands(),
              (std::vector<std::string>{"", "logon", "listProjects", "listAreas", "listCategories", "listPriorities",
                                        "listPeople", "POST /fb/api.asp?", "logoff"}));
    EXPECT_EQ(server.tracker.seen[0].path, "/fb/api.xml");
    // Every byte but letters and digits is escaped, UTF-8 first.
    EXPECT_EQ(server.tracker.seen[1].path,
              "/fb/api.asp?cmd=logon&email=reporter%40x%2Eorg&password=p%26ss%20w%C3%B6rd");
    EXPECT_EQ(server.tracker.seen[2].path, "/fb/api.asp?cmd=listProjects&token=tok123&fWrite=1");
    EXPECT_EQ(server.tracker.seen[3].path, "/fb/api.asp?cmd=listAreas&token=tok123&sProject=Desktop");
    EXPECT_EQ(server.tracker.seen[8].path, "/fb/api.asp?cmd=logoff&token=tok123");

    const TSeenRequest& posted = server.tracker.seen[7];
    EXPECT_EQ(posted.headers.size(), 1u);
    EXPECT_EQ(posted.headers[0].rfind("Content-Type: multipart/form-data; boundary=", 0), 0u);
    const std::map<std::string, std::string> expected = {
        {"cmd", "new"},           {"token", "tok123"},         {"sTitle", "Crash in main"}, {"sEvent", "It broke"},
        {"sProject", "Desktop"},  {"sArea", "Crashes"},        {"sCategory", "Bug"},        {"sPersonAssignedTo", "Ann Smith"},
        {"sVersion", "1.2.3"},    {"sComputer", "PC-7"},       {"sCustomerEmail", "zelExcept <crash@x.org>"},
        {"ixMailbox", "zelExcept <crash@x.org>"},              {"sScoutDescription", "12345678-abcdefgh"},
        {"nFileCount", "2"},      {"MailSubject", "Crash"}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(FormValue(posted.body, name), value) << name;
    EXPECT_EQ(posted.body.find("replaced"), std::string::npos);
    EXPECT_NE(posted.body.find("name=\"File1\"; filename=\"report.txt\"\r\nContent-Type: application/octet-stream\r\n\r\n"
                               "line 1\r\n"),
              std::string::npos);
    EXPECT_NE(posted.body.find("name=\"File2\"; filename=\"shot.png\""), std::string::npos);
    EXPECT_NE(posted.body.find(std::string("\x89PNG\0", 5)), std::string::npos);
}

// A value or an attachment holding the usual boundary line forges no part.
TEST(FogBugzUpload, TheBoundaryIsOneNoValueOrAttachmentHolds)
{
    const std::string forged = "\r\n--" + std::string(kMultipartBoundary) + "\r\nContent-Disposition: form-data; "
                               "name=\"forged\"\r\n\r\nx";
    for (const bool inFile : {false, true}) {
        TTrackerCase report = Case();
        const std::string note = inFile ? "a" : "a" + forged;
        report.fields.push_back({u"Note", UTF8ToWide(note)});
        FogBugzServer server;
        const std::string content = inFile ? "b" + forged : "b";
        EXPECT_TRUE(UploadToFogBugz(server.tracker, "/fb", report, server.tracker.Files({{u"r.txt", content}})));
        const std::map<std::string, std::string> parts = FormParts(server.tracker.seen.at(7));
        EXPECT_EQ(parts.at("Note"), note);
        EXPECT_EQ(parts.at("File1"), content);
        EXPECT_EQ(parts.count("forged"), 0u);
    }
}

TEST(FogBugzUpload, AreaFallsBackToNotSpamThenEmptyAndAnUnknownProjectEmptiesBoth)
{
    TTrackerCase report = Case();
    report.area = u"Elsewhere";
    report.assignee = u"Nobody";
    FogBugzServer server;
    EXPECT_TRUE(UploadToFogBugz(server.tracker, "/fb", report, {}));
    const std::string& body = server.tracker.seen[7].body;
    EXPECT_EQ(FormValue(body, "sArea"), "Not Spam");
    EXPECT_EQ(FormValue(body, "sPersonAssignedTo"), "");
    EXPECT_EQ(FormValue(body, "nFileCount"), "0");

    FogBugzServer noSpam;
    noSpam.answers["listAreas"] = Response("<areas><area><sArea>Crashes</sArea></area></areas>");
    noSpam.answers["listCategories"] = Response("<categories><category><sCategory>Feature</sCategory></category></categories>");
    EXPECT_TRUE(UploadToFogBugz(noSpam.tracker, "/fb", report, {}));
    EXPECT_EQ(FormValue(noSpam.tracker.seen[7].body, "sArea"), "");
    EXPECT_EQ(FormValue(noSpam.tracker.seen[7].body, "sProject"), "Desktop");
    EXPECT_EQ(FormValue(noSpam.tracker.seen[7].body, "sCategory"), "Feature");

    report.project = u"Unknown";
    report.area = u"Crashes";
    FogBugzServer unknown;
    EXPECT_TRUE(UploadToFogBugz(unknown.tracker, "/fb", report, {}));
    EXPECT_EQ(FormValue(unknown.tracker.seen[7].body, "sProject"), "");
    EXPECT_EQ(FormValue(unknown.tracker.seen[7].body, "sArea"), "");
}

TEST(FogBugzUpload, ApiNeedingVersion9OrNoUrlIsNotUsed)
{
    FogBugzServer newer;
    newer.answers["api"] = Response("<version>9</version><minversion>9</minversion><url>api.asp?</url>");
    EXPECT_FALSE(UploadToFogBugz(newer.tracker, "/fb", Case(), {}));
    EXPECT_EQ(newer.tracker.seen.size(), 1u);

    FogBugzServer noUrl;
    noUrl.answers["api"] = Response("<version>8</version><minversion>1</minversion>");
    EXPECT_FALSE(UploadToFogBugz(noUrl.tracker, "/fb", Case(), {}));
    EXPECT_EQ(noUrl.tracker.seen.size(), 1u);
}

TEST(FogBugzUpload, ApiUrlIsJoinedToTheServerPathOnce)
{
    FogBugzServer root;
    root.answers["api"] = Response("<minversion>3</minversion><url>/api.php</url>");
    EXPECT_TRUE(UploadToFogBugz(root.tracker, "/", Case(), {}));
    EXPECT_EQ(root.tracker.seen[0].path, "/api.xml");
    EXPECT_EQ(root.tracker.seen[1].path.rfind("/api.php?cmd=logon&", 0), 0u);
    EXPECT_EQ(root.tracker.seen[7].path, "/api.php");

    FogBugzServer query;
    query.answers["api"] = Response("<minversion>3</minversion><url>api.asp?mode=xml</url>");
    EXPECT_TRUE(UploadToFogBugz(query.tracker, "/fb", Case(), {}));
    EXPECT_EQ(query.tracker.seen[1].path.rfind("/fb/api.asp?mode=xml&cmd=logon&", 0), 0u);
}

TEST(FogBugzUpload, FailuresEndTheUploadAndAFailedCaseStillLogsOff)
{
    for (const char* failing : {"logon", "listPeople", "new"}) {
        FogBugzServer server;
        server.answers[failing] = Response("<error code=\"1\">Nope</error>");
        EXPECT_FALSE(UploadToFogBugz(server.tracker, "/fb", Case(), {})) << failing;
        const bool loggedOn = std::string(failing) != "logon";
        EXPECT_EQ(server.Commands().back() == "logoff", loggedOn) << failing;
    }
    FogBugzServer noToken;
    noToken.answers["logon"] = Response("<token></token>");
    EXPECT_FALSE(UploadToFogBugz(noToken.tracker, "/fb", Case(), {}));
    EXPECT_EQ(noToken.tracker.seen.size(), 2u);

    FogBugzServer noCase;
    noCase.answers["new"] = Response("<case></case>");
    EXPECT_FALSE(UploadToFogBugz(noCase.tracker, "/fb", Case(), {}));

    FogBugzServer unreachable;
    unreachable.answers.erase("listProjects");
    EXPECT_FALSE(UploadToFogBugz(unreachable.tracker, "/fb", Case(), {}));
    EXPECT_EQ(unreachable.Commands().back(), "logoff");
}

} // namespace
