#include "trackers/XmlRpcCall.h"

#include "text/Utf.h"

TXmlRpcCall::TXmlRpcCall(std::string_view method) : method_(EscapeXml(method)) {}

void TXmlRpcCall::Member(std::string_view name, const std::string& typedValue)
{
    members_ += "<member><name>" + EscapeXml(name) + "</name><value>" + typedValue + "</value></member>";
}

TXmlRpcCall& TXmlRpcCall::String(std::string_view name, std::u16string_view value)
{
    Member(name, "<string>" + EscapeXml(WideToUTF8(value)) + "</string>");
    return *this;
}

TXmlRpcCall& TXmlRpcCall::StringArray(std::string_view name, const std::vector<std::string>& values)
{
    std::string array = "<array><data>";
    for (const std::string& value : values)
        array += "<value><string>" + EscapeXml(value) + "</string></value>";
    Member(name, array + "</data></array>");
    return *this;
}

TXmlRpcCall& TXmlRpcCall::IntArray(std::string_view name, const std::vector<std::string>& values)
{
    std::string array = "<array><data>";
    for (const std::string& value : values)
        array += "<value><int>" + EscapeXml(value) + "</int></value>";
    Member(name, array + "</data></array>");
    return *this;
}

TXmlRpcCall& TXmlRpcCall::Base64File(std::string_view name, size_t file)
{
    members_ += "<member><name>" + EscapeXml(name) + "</name><value><base64>";
    members_.AddFile(file, true);
    members_ += "</base64></value></member>";
    return *this;
}

TTrackerBody TXmlRpcCall::Body() const
{
    TTrackerBody body("<?xml version=\"1.0\" encoding=\"UTF-8\"?><methodCall><methodName>" + method_ +
                      "</methodName><params><param><value><struct>");
    body += members_;
    body += "</struct></value></param></params></methodCall>";
    return body;
}

TXmlRpcAnswer ReadXmlRpcAnswer(std::string_view text)
{
    TXmlRpcAnswer answer;
    const std::optional<TXmlElement> root = ParseXmlAnswer(text);
    if (!root || root->name != "methodResponse") {
        answer.fault = "no XML-RPC answer";
        return answer;
    }
    if (const TXmlElement* fault = root->Child("fault")) {
        answer.fault = XmlRpcScalar(XmlRpcMember(fault->Child("value") ? *fault->Child("value") : *fault, "faultString"));
        if (answer.fault.empty())
            answer.fault = "fault";
        return answer;
    }
    const TXmlElement* params = root->Child("params");
    const TXmlElement* param = params ? params->Child("param") : nullptr;
    const TXmlElement* value = param ? param->Child("value") : nullptr;
    if (!value) {
        answer.fault = "no value in the answer";
        return answer;
    }
    answer.value = *value;
    return answer;
}

const TXmlElement* XmlRpcMember(const TXmlElement& value, std::string_view name)
{
    const TXmlElement* structure = value.Child("struct");
    if (!structure)
        return nullptr;
    for (const TXmlElement& member : structure->children) {
        if (member.name == "member" && member.ChildText("name") == name)
            return member.Child("value");
    }
    return nullptr;
}

std::vector<const TXmlElement*> XmlRpcItems(const TXmlElement* value)
{
    std::vector<const TXmlElement*> items;
    const TXmlElement* array = value ? value->Child("array") : nullptr;
    const TXmlElement* data = array ? array->Child("data") : nullptr;
    if (!data)
        return items;
    for (const TXmlElement& item : data->children) {
        if (item.name == "value")
            items.push_back(&item);
    }
    return items;
}

std::string XmlRpcScalar(const TXmlElement* value)
{
    if (!value)
        return {};
    // An untyped value is a string.
    return value->children.empty() ? value->text : value->children.front().text;
}
