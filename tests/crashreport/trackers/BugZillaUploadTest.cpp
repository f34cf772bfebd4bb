#include "trackers/BugZillaUpload.h"

#include <gtest/gtest.h>

#include <map>

#include "ScriptedTracker.h"
#include "crypto/Base64.h"
#include "trackers/XmlRpcCall.h"

namespace {

std::string Value(const std::string& typed) { return "<value>" + typed + "</value>"; }
std::string Str(const std::string& text) { return Value("<string>" + text + "</string>"); }
std::string Array(const std::vector<std::string>& values)
{
    std::string array = "<array><data>";
    for (const std::string& value : values)
        array += value;
    return Value(array + "</data></array>");
}
std::string Struct(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string text = "<struct>";
    for (const auto& [name, value] : members)
        text += "<member><name>" + name + "</name>" + value + "</member>";
    return Value(text + "</struct>");
}
std::string Answer(const std::string& value)
{
    return "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n" + value + "\n</param>\n</params>\n</methodResponse>\n";
}
std::string Fault(const std::string& text)
{
    return "<?xml version='1.0'?><methodResponse><fault>" +
           Struct({{"faultCode", Value("<int>51</int>")}, {"faultString", Str(text)}}) + "</fault></methodResponse>";
}
std::string Named(const std::string& name) { return Struct({{"name", Str(name)}}); }
std::string Field(const std::string& name, const std::vector<std::string>& values)
{
    std::vector<std::string> named;
    for (const std::string& value : values)
        named.push_back(Named(value));
    return Struct({{"name", Str(name)}, {"values", Array(named)}});
}

std::string MethodOf(const std::string& body)
{
    const size_t at = body.find("<methodName>") + 12;
    return body.substr(at, body.find("</methodName>") - at);
}

// The struct members of a call as name -> typed value markup.
std::map<std::string, std::string> MembersOf(const std::string& body)
{
    std::map<std::string, std::string> members;
    const auto root = ParseXmlAnswer(body);
    if (!root)
        return members;
    for (const TXmlElement* member : root->FindAll("member")) {
        const TXmlElement* value = member->Child("value");
        members[member->ChildText("name")] = value && !value->children.empty() ? value->children[0].name + ":" +
                                                                                     XmlRpcScalar(value)
                                                                               : "";
    }
    return members;
}

class BugZillaServer {
public:
    std::map<std::string, std::string> answers = {
        {"Bugzilla.version", Answer(Struct({{"version", Str("5.0")}}))},
        {"Product.get_enterable_products", Answer(Struct({{"ids", Array({Value("<int>3</int>"), Value("<i4>8</i4>")})}}))},
        {"Product.get",
         Answer(Struct({{"products",
                         Array({Struct({{"name", Str("Other")}, {"components", Array({Named("Misc")})},
                                        {"versions", Array({Named("0.1")})}}),
                                Struct({{"name", Str("Conduvex")},
                                        {"components", Array({Named("Setup"), Named("Crash Handling")})},
                                        {"versions", Array({Named("unspecified"), Named("2.0")})}})})}}))},
        {"Bug.fields", Answer(Struct({{"fields", Array({Field("priority", {"Highest", "P1"}),
                                                         Field("bug_severity", {"blocker", "Normal"}),
                                                         Field("op_sys", {"Linux", "Other", "Windows"}),
                                                         Field("rep_platform", {"PC", "Macintosh"})})}}))},
        {"Bug.create", Answer(Struct({{"id", Value("<int>1234</int>")}}))},
        {"Bug.add_attachment", Answer(Struct({{"ids", Array({Value("<int>1</int>")})}}))},
    };

    TScriptedTracker tracker{[this](const TSeenRequest& request) -> std::optional<std::string> {
        const auto found = answers.find(MethodOf(request.body));
        if (found == answers.end())
            return std::nullopt;
        return found->second;
    }};

    std::vector<std::string> Methods() const
    {
        std::vector<std::string> methods;
        for (const TSeenRequest& request : tracker.seen)
            methods.push_back(MethodOf(request.body));
        return methods;
    }
};

TTrackerCase Case()
{
    TTrackerCase report;
    report.account = u"bob<admin>";
    report.password = u"a&b";
    report.title = u"Crash: \"x\" < y";
    report.description = u"Gr\u00FC\u00DFe";
    report.project = u"conduvex";
    report.area = u"crash handling";
    report.assignee = u"dev@x.org";
    report.version = u"2.0";
    report.operatingSystem = u"Windows";
    report.callstackCrc = u"1234ABCD, 5678EF01, 9ABC2345";
    return report;
}

TEST(BugZillaUpload, CreatesTheBugWithServerValuesAndAttachesNonEmptyFiles)
{
    BugZillaServer server;
    EXPECT_TRUE(UploadToBugZilla(server.tracker, "/bugs/", Case(),
                                 server.tracker.Files({{u"report.txt", "text"}, {u"empty.zip", ""}, {u"shot.png", "\x89PNG"}})));
    EXPECT_EQ(server.Methods(), (std::vector<std::string>{"Bugzilla.version", "Product.get_enterable_products",
                                                          "Product.get", "Bug.fields", "Bug.create",
                                                          "Bug.add_attachment", "Bug.add_attachment"}));
    for (const TSeenRequest& request : server.tracker.seen) {
        EXPECT_EQ(request.verb, "POST");
        EXPECT_EQ(request.path, "/bugs/xmlrpc.cgi");
        EXPECT_EQ(request.headers, std::vector<std::string>{"Content-Type: text/xml"});
        EXPECT_EQ(request.body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>", 0), 0u);
        // The account is escaped in every call.
        EXPECT_NE(request.body.find("<member><name>Bugzilla_login</name><value><string>bob&lt;admin&gt;</string>"
                                    "</value></member><member><name>Bugzilla_password</name><value><string>a&amp;b"),
                  std::string::npos);
    }
    EXPECT_NE(server.tracker.seen[2].body.find("<member><name>ids</name><value><array><data><value><int>3</int></value>"
                                               "<value><int>8</int></value></data></array></value></member>"),
              std::string::npos);
    const std::map<std::string, std::string> expected = {
        {"Bugzilla_login", "string:bob<admin>"},
        {"Bugzilla_password", "string:a&b"},
        {"product", "string:Conduvex"},
        {"component", "string:Crash Handling"},
        {"summary", "string:Crash: \"x\" < y"},
        {"version", "string:2.0"},
        {"description", "string:Gr\xC3\xBC\xC3\x9F" "e"},
        {"op_sys", "string:Windows"},
        {"alias", "string:1234ABCD5678EF019ABC2345"},
        {"priority", "string:Highest"},
        {"severity", "string:Normal"},
        {"platform", "string:PC"},
        {"assigned_to", "string:dev@x.org"}};
    EXPECT_EQ(MembersOf(server.tracker.seen[4].body), expected);
    const std::string& create = server.tracker.seen[4].body;
    EXPECT_LT(create.find("<name>product<"), create.find("<name>component<"));
    EXPECT_LT(create.find("<name>platform<"), create.find("<name>assigned_to<"));

    const std::map<std::string, std::string> attachment = MembersOf(server.tracker.seen[6].body);
    EXPECT_EQ(attachment.at("file_name"), "string:shot.png");
    EXPECT_EQ(attachment.at("summary"), "string:shot.png");
    EXPECT_EQ(attachment.at("content_type"), "string:image/png");
    EXPECT_EQ(attachment.at("data"), "base64:" + EncodeBase64Str("\x89PNG"));
    EXPECT_NE(server.tracker.seen[6].body.find("<name>exclude_fields</name><value><array><data><value><string>data"
                                               "</string></value></data></array>"),
              std::string::npos);
    EXPECT_NE(server.tracker.seen[6].body.find("<name>ids</name><value><array><data><value><int>1234</int>"),
              std::string::npos);
}

TEST(BugZillaUpload, UnknownValuesFallBackToTheServersChoices)
{
    TTrackerCase report = Case();
    report.project = u"Nothing";
    report.area = u"Nowhere";
    report.version = u"9.9";
    report.operatingSystem = u"Windows 11 build 22000";
    BugZillaServer server;
    EXPECT_TRUE(UploadToBugZilla(server.tracker, "", report, {}));
    EXPECT_EQ(server.tracker.seen[0].path, "/xmlrpc.cgi");
    std::map<std::string, std::string> members = MembersOf(server.tracker.seen[4].body);
    EXPECT_EQ(members["product"], "string:Other");
    EXPECT_EQ(members["component"], "string:Misc");
    EXPECT_EQ(members["version"], "string:0.1");
    EXPECT_EQ(members["op_sys"], "string:Other");

    // Without "other" the first allowed system; lists the server leaves empty keep the defaults.
    server.answers["Bug.fields"] =
        Answer(Struct({{"fields", Array({Field("op_sys", {"Linux"}), Field("priority", {}), Field("severity", {"minor"}),
                                         Field("platform", {"All"})})}}));
    server.answers["Product.get"] = Answer(Struct({{"products", Array({})}}));
    server.tracker.seen.clear();
    EXPECT_TRUE(UploadToBugZilla(server.tracker, "", report, {}));
    members = MembersOf(server.tracker.seen[4].body);
    EXPECT_EQ(members["op_sys"], "string:Linux");
    EXPECT_EQ(members["priority"], "string:P2");
    EXPECT_EQ(members["severity"], "string:minor");
    EXPECT_EQ(members["platform"], "string:All");
    EXPECT_EQ(members["product"], "string:Nothing");
    EXPECT_EQ(members["component"], "string:Nowhere");
}

TEST(BugZillaUpload, FaultsAndFailedRequestsEndTheUpload)
{
    for (const char* failing : {"Bugzilla.version", "Product.get", "Bug.fields", "Bug.create", "Bug.add_attachment"}) {
        BugZillaServer server;
        server.answers[failing] = Fault("Access denied");
        EXPECT_FALSE(UploadToBugZilla(server.tracker, "/bugs", Case(), server.tracker.Files({{u"a.txt", "a"}, {u"b.txt", "b"}}))) << failing;
        EXPECT_EQ(server.Methods().back(), failing);
    }
    BugZillaServer noId;
    noId.answers["Bug.create"] = Answer(Struct({{"bug", Str("made")}}));
    EXPECT_FALSE(UploadToBugZilla(noId.tracker, "/bugs", Case(), noId.tracker.Files({{u"a.txt", "a"}})));
    EXPECT_EQ(noId.Methods().back(), "Bug.create");

    BugZillaServer garbage;
    garbage.answers["Bug.fields"] = "<html>Server error</html>";
    EXPECT_FALSE(UploadToBugZilla(garbage.tracker, "/bugs", Case(), {}));

    BugZillaServer unreachable;
    unreachable.answers.clear();
    EXPECT_FALSE(UploadToBugZilla(unreachable.tracker, "/bugs", Case(), {}));
    EXPECT_EQ(unreachable.tracker.seen.size(), 1u);
}

TEST(XmlRpcAnswer, ReadsValuesFaultsAndUntypedStrings)
{
    const TXmlRpcAnswer fault = ReadXmlRpcAnswer(Fault("No &amp; way"));
    EXPECT_FALSE(fault.value);
    EXPECT_EQ(fault.fault, "No & way");
    const TXmlRpcAnswer value = ReadXmlRpcAnswer(Answer(Struct({{"a", Value("plain")}, {"b", Value("<int>5</int>")}})));
    ASSERT_TRUE(value.value);
    EXPECT_EQ(XmlRpcScalar(XmlRpcMember(*value.value, "a")), "plain");
    EXPECT_EQ(XmlRpcScalar(XmlRpcMember(*value.value, "b")), "5");
    EXPECT_EQ(XmlRpcMember(*value.value, "c"), nullptr);
    EXPECT_TRUE(XmlRpcItems(XmlRpcMember(*value.value, "a")).empty());
    EXPECT_FALSE(ReadXmlRpcAnswer("<methodResponse><params></params></methodResponse>").value);
    EXPECT_FALSE(ReadXmlRpcAnswer("<other/>").value);
}

} // namespace
