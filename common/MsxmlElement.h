#pragma once
// The library's XML element: an MSXML DOM element reached through COM. The caller's
// thread must have initialised COM.
#include "ComPtr.h"
#include "InterfacedObject.h"
#include "XmlElement.h"

#include <ole2.h>
#include <msxml2.h>

#include <string>

class TMsxmlElement : public TMyInterfacedObject, public virtual IXmlElement {
public:
    // Throws EConduvexError for a nil element.
    explicit TMsxmlElement(TComPtr<IXMLDOMElement> element);

    bool HasAttribute(const std::string& name) override;
    std::optional<std::string> GetAttribute(const std::string& name) override;
    // Throws EConduvexError when the element refuses the attribute.
    void SetAttribute(const std::string& name, const std::string& value) override;

    IXMLDOMElement* Element() const { return element_.Get(); }

protected:
    void* FindInterface(REFIID iid) override;

private:
    TComPtr<IXMLDOMElement> element_;
};

// An empty DOM document of the newest MSXML installed; throws EConduvexError without one.
TComPtr<IXMLDOMDocument> CreateMsxmlDocument();
// Parses the text into a new document; throws EConduvexError when it is not well formed.
TComPtr<IXMLDOMDocument> LoadMsxmlDocument(const std::string& xml);
// Null for an empty document.
TComPtr<IXMLDOMElement> DocumentElementOf(IXMLDOMDocument* document);
// The first element below the parent that the XPath expression selects; null when none.
TComPtr<IXMLDOMElement> SelectElement(IXMLDOMNode* parent, const std::string& xpath);
// The node serialised as XML text.
std::string XmlTextOf(IXMLDOMNode* node);
