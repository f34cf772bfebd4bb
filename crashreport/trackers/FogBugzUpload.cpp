#include "trackers/FogBugzUpload.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "net/MailText.h"
#include "text/CaseFolding.h"
#include "text/TextEdit.h"
#include "text/Utf.h"
#include "trackers/TrackerList.h"
#include "trackers/XmlAnswer.h"

namespace {

// Servers that need clients of this version or newer speak a language we do not.
constexpr long kFirstUnsupportedMinVersion = 9;

using TArguments = std::vector<std::pair<std::string_view, UnicodeString>>;

TCharSet QueryEscapedBytes()
{
    TCharSet set;
    for (int c = 0; c < 256; ++c) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!plain)
            set.Add(static_cast<unsigned char>(c));
    }
    return set;
}

AnsiString QueryValue(std::u16string_view value)
{
    static const TCharSet escaped = QueryEscapedBytes();
    return EncodeBytes(WideToUTF8(value), '%', escaped);
}

UnicodeString Wide(const std::string& utf8) { return UTF8ToWide(utf8); }

// The path below the server's path that the API lives at; "/api.xml" names it relative to
// that path, with or without a leading "/".
std::string ApiPath(std::string_view basePath, std::string_view url)
{
    while (!url.empty() && url.front() == '/')
        url.remove_prefix(1);
    return std::string(basePath) + "/" + std::string(url);
}

// The <response> of an answer; none for an answer that is no XML or reports an error.
std::optional<TXmlElement> ResponseOf(const AnsiString& answer)
{
    std::optional<TXmlElement> root = ParseXmlAnswer(answer);
    if (!root || root->name == "error" || root->Find("error"))
        return std::nullopt;
    if (root->name == "response")
        return root;
    const TXmlElement* response = root->Find("response");
    if (!response)
        return std::nullopt;
    return *response;
}

TTrackerList ItemsOf(const TXmlElement& response, std::string_view item, std::string_view name,
                     const UnicodeString& requestedProject = {})
{
    TTrackerList list;
    for (const TXmlElement* entry : response.FindAll(item)) {
        const std::string project = entry->ChildText("sProject");
        list.Add(Wide(entry->ChildText(name)), {}, project.empty() ? requestedProject : Wide(project));
    }
    return list;
}

void SetField(std::vector<TFormField>& fields, std::u16string_view name, const UnicodeString& value)
{
    for (TFormField& field : fields) {
        if (SameTextW(field.name, name)) {
            field.value = value;
            return;
        }
    }
    fields.push_back({UnicodeString(name), value});
}

class TFogBugzSession {
public:
    TFogBugzSession(TTrackerExchange& http, std::string_view serverPath) : http_(http)
    {
        basePath_ = serverPath;
        while (!basePath_.empty() && basePath_.back() == '/')
            basePath_.pop_back();
    }

    bool FindApi()
    {
        AnsiString answer;
        if (!http_.Request("GET", basePath_ + "/api.xml", {}, {}, answer))
            return false;
        const std::optional<TXmlElement> root = ParseXmlAnswer(answer);
        if (!root)
            return false;
        const std::string url = root->name == "url" ? root->text : root->ChildText("url");
        const std::string minVersion = root->ChildText("minversion");
        const long min = std::strtol(minVersion.c_str(), nullptr, 10);
        if (url.empty() || min >= kFirstUnsupportedMinVersion)
            return false;
        api_ = ApiPath(basePath_, url);
        return true;
    }

    std::optional<TXmlElement> Command(std::string_view command, const TArguments& arguments)
    {
        std::string path = api_;
        if (path.find('?') == std::string::npos)
            path += '?';
        else if (path.back() != '?' && path.back() != '&')
            path += '&';
        path += ConcatA({"cmd=", command});
        for (const auto& [name, value] : arguments)
            path += ConcatA({"&", name, "=", QueryValue(value)});
        AnsiString answer;
        if (!http_.Request("GET", path, {}, {}, answer))
            return std::nullopt;
        return ResponseOf(answer);
    }

    bool LogOn(const TTrackerCase& report)
    {
        const std::optional<TXmlElement> answer = Command("logon", {{"email", report.account}, {"password", report.password}});
        token_ = answer ? Wide(answer->ChildText("token")) : UnicodeString();
        return !token_.empty();
    }

    const UnicodeString& Token() const { return token_; }

    void LogOff() { Command("logoff", {{"token", token_}}); }

    std::optional<TTrackerList> List(std::string_view command, TArguments arguments, std::string_view item,
                                     std::string_view name, const UnicodeString& project = {})
    {
        arguments.insert(arguments.begin(), {"token", token_});
        const std::optional<TXmlElement> answer = Command(command, arguments);
        if (!answer)
            return std::nullopt;
        return ItemsOf(*answer, item, name, project);
    }

    bool NewCase(std::vector<TFormField> fields, const std::vector<TTrackerFile>& files, bool alwaysUtf8)
    {
        SetField(fields, u"nFileCount", UTF8ToWide(std::to_string(files.size())));
        const AnsiString boundary = ChooseFormBoundary(fields, alwaysUtf8, [this, &files](std::string_view candidate) {
            for (size_t i = 0; i < files.size(); ++i) {
                if (http_.FileHolds(i, candidate))
                    return true;
            }
            return false;
        });
        TTrackerBody body(FormFieldParts(fields, alwaysUtf8, boundary));
        for (size_t i = 0; i < files.size(); ++i) {
            const TFormFile part{UTF8ToWide("File" + std::to_string(i + 1)), files[i].sendAsName, files[i].size};
            body += FormFilePartHeader(part, alwaysUtf8, boundary);
            body.AddFile(i, false);
        }
        body += FormClosingText(boundary);
        AnsiString answer;
        if (!http_.Request("POST", api_, {FormContentTypeHeader(boundary)}, body, answer))
            return false;
        const std::optional<TXmlElement> response = ResponseOf(answer);
        const TXmlElement* created = response ? response->Find("case") : nullptr;
        return created && created->Attribute("ixBug");
    }

private:
    TTrackerExchange& http_;
    std::string basePath_;
    std::string api_;
    UnicodeString token_;
};

struct TCaseChoices {
    UnicodeString project;
    UnicodeString area;
    UnicodeString category;
    UnicodeString assignee;
};

std::optional<TCaseChoices> ChooseFromLists(TFogBugzSession& session, const TTrackerCase& report)
{
    const auto projects = session.List("listProjects", {{"fWrite", u"1"}}, "project", "sProject");
    const TTrackerItem* project = projects ? projects->Find(report.project) : nullptr;
    // The areas are asked for in the server's own spelling of the project.
    const UnicodeString projectName = project ? project->name : report.project;
    const auto areas = projects ? session.List("listAreas", {{"sProject", projectName}}, "area", "sArea", projectName)
                                : std::nullopt;
    const auto categories = areas ? session.List("listCategories", {}, "category", "sCategory") : std::nullopt;
    const auto priorities = categories ? session.List("listPriorities", {}, "priority", "sPriority") : std::nullopt;
    const auto people = priorities ? session.List("listPeople", {}, "person", "sFullName") : std::nullopt;
    if (!people)
        return std::nullopt;
    TCaseChoices choices;
    if (project) {
        choices.project = project->name;
        const TTrackerItem* area = areas->FindInProject(report.area, projectName);
        if (!area)
            area = areas->FindInProject(u"not spam", projectName);
        choices.area = area ? area->name : UnicodeString();
    }
    choices.category = LookUpName(*categories, u"bug");
    const TTrackerItem* person = people->Find(report.assignee);
    choices.assignee = person ? person->name : UnicodeString();
    return choices;
}

} // namespace

bool UploadToFogBugz(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                     const std::vector<TTrackerFile>& files)
{
    TFogBugzSession session(http, serverPath);
    if (!session.FindApi() || !session.LogOn(report))
        return false;
    bool created = false;
    if (const std::optional<TCaseChoices> choices = ChooseFromLists(session, report)) {
        std::vector<TFormField> fields = report.fields;
        const std::pair<std::u16string_view, const UnicodeString*> values[] = {
            {u"sTitle", &report.title},           {u"sEvent", &report.description},
            {u"sProject", &choices->project},     {u"sArea", &choices->area},
            {u"sCategory", &choices->category},   {u"sPersonAssignedTo", &choices->assignee},
            {u"sVersion", &report.version},       {u"sComputer", &report.computerName},
            {u"sCustomerEmail", &report.sender},  {u"ixMailbox", &report.sender},
            {u"sScoutDescription", &report.callstackCrc}};
        SetField(fields, u"cmd", u"new");
        SetField(fields, u"token", session.Token());
        for (const auto& [name, value] : values)
            SetField(fields, name, *value);
        created = session.NewCase(std::move(fields), files, report.alwaysUtf8);
    }
    session.LogOff();
    return created;
}
