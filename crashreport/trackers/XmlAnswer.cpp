#include "trackers/XmlAnswer.h"

#include <cstdint>

namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kMaxElements = 200000;

std::string_view LocalName(std::string_view name)
{
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character an entity stands for; an unknown one is kept as written.
void AppendEntity(std::string& out, std::string_view entity)
{
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, character] : kNamed) {
        if (entity == name) {
            out += character;
            return;
        }
    }
    if (entity.size() >= 2 && entity.size() <= 10 && entity[0] == '#') {
        const bool hex = entity[1] == 'x' || entity[1] == 'X';
        const std::string_view digits = entity.substr(hex ? 2 : 1);
        uint32_t code = 0;
        bool valid = !digits.empty();
        for (const char c : digits) {
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            valid = valid && digit >= 0;
            code = valid ? code * (hex ? 16 : 10) + static_cast<uint32_t>(digit) : 0;
        }
        if (valid) {
            AppendUtf8(out, code);
            return;
        }
    }
    out += '&';
    out += entity;
    out += ';';
}

std::string DecodeText(std::string_view raw)
{
    std::string text;
    size_t at = 0;
    while (at < raw.size()) {
        const size_t amp = raw.find('&', at);
        const size_t semicolon = amp == std::string_view::npos ? amp : raw.find(';', amp);
        if (semicolon == std::string_view::npos) {
            text += raw.substr(at);
            break;
        }
        text += raw.substr(at, amp - at);
        AppendEntity(text, raw.substr(amp + 1, semicolon - amp - 1));
        at = semicolon + 1;
    }
    return text;
}

bool IsNameChar(char c)
{
    return c != '>' && c != '/' && c != '=' && c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '<' &&
           c != '"' && c != '\'';
}

class TXmlParser {
public:
    explicit TXmlParser(std::string_view text) : text_(text) {}

    std::optional<TXmlElement> Document()
    {
        if (!SkipMarkup())
            return std::nullopt;
        TXmlElement root;
        if (at_ >= text_.size() || !Element(root, 0))
            return std::nullopt;
        if (!SkipMarkup())
            return std::nullopt;
        SkipBlanks();
        if (at_ != text_.size())
            return std::nullopt;
        return root;
    }

private:
    void SkipBlanks()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool StartsWith(std::string_view prefix) const { return text_.substr(at_, prefix.size()) == prefix; }

    // Declarations, processing instructions, comments and a document type outside the root.
    bool SkipMarkup()
    {
        for (;;) {
            SkipBlanks();
            if (StartsWith("<?")) {
                if (!SkipPast("?>"))
                    return false;
            } else if (StartsWith("<!--")) {
                if (!SkipPast("-->"))
                    return false;
            } else if (StartsWith("<!")) {
                if (!SkipPast(">"))
                    return false;
            } else {
                return true;
            }
        }
    }

    bool SkipPast(std::string_view end)
    {
        const size_t found = text_.find(end, at_);
        if (found == std::string_view::npos)
            return false;
        at_ = found + end.size();
        return true;
    }

    std::string_view Name()
    {
        const size_t start = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_]))
            ++at_;
        return text_.substr(start, at_ - start);
    }

    bool Attributes(TXmlElement& element, bool& empty)
    {
        for (;;) {
            SkipBlanks();
            if (at_ >= text_.size())
                return false;
            if (text_[at_] == '>') {
                ++at_;
                empty = false;
                return true;
            }
            if (StartsWith("/>")) {
                at_ += 2;
                empty = true;
                return true;
            }
            const std::string_view name = Name();
            SkipBlanks();
            if (name.empty() || at_ >= text_.size() || text_[at_] != '=')
                return false;
            ++at_;
            SkipBlanks();
            if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\''))
                return false;
            const char quote = text_[at_++];
            const size_t end = text_.find(quote, at_);
            if (end == std::string_view::npos)
                return false;
            element.attributes.emplace_back(LocalName(name), DecodeText(text_.substr(at_, end - at_)));
            at_ = end + 1;
        }
    }

    bool Element(TXmlElement& element, int depth)
    {
        if (depth >= kMaxDepth || ++elements_ > kMaxElements || text_[at_] != '<')
            return false;
        ++at_;
        const std::string_view qualified = Name();
        if (qualified.empty())
            return false;
        element.name = LocalName(qualified);
        bool empty = false;
        if (!Attributes(element, empty))
            return false;
        if (empty)
            return true;
        for (;;) {
            const size_t tag = text_.find('<', at_);
            if (tag == std::string_view::npos)
                return false;
            element.text += DecodeText(text_.substr(at_, tag - at_));
            at_ = tag;
            if (StartsWith("</")) {
                at_ += 2;
                if (Name() != qualified)
                    return false;
                SkipBlanks();
                if (at_ >= text_.size() || text_[at_] != '>')
                    return false;
                ++at_;
                return true;
            }
            if (StartsWith("<![CDATA[")) {
                at_ += 9;
                const size_t end = text_.find("]]>", at_);
                if (end == std::string_view::npos)
                    return false;
                element.text += text_.substr(at_, end - at_);
                at_ = end + 3;
            } else if (StartsWith("<!--")) {
                if (!SkipPast("-->"))
                    return false;
            } else if (StartsWith("<?")) {
                if (!SkipPast("?>"))
                    return false;
            } else {
                element.children.emplace_back();
                if (!Element(element.children.back(), depth + 1))
                    return false;
            }
        }
    }

    std::string_view text_;
    size_t at_ = 0;
    size_t elements_ = 0;
};

void CollectAll(const TXmlElement& element, std::string_view name, std::vector<const TXmlElement*>& found)
{
    for (const TXmlElement& child : element.children) {
        if (child.name == name)
            found.push_back(&child);
        else
            CollectAll(child, name, found);
    }
}

} // namespace

const TXmlElement* TXmlElement::Child(std::string_view childName) const
{
    for (const TXmlElement& child : children) {
        if (child.name == childName)
            return &child;
    }
    return nullptr;
}

const TXmlElement* TXmlElement::Find(std::string_view descendantName) const
{
    for (const TXmlElement& child : children) {
        if (child.name == descendantName)
            return &child;
        if (const TXmlElement* found = child.Find(descendantName))
            return found;
    }
    return nullptr;
}

std::vector<const TXmlElement*> TXmlElement::FindAll(std::string_view descendantName) const
{
    std::vector<const TXmlElement*> found;
    CollectAll(*this, descendantName, found);
    return found;
}

const std::string* TXmlElement::Attribute(std::string_view attributeName) const
{
    for (const auto& [name, value] : attributes) {
        if (name == attributeName)
            return &value;
    }
    return nullptr;
}

std::string TXmlElement::ChildText(std::string_view childName) const
{
    const TXmlElement* child = Child(childName);
    return child ? child->text : std::string();
}

std::optional<TXmlElement> ParseXmlAnswer(std::string_view text) { return TXmlParser(text).Document(); }

std::string EscapeXml(std::string_view text)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        // Readers turn a bare CR LF into LF; the reference keeps the CR.
        case '\r': escaped += "&#13;"; break;
        case '\t':
        case '\n': escaped += c; break;
        default:
            // No XML document holds the other C0 controls, U+FFFE or U+FFFF, not even as references.
            if (static_cast<unsigned char>(c) < 0x20) {
                escaped += kReplacement;
            } else if (text.substr(at, 3) == "\xEF\xBF\xBE" || text.substr(at, 3) == "\xEF\xBF\xBF") {
                escaped += kReplacement;
                at += 2;
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}
