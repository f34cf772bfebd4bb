// The report text written from any header fields and sections reads back through the views'
// parser as they were, less what the format promises to change: names and values on one line,
// names trimmed, body lines without trailing blanks and an empty or "." line read as empty, a
// body not yet calculated as the placeholder. The input's bytes are widened to UTF-16 and cut
// at 0x01 into texts: the first byte's low three bits count the header fields (name, value),
// the texts after them pair up as sections (title, body), and a last title alone has no body.
#include <cstdint>

#include "FuzzProperty.h"
#include "dialog/ReportContent.h"
#include "report/ReportText.h"
#include "text/TextEdit.h"

namespace {

std::vector<UnicodeString> Texts(const uint8_t* data, size_t size)
{
    std::vector<UnicodeString> texts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 1)
            texts.emplace_back();
        else
            texts.back() += static_cast<char16_t>(data[i]);
    }
    return texts;
}

TReportFacts Facts(const std::vector<UnicodeString>& texts, size_t fields)
{
    TReportFacts facts;
    size_t at = 0;
    for (; at < fields * 2 && at + 1 < texts.size(); at += 2)
        facts.header.push_back({texts[at], texts[at + 1]});
    for (; at < texts.size(); at += 2) {
        std::optional<UnicodeString> body;
        if (at + 1 < texts.size())
            body = texts[at + 1];
        facts.sections.push_back({texts[at], body});
    }
    return facts;
}

// The name's line is split at its first ": ", which must be the one after the padding.
bool NameReadsBack(const UnicodeString& name)
{
    return (SingleLineValue(name) + u' ').find(u": ") == UnicodeString::npos;
}

UnicodeString ExpectedTitle(const UnicodeString& title)
{
    UnicodeString line = SingleLineValue(title);
    if (line.find(u':') == UnicodeString::npos)
        line += u':';
    return line;
}

// Line by line at CR LF, CR and LF: trailing blanks go, and a line left "." reads as empty.
UnicodeString ExpectedBody(const std::optional<UnicodeString>& body)
{
    const std::u16string_view text = body ? std::u16string_view(*body) : kSectionPlaceholder;
    UnicodeString expected;
    UnicodeString line;
    const auto endLine = [&] {
        while (!line.empty() && line.back() == u' ')
            line.pop_back();
        if (line != u".")
            expected += line;
        line.clear();
    };
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != u'\r' && text[at] != u'\n') {
            line += text[at];
            continue;
        }
        endLine();
        expected += u"\r\n";
        if (text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n')
            ++at;
    }
    endLine();
    return expected;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<UnicodeString> texts = Texts(data + 1, size - 1);
    const TReportFacts facts = Facts(texts, data[0] & 7);
    for (const THeaderField& field : facts.header) {
        if (!NameReadsBack(field.name))
            return 0;
    }
    const TReportContent read = ParseReportText(ReportText(facts));

    Require(read.header.size() == facts.header.size(), "another number of header fields");
    for (size_t i = 0; i < facts.header.size(); ++i) {
        Require(read.header[i].first == TrimW(SingleLineValue(facts.header[i].name)), "header name changed");
        Require(read.header[i].second == SingleLineValue(facts.header[i].value), "header value changed");
    }
    Require(read.sections.size() == facts.sections.size(), "another number of sections");
    for (size_t i = 0; i < facts.sections.size(); ++i) {
        Require(read.sections[i].first == ExpectedTitle(facts.sections[i].title), "section title changed");
        Require(read.sections[i].second == ExpectedBody(facts.sections[i].body), "section body changed");
    }
    return 0;
}
