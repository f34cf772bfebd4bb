#pragma once
// XML-RPC as the tracker's remote interface speaks it: one struct of named members per call,
// and the value or fault of its answer.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"
#include "trackers/TrackerExchange.h"
#include "trackers/XmlAnswer.h"

class TXmlRpcCall {
public:
    explicit TXmlRpcCall(std::string_view method);

    TXmlRpcCall& String(std::string_view name, std::u16string_view value);
    TXmlRpcCall& StringArray(std::string_view name, const std::vector<std::string>& values);
    TXmlRpcCall& IntArray(std::string_view name, const std::vector<std::string>& values);
    // The content of an attachment file (its index in the upload's list) as Base64.
    TXmlRpcCall& Base64File(std::string_view name, size_t file);

    TTrackerBody Body() const;

private:
    void Member(std::string_view name, const std::string& typedValue);

    std::string method_;
    TTrackerBody members_;
};

struct TXmlRpcAnswer {
    std::optional<TXmlElement> value; // the <value> of the answer's one parameter
    std::string fault;                // the fault's text; "" for a value
};
TXmlRpcAnswer ReadXmlRpcAnswer(std::string_view text);

// Reading values: the named member of a struct value, the items of an array value, the text
// of a scalar value (typed or not). Absent parts read as nullptr, nothing or "".
const TXmlElement* XmlRpcMember(const TXmlElement& value, std::string_view name);
std::vector<const TXmlElement*> XmlRpcItems(const TXmlElement* value);
std::string XmlRpcScalar(const TXmlElement* value);
