#include "MsxmlElement.h"

#include "ConduvexError.h"
#include "OleValues.h"

namespace {

// Newest first; older systems have only the later ones.
constexpr const wchar_t* kDocumentProgIds[] = {
    L"Msxml2.DOMDocument.6.0",
    L"Msxml2.DOMDocument.3.0",
    L"Microsoft.XMLDOM",
};

TComPtr<IXMLDOMDocument> TryCreateDocument(const wchar_t* progId)
{
    CLSID clsid;
    TComPtr<IXMLDOMDocument> document;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                         reinterpret_cast<void**>(document.Put()));
    return document;
}

} // namespace

TMsxmlElement::TMsxmlElement(TComPtr<IXMLDOMElement> element) : element_(std::move(element))
{
    if (!element_)
        throw EConduvexError("No XML element");
}

void* TMsxmlElement::FindInterface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IXmlElement))
        return static_cast<IXmlElement*>(this);
    return TMyInterfacedObject::FindInterface(iid);
}

bool TMsxmlElement::HasAttribute(const std::string& name)
{
    TComPtr<IXMLDOMAttribute> attribute;
    return element_->getAttributeNode(TBstr(name).Get(), attribute.Put()) == S_OK &&
           attribute;
}

std::optional<std::string> TMsxmlElement::GetAttribute(const std::string& name)
{
    TVariant value;
    // A missing attribute answers S_FALSE with a null value.
    if (element_->getAttribute(TBstr(name).Get(), value.Put()) != S_OK || value.IsNullOrEmpty())
        return std::nullopt;
    std::string text;
    if (!value.ToText(text))
        return std::nullopt;
    return text;
}

void TMsxmlElement::SetAttribute(const std::string& name, const std::string& value)
{
    TBstr text(value);
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.Get(); // still owned by `text`
    if (FAILED(element_->setAttribute(TBstr(name).Get(), variant)))
        throw EConduvexError("Cannot set the XML attribute \"" + name + "\"");
}

TComPtr<IXMLDOMDocument> CreateMsxmlDocument()
{
    for (const wchar_t* progId : kDocumentProgIds) {
        if (auto document = TryCreateDocument(progId))
            return document;
    }
    throw EConduvexError("No XML parser is installed");
}

TComPtr<IXMLDOMDocument> LoadMsxmlDocument(const std::string& xml)
{
    auto document = CreateMsxmlDocument();
    document->put_async(VARIANT_FALSE);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->loadXML(TBstr(xml).Get(), &loaded)) || loaded != VARIANT_TRUE)
        throw EConduvexError("The XML text is not well formed");
    return document;
}

TComPtr<IXMLDOMElement> DocumentElementOf(IXMLDOMDocument* document)
{
    TComPtr<IXMLDOMElement> element;
    if (document)
        document->get_documentElement(element.Put());
    return element;
}

TComPtr<IXMLDOMElement> SelectElement(IXMLDOMNode* parent, const std::string& xpath)
{
    TComPtr<IXMLDOMNode> node;
    if (!parent || parent->selectSingleNode(TBstr(xpath).Get(), node.Put()) != S_OK)
        return nullptr;
    return node.As<IXMLDOMElement>(IID_IXMLDOMElement);
}

std::string XmlTextOf(IXMLDOMNode* node)
{
    TBstr text;
    if (node)
        node->get_xml(text.Put());
    return text.ToString();
}
