#include "trackers/SoapCall.h"

#include "text/TextEdit.h"
#include "text/Utf.h"

namespace {

constexpr char kEnvelopeStart[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:ns2=\"ns2\" SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><SOAP-ENV:Body>";
constexpr char kEnvelopeEnd[] = "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

} // namespace

std::string SoapElement(std::string_view name, std::string_view type, std::string_view value)
{
    return ConcatA({"<", name, " xsi:type=\"", type, "\">", EscapeXml(value), "</", name, ">"});
}

TSoapCall::TSoapCall(std::string_view method, std::u16string_view account, std::u16string_view password)
    : method_(method)
{
    Parameter("username", "xsd:string", account);
    Parameter("password", "xsd:string", password);
}

TSoapCall& TSoapCall::Parameter(std::string_view name, std::string_view type, std::string_view value)
{
    parameters_ += SoapElement(name, type, value);
    return *this;
}

TSoapCall& TSoapCall::Parameter(std::string_view name, std::string_view type, std::u16string_view value)
{
    return Parameter(name, type, std::string_view(WideToUTF8(value)));
}

TSoapCall& TSoapCall::RawParameter(std::string_view markup)
{
    parameters_ += markup;
    return *this;
}

TSoapCall& TSoapCall::Referenced(std::string_view markup)
{
    referenced_ += markup;
    return *this;
}

TSoapCall& TSoapCall::Base64FileParameter(std::string_view name, size_t file)
{
    parameters_ += ConcatA({"<", name, " xsi:type=\"xsd:base64Binary\">"});
    parameters_.AddFile(file, true);
    parameters_ += ConcatA({"</", name, ">"});
    return *this;
}

TTrackerBody TSoapCall::Body() const
{
    TTrackerBody body(kEnvelopeStart + ("<ns1:" + method_ + " xmlns:ns1=\"ns1\">"));
    body += parameters_;
    body += "</ns1:" + method_ + ">" + referenced_ + kEnvelopeEnd;
    return body;
}

std::optional<TXmlElement> ReadSoapReturn(std::string_view text)
{
    const std::optional<TXmlElement> root = ParseXmlAnswer(text);
    if (!root || root->name != "Envelope" || root->Find("Fault") || root->Find("faultstring"))
        return std::nullopt;
    const TXmlElement* body = root->Child("Body");
    const TXmlElement* found = body ? body->Find("return") : nullptr;
    if (!found)
        return std::nullopt;
    return *found;
}
