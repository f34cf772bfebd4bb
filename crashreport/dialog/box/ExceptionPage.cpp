#include "dialog/box/ExceptionPage.h"

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsControl(char32_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || (c >= 0x7F && c < 0xA0);
}

void AppendCodePoint(std::string& out, char32_t c)
{
    if (IsControl(c))
        c = kReplacement;
    switch (c) {
    case U'&':
        out += "&amp;";
        return;
    case U'<':
        out += "&lt;";
        return;
    case U'>':
        out += "&gt;";
        return;
    case U'"':
        out += "&quot;";
        return;
    case U'\'':
        out += "&#39;";
        return;
    default:
        break;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    out += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
}

// The message: escaped, each line break (CR LF, CR or LF) as <br> and a line break.
std::string MessageMarkup(std::u16string_view message)
{
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= message.size(); ++i) {
        if (i < message.size() && message[i] != u'\r' && message[i] != u'\n')
            continue;
        out += HtmlEscape(message.substr(start, i - start));
        if (i == message.size())
            break;
        out += "<br>";
        out += kLineBreak;
        if (message[i] == u'\r' && i + 1 < message.size() && message[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    return out;
}

std::string ButtonMarkup(std::string_view onClick, const UnicodeString& caption)
{
    return "<button onClick=\"" + std::string(onClick) + "\" style=\"height:19.5pt;\">&nbsp;" + HtmlEscape(caption) +
           "&nbsp;</button>";
}

} // namespace

std::string HtmlEscape(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendCodePoint(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            AppendCodePoint(out, kReplacement);
        } else {
            AppendCodePoint(out, c);
        }
    }
    return out;
}

std::string BuildExceptionPage(const TExceptionPageTexts& texts)
{
    const UnicodeString continueCaption = texts.continueVisible ? texts.continueCaption : u"continue application";
    const bool showButton = !texts.autoShowReport && texts.showVisible;
    std::string page;
    const auto line = [&page](std::string_view piece) {
        page += piece;
        page += kLineBreak;
    };
    line("<html><head><title>" + HtmlEscape(texts.title) + "</title></head><body>");
    line("<table border=\"0\" width=\"100%\" height=\"100%\">");
    line("<tr><td colspan=4 style=\"height:2pt;\"></td></tr>");
    line("<tr><td colspan=4 valign=\"top\"><p style=\"font-family:Tahoma,'MS Sans Serif';font-size:13pt;"
         "margin-left:4px;\">" +
         MessageMarkup(texts.message) + "</p></td></tr>");
    line("<tr><td colspan=4 style=\"height:8pt;\"></td></tr>");
    line("<tr><td>" + ButtonMarkup("history.back();", continueCaption) + "</td>");
    line("<td><p>&nbsp;&nbsp;</p></td>");
    line("<td>" +
         (showButton ? ButtonMarkup("document.getElementById('bugReport').style.visibility='visible';"
                                    "this.style.visibility='hidden';",
                                    texts.showCaption)
                     : std::string("&nbsp;")) +
         "</td>");
    line("<td width=\"100%\"></td></tr>");
    line("<tr><td colspan=4 style=\"height:8pt;\"></td></tr>");
    line("<tr><td colspan=4 height=\"100%\">");
    line(std::string("<textarea id=\"bugReport\" readonly cols=\"80\" rows=\"20\" style=\"width:100%;height:100%;") +
         (texts.autoShowReport ? "" : "visibility:hidden;") + "\">");
    page += HtmlEscape(texts.report);
    page += "</textarea></td></tr></table></body></html>";
    return page;
}
