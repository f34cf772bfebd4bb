#pragma once
// Answers of the bug trackers' XML interfaces read into a small element tree. Element and
// attribute names lose their namespace prefix; character data has its entities decoded and
// CDATA sections taken as they stand. Answers that are not well formed, or nest or grow beyond
// what any tracker sends, are refused as a whole.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TXmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    // The character data directly inside, its pieces joined.
    std::string text;
    std::vector<TXmlElement> children;

    const TXmlElement* Child(std::string_view childName) const;
    // The first element of that name below this one, depth first.
    const TXmlElement* Find(std::string_view descendantName) const;
    // Every element of that name below this one, depth first; none below a match.
    std::vector<const TXmlElement*> FindAll(std::string_view descendantName) const;
    const std::string* Attribute(std::string_view attributeName) const;
    // The text of the named child; empty when there is none.
    std::string ChildText(std::string_view childName) const;
};

// The document's root element.
std::optional<TXmlElement> ParseXmlAnswer(std::string_view text);

// "&", "<", ">", '"' and "'" written as entities, CR as a character reference; the characters no
// XML document can hold (C0 controls other than tab, LF and CR; U+FFFE, U+FFFF) as U+FFFD.
std::string EscapeXml(std::string_view text);
