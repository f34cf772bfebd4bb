#include "trackers/MantisUpload.h"

#include <optional>
#include <string>

#include "net/MailText.h"
#include "text/Utf.h"
#include "trackers/SoapCall.h"
#include "trackers/TrackerList.h"

namespace {

constexpr size_t kMaxOperatingSystem = 31;

UnicodeString Wide(const std::string& utf8) { return UTF8ToWide(utf8); }
std::string Utf8(std::u16string_view wide) { return WideToUTF8(wide); }

class TMantisSession {
public:
    TMantisSession(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report)
        : http_(http), report_(report)
    {
        path_ = serverPath;
        while (!path_.empty() && path_.back() == '/')
            path_.pop_back();
        path_ += "/api/soap/mantisconnect.php";
    }

    TSoapCall Call(std::string_view method) const { return TSoapCall(method, report_.account, report_.password); }

    std::optional<TXmlElement> Send(const TSoapCall& call)
    {
        AnsiString answer;
        if (!http_.Request("POST", path_, {"Content-Type: text/xml"}, call.Body(), answer))
            return std::nullopt;
        return ReadSoapReturn(answer);
    }

    // The items of a list answer by their "name" and "id"; categories are plain texts.
    std::optional<TTrackerList> List(const TSoapCall& call)
    {
        const std::optional<TXmlElement> answer = Send(call);
        if (!answer)
            return std::nullopt;
        TTrackerList list;
        for (const TXmlElement& item : answer->children) {
            if (item.name != "item")
                continue;
            if (item.children.empty())
                list.Add(Wide(item.text));
            else
                list.Add(Wide(item.ChildText("name")), Wide(item.ChildText("id")));
        }
        return list;
    }

private:
    TTrackerExchange& http_;
    const TTrackerCase& report_;
    std::string path_;
};

void AddProjects(const TXmlElement& list, TTrackerList& projects)
{
    for (const TXmlElement& item : list.children) {
        if (item.name != "item")
            continue;
        projects.Add(Wide(item.ChildText("name")), Wide(item.ChildText("id")));
        if (const TXmlElement* subprojects = item.Child("subprojects"))
            AddProjects(*subprojects, projects);
    }
}

struct TIssueValues {
    std::string projectId;
    std::string version;
    std::string handlerId;
    std::string priorityId;
    std::string severityId;
    std::string category;
};

std::string IdOf(const std::optional<TTrackerList>& list, std::u16string_view name)
{
    const TTrackerItem* item = list ? list->Find(name) : nullptr;
    return item ? Utf8(item->id) : std::string();
}

std::optional<TIssueValues> ChooseValues(TMantisSession& session, const TTrackerCase& report)
{
    const std::optional<TXmlElement> accessible = session.Send(session.Call("mc_projects_get_user_accessible"));
    const auto levels = accessible ? session.List(session.Call("mc_enum_access_levels")) : std::nullopt;
    if (!levels)
        return std::nullopt;
    TTrackerList projects;
    AddProjects(*accessible, projects);
    const TTrackerItem* developer = levels->FindOrFirst(u"developer");
    const std::string access = developer ? Utf8(developer->id) : "developer";

    TIssueValues values;
    values.category = Utf8(report.area);
    // The lists of a project the server does not list are empty: the category goes as
    // configured, version and handler are left out.
    if (const TTrackerItem* project = projects.Find(report.project)) {
        const std::string id = Utf8(project->id);
        TSoapCall categories = session.Call("mc_project_get_categories");
        TSoapCall versions = session.Call("mc_project_get_versions");
        TSoapCall users = session.Call("mc_project_get_users");
        const auto categoryList = session.List(categories.Parameter("project_id", "xsd:integer", id));
        const auto versionList = session.List(versions.Parameter("project_id", "xsd:integer", id));
        const auto userList = session.List(
            users.Parameter("project_id", "xsd:integer", id).Parameter("access", "xsd:integer", access));
        if (!categoryList || !versionList || !userList)
            return std::nullopt;
        values.category = Utf8(LookUpName(*categoryList, report.area));
        if (const TTrackerItem* version = versionList->Find(report.version))
            values.version = Utf8(version->name);
        if (!report.assignee.empty())
            values.handlerId = IdOf(userList, report.assignee);
    }
    const auto priorities = session.List(session.Call("mc_enum_priorities"));
    const auto severities = priorities ? session.List(session.Call("mc_enum_severities")) : std::nullopt;
    if (!severities)
        return std::nullopt;
    values.priorityId = IdOf(priorities, u"normal");
    values.severityId = IdOf(severities, u"crash");
    const TTrackerItem* project = projects.FindOrFirst(report.project);
    values.projectId = project ? Utf8(project->id) : Utf8(report.project);
    return values;
}

std::string Reference(std::string_view name, int id, std::string_view type, const std::string& value)
{
    const std::string tag = "ns2:" + std::string(name);
    return "<" + tag + " id=\"" + std::to_string(id) + "\" xsi:type=\"ns2:" + std::string(type) + "\">" +
           SoapElement("id", "xsd:long", value) + "</" + tag + ">";
}

std::string NewIssue(TMantisSession& session, const TTrackerCase& report, const TIssueValues& values)
{
    std::string issue = "<ns2:IssueData id=\"1\" xsi:type=\"ns2:IssueData\" xmlns:ns2=\"ns2\"><project href=\"#2\"/>";
    if (!values.version.empty())
        issue += SoapElement("version", "xsd:string", values.version);
    if (!values.handlerId.empty())
        issue += "<handler href=\"#3\"/>";
    if (!values.priorityId.empty())
        issue += "<priority href=\"#4\"/>";
    if (!values.severityId.empty())
        issue += "<severity href=\"#5\"/>";
    issue += SoapElement("summary", "xsd:string", Utf8(report.title));
    issue += SoapElement("category", "xsd:string", values.category);
    issue += SoapElement("os", "xsd:string", Utf8(MantisOperatingSystem(report.operatingSystem)));
    issue += SoapElement("description", "xsd:string", Utf8(report.description));
    issue += "</ns2:IssueData>";
    issue += Reference("project", 2, "ObjectRef", values.projectId);
    if (!values.handlerId.empty())
        issue += Reference("handler", 3, "AccountData", values.handlerId);
    if (!values.priorityId.empty())
        issue += Reference("priority", 4, "ObjectRef", values.priorityId);
    if (!values.severityId.empty())
        issue += Reference("severity", 5, "ObjectRef", values.severityId);
    TSoapCall add = session.Call("mc_issue_add");
    const std::optional<TXmlElement> answer = session.Send(add.RawParameter("<issue href=\"#1\"/>").Referenced(issue));
    return answer ? answer->text : std::string();
}

} // namespace

UnicodeString MantisOperatingSystem(std::u16string_view reported)
{
    const size_t build = reported.find(u"build");
    if (build != std::u16string_view::npos)
        reported = reported.substr(0, build == 0 ? 0 : build - 1);
    return UnicodeString(reported.substr(0, kMaxOperatingSystem));
}

bool UploadToMantis(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                    const std::vector<TTrackerFile>& files)
{
    TMantisSession session(http, serverPath, report);
    if (!session.Send(session.Call("mc_version")))
        return false;
    const std::optional<TIssueValues> values = ChooseValues(session, report);
    const std::string issueId = values ? NewIssue(session, report, *values) : std::string();
    if (issueId.empty())
        return false;
    for (size_t index = 0; index < files.size(); ++index) {
        const TTrackerFile& file = files[index];
        if (file.size == 0)
            continue;
        TSoapCall attach = session.Call("mc_issue_attachment_add");
        attach.Parameter("issue_id", "xsd:long", issueId)
            .Parameter("name", "xsd:string", file.sendAsName)
            .Parameter("file_type", "xsd:string", std::string_view(GetMimeType(file.sendAsName)))
            .Base64FileParameter("content", index);
        if (!session.Send(attach))
            return false;
    }
    return true;
}
