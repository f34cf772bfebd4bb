#include "trackers/BugZillaUpload.h"

#include <map>
#include <optional>
#include <string>

#include "net/MailText.h"
#include "text/Utf.h"
#include "trackers/TrackerList.h"
#include "trackers/XmlRpcCall.h"

namespace {

UnicodeString Wide(const std::string& utf8) { return UTF8ToWide(utf8); }

class TBugZillaSession {
public:
    TBugZillaSession(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report)
        : http_(http), report_(report)
    {
        path_ = serverPath;
        while (!path_.empty() && path_.back() == '/')
            path_.pop_back();
        path_ += "/xmlrpc.cgi";
    }

    // Every call carries the account.
    TXmlRpcCall Call(std::string_view method) const
    {
        TXmlRpcCall call(method);
        call.String("Bugzilla_login", report_.account).String("Bugzilla_password", report_.password);
        return call;
    }

    std::optional<TXmlElement> Send(const TXmlRpcCall& call)
    {
        AnsiString answer;
        if (!http_.Request("POST", path_, {"Content-Type: text/xml"}, call.Body(), answer))
            return std::nullopt;
        return ReadXmlRpcAnswer(answer).value;
    }

private:
    TTrackerExchange& http_;
    const TTrackerCase& report_;
    std::string path_;
};

struct TProducts {
    TTrackerList products;
    TTrackerList components; // with their product
    TTrackerList versions;   // with their product
};

std::optional<TProducts> FetchProducts(TBugZillaSession& session)
{
    const std::optional<TXmlElement> enterable = session.Send(session.Call("Product.get_enterable_products"));
    if (!enterable)
        return std::nullopt;
    std::vector<std::string> ids;
    for (const TXmlElement* id : XmlRpcItems(XmlRpcMember(*enterable, "ids")))
        ids.push_back(XmlRpcScalar(id));
    TXmlRpcCall get = session.Call("Product.get");
    const std::optional<TXmlElement> answer = session.Send(get.IntArray("ids", ids));
    if (!answer)
        return std::nullopt;
    TProducts found;
    for (const TXmlElement* product : XmlRpcItems(XmlRpcMember(*answer, "products"))) {
        const UnicodeString name = Wide(XmlRpcScalar(XmlRpcMember(*product, "name")));
        found.products.Add(name);
        for (const TXmlElement* component : XmlRpcItems(XmlRpcMember(*product, "components")))
            found.components.Add(Wide(XmlRpcScalar(XmlRpcMember(*component, "name"))), {}, name);
        for (const TXmlElement* version : XmlRpcItems(XmlRpcMember(*product, "versions")))
            found.versions.Add(Wide(XmlRpcScalar(XmlRpcMember(*version, "name"))), {}, name);
    }
    return found;
}

// The allowed values of the bug fields, by field name.
std::optional<std::map<std::string, TTrackerList>> FetchFieldValues(TBugZillaSession& session)
{
    const std::optional<TXmlElement> answer = session.Send(session.Call("Bug.fields"));
    if (!answer)
        return std::nullopt;
    std::map<std::string, TTrackerList> values;
    for (const TXmlElement* field : XmlRpcItems(XmlRpcMember(*answer, "fields"))) {
        TTrackerList& list = values[XmlRpcScalar(XmlRpcMember(*field, "name"))];
        for (const TXmlElement* value : XmlRpcItems(XmlRpcMember(*field, "values"))) {
            const TXmlElement* name = XmlRpcMember(*value, "name");
            list.Add(Wide(name ? XmlRpcScalar(name) : XmlRpcScalar(value)));
        }
    }
    return values;
}

const TTrackerList& FieldValues(const std::map<std::string, TTrackerList>& values, std::string_view name,
                                std::string_view otherName = {})
{
    static const TTrackerList kNone;
    auto found = values.find(std::string(name));
    if ((found == values.end() || found->second.Empty()) && !otherName.empty())
        found = values.find(std::string(otherName));
    return found == values.end() ? kNone : found->second;
}

UnicodeString InProject(const TTrackerList& list, std::u16string_view wanted, std::u16string_view project)
{
    const TTrackerItem* item = list.FindOrFirstInProject(wanted, project);
    return item ? item->name : UnicodeString(wanted);
}

UnicodeString OperatingSystem(const TTrackerList& allowed, const UnicodeString& reported)
{
    if (const TTrackerItem* item = allowed.Find(reported))
        return item->name;
    return LookUpName(allowed, u"other");
}

UnicodeString Alias(const UnicodeString& callstackCrc)
{
    UnicodeString alias;
    for (const char16_t c : callstackCrc) {
        if (c != u' ' && c != u',')
            alias += c;
    }
    return alias;
}

std::string NewBug(TBugZillaSession& session, const TTrackerCase& report, const TProducts& products,
                   const std::map<std::string, TTrackerList>& values)
{
    const UnicodeString product = LookUpName(products.products, report.project);
    TXmlRpcCall create = session.Call("Bug.create");
    create.String("product", product)
        .String("component", InProject(products.components, report.area, product))
        .String("summary", report.title)
        .String("version", InProject(products.versions, report.version, product))
        .String("description", report.description)
        .String("op_sys", OperatingSystem(FieldValues(values, "op_sys"), report.operatingSystem))
        .String("alias", Alias(report.callstackCrc))
        .String("priority", LookUpName(FieldValues(values, "priority"), u"P2"))
        .String("severity", LookUpName(FieldValues(values, "bug_severity", "severity"), u"normal"))
        .String("platform", LookUpName(FieldValues(values, "rep_platform", "platform"), u"PC"))
        .String("assigned_to", report.assignee);
    const std::optional<TXmlElement> answer = session.Send(create);
    return answer ? XmlRpcScalar(XmlRpcMember(*answer, "id")) : std::string();
}

} // namespace

bool UploadToBugZilla(TTrackerExchange& http, std::string_view serverPath, const TTrackerCase& report,
                      const std::vector<TTrackerFile>& files)
{
    TBugZillaSession session(http, serverPath, report);
    if (!session.Send(session.Call("Bugzilla.version")))
        return false;
    const std::optional<TProducts> products = FetchProducts(session);
    const auto values = products ? FetchFieldValues(session) : std::nullopt;
    if (!values)
        return false;
    const std::string id = NewBug(session, report, *products, *values);
    if (id.empty())
        return false;
    for (size_t index = 0; index < files.size(); ++index) {
        const TTrackerFile& file = files[index];
        if (file.size == 0)
            continue;
        TXmlRpcCall attach = session.Call("Bug.add_attachment");
        attach.StringArray("exclude_fields", {"data"})
            .IntArray("ids", {id})
            .String("file_name", file.sendAsName)
            .String("summary", file.sendAsName)
            .String("content_type", UTF8ToWide(GetMimeType(file.sendAsName)))
            .Base64File("data", index);
        if (!session.Send(attach))
            return false;
    }
    return true;
}
