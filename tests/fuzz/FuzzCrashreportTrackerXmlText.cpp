// Texts of any content in the calls the tracker uploads write (XML-RPC and SOAP) read back
// through an independent XML parser (expat) exactly, less the characters no XML document can
// hold, which arrive as U+FFFD. The input's byte pairs are the UTF-16 text.
#include <expat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzProperty.h"
#include "text/Utf.h"
#include "trackers/SoapCall.h"
#include "trackers/XmlRpcCall.h"

namespace {

// The character data of every element that holds no other, in document order.
class TLeafTexts {
public:
    std::optional<std::vector<std::string>> Read(const std::string& document)
    {
        const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"),
                                                                            XML_ParserFree);
        XML_SetUserData(parser.get(), this);
        XML_SetElementHandler(parser.get(), &TLeafTexts::Start, &TLeafTexts::End);
        XML_SetCharacterDataHandler(parser.get(), &TLeafTexts::Text);
        if (XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), XML_TRUE) != XML_STATUS_OK)
            return std::nullopt;
        return leaves_;
    }

private:
    static void Start(void* self, const XML_Char*, const XML_Char**)
    {
        auto& texts = *static_cast<TLeafTexts*>(self);
        texts.open_ = true;
        texts.text_.clear();
    }
    static void End(void* self, const XML_Char*)
    {
        auto& texts = *static_cast<TLeafTexts*>(self);
        if (texts.open_)
            texts.leaves_.push_back(texts.text_);
        texts.open_ = false;
    }
    static void Text(void* self, const XML_Char* text, int length)
    {
        static_cast<TLeafTexts*>(self)->text_.append(text, static_cast<size_t>(length));
    }

    bool open_ = false;
    std::string text_;
    std::vector<std::string> leaves_;
};

// U+FFFD for the characters XML 1.0 has no place for: C0 controls but tab, LF and CR, and U+FFFE
// and U+FFFF.
std::string Representable(std::u16string text)
{
    for (char16_t& c : text) {
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF)
            c = 0xFFFD;
    }
    return WideToUTF8(text);
}

std::string Joined(const TTrackerBody& body)
{
    std::string text;
    for (const TTrackerBodyPart& part : body.Parts())
        text += part.text;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string wide;
    for (size_t i = 0; i + 1 < size; i += 2)
        wide += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    const std::string text = WideToUTF8(wide);
    const std::string expected = Representable(wide);

    TXmlRpcCall call(text);
    call.String(text, wide).StringArray("list", {text, "b"});
    const auto rpc = TLeafTexts().Read(Joined(call.Body()));
    Require(rpc.has_value(), "XML-RPC call not well formed");
    Require(*rpc == std::vector<std::string>{expected, expected, expected, "list", expected, "b"},
            "XML-RPC texts changed");

    const std::string envelope = "<e xmlns:xsi=\"urn:x\">" + SoapElement("v", "xsd:string", text) + "</e>";
    const auto soap = TLeafTexts().Read(envelope);
    Require(soap.has_value(), "SOAP parameter not well formed");
    Require(*soap == std::vector<std::string>{expected}, "SOAP text changed");
    return 0;
}
