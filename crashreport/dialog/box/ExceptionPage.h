#pragma once
// The exception as a web page, for processes that answer a web server on standard output:
// the message, a button back, a button that uncovers the report, and the report in a text
// area. Every text is escaped, non-ASCII characters included, so the page is plain ASCII.
#include <string>
#include <string_view>

#include "text/ZelTypes.h"

struct TExceptionPageTexts {
    UnicodeString title;
    // Placeholders already expanded; its line breaks become <br>.
    UnicodeString message;
    UnicodeString continueCaption;
    bool continueVisible = true;
    UnicodeString showCaption;
    bool showVisible = true;
    // The report stands uncovered and no button is needed to show it.
    bool autoShowReport = false;
    UnicodeString report;
};

inline constexpr std::string_view kHtmlContentType = "Content-Type: text/html\r\n\r\n";

// The page (without the content-type lines).
std::string BuildExceptionPage(const TExceptionPageTexts& texts);

// Markup characters and quotes as entities, every character above 127 as a numeric reference,
// control characters other than tab and line breaks as the replacement character.
std::string HtmlEscape(std::u16string_view text);
