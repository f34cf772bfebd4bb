#pragma once
// SOAP 1.1 calls with encoded parameters as the tracker's SOAP interface takes them, and the
// <return> of their answers.
#include <optional>
#include <string>
#include <string_view>

#include "text/ZelTypes.h"
#include "trackers/TrackerExchange.h"
#include "trackers/XmlAnswer.h"

class TSoapCall {
public:
    // The account goes first in every call.
    TSoapCall(std::string_view method, std::u16string_view account, std::u16string_view password);

    // <name xsi:type="type">value</name>, the value escaped.
    TSoapCall& Parameter(std::string_view name, std::string_view type, std::string_view value);
    TSoapCall& Parameter(std::string_view name, std::string_view type, std::u16string_view value);
    // Ready markup: parameters that refer to objects, and the objects after the call's element.
    TSoapCall& RawParameter(std::string_view markup);
    TSoapCall& Referenced(std::string_view markup);
    // <name xsi:type="xsd:base64Binary"> with the content of an attachment file (its index in the
    // upload's list) as Base64.
    TSoapCall& Base64FileParameter(std::string_view name, size_t file);

    TTrackerBody Body() const;

private:
    std::string method_;
    TTrackerBody parameters_;
    std::string referenced_;
};

// <name xsi:type="type">escaped value</name>
std::string SoapElement(std::string_view name, std::string_view type, std::string_view value);

// The <return> of an answer; none for a fault or an answer that is no SOAP.
std::optional<TXmlElement> ReadSoapReturn(std::string_view text);
