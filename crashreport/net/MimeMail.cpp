#include "net/MimeMail.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "crypto/Base64.h"
#include "net/MailText.h"
#include "text/TextEdit.h"
#include "text/Utf.h"

namespace {

constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kBase64LineLength = 76;
constexpr std::string_view kCrLf = "\r\n";
// RFC 5322's limit of a line without its CR LF; longer lines cannot go as 8bit.
constexpr size_t kMaxLineLength = 998;

AnsiString DateText(const TUtcTime& time)
{
    char text[64];
    const int month = time.month >= 1 && time.month <= 12 ? time.month - 1 : 0;
    std::snprintf(text, sizeof(text), "%d %s %d %02d:%02d:%02d UT", time.day, kMonths[static_cast<size_t>(month)],
                  time.year, time.hour, time.minute, time.second);
    return text;
}

AnsiString MessageId(uint64_t fileTime)
{
    char digits[17];
    std::snprintf(digits, sizeof(digits), "%016llX", static_cast<unsigned long long>(fileTime));
    return ConcatA({"<", digits + 1, "@zelExcept>"});
}

// Bare CR and LF become CR LF, as 8bit text must have them.
AnsiString WithCrLf(std::string_view text)
{
    AnsiString out;
    out.reserve(text.size() + text.size() / 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += kCrLf;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool HasOverlongLine(std::string_view text)
{
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find(kCrLf, start), text.size());
        if (end - start > kMaxLineLength)
            return true;
        start = end + kCrLf.size();
    }
    return false;
}

AnsiString InLines(std::string_view base64)
{
    AnsiString out;
    for (size_t start = 0; start < base64.size(); start += kBase64LineLength) {
        if (start != 0)
            out += kCrLf;
        out += base64.substr(start, kBase64LineLength);
    }
    return out;
}

AnsiString Delimiter(std::string_view boundary) { return "--" + AnsiString(boundary) + AnsiString(kCrLf); }

} // namespace

TEncodedBody EncodeMailBody(std::u16string_view body, bool alwaysUtf8)
{
    if (alwaysUtf8 || !FitsLatin1(body))
        return {"utf-8", "base64", InLines(EncodeBase64Str(WideToUTF8(body)))};
    AnsiString latin1 = WithCrLf(ToLatin1(body));
    if (HasOverlongLine(latin1))
        return {"iso-8859-1", "base64", InLines(EncodeBase64Str(latin1))};
    return {"iso-8859-1", "8bit", std::move(latin1)};
}

TMailHeaderText MailHeaderText(const TMailHeaderInput& input)
{
    const TEncodedBody body = EncodeMailBody(input.body, input.alwaysUtf8);
    const AnsiString boundary =
        ChooseBoundary([&body](std::string_view candidate) { return body.text.find(candidate) != AnsiString::npos; });
    AnsiString text;
    auto line = [&text](std::string_view content) {
        text += content;
        text += kCrLf;
    };
    line("To: " + FormatMailAddress(input.to, true, input.alwaysUtf8, kFoldedWords));
    line("From: " + FormatMailAddress(input.from, true, input.alwaysUtf8, kFoldedWords));
    line("Reply-To: " + FormatMailAddress(input.replyTo, true, input.alwaysUtf8, kFoldedWords));
    line("Subject: " + EncodeSubject(input.subject, input.alwaysUtf8, kFoldedWords));
    line("Date: " + DateText(input.now));
    line("Message-ID: " + MessageId(input.now.fileTime));
    line("MIME-Version: 1.0");
    line("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
    line("");
    line("This is a multi-part message in MIME format.");
    line("");
    text += Delimiter(boundary);
    line("Content-Type: text/plain; charset=\"" + body.charset + "\"");
    line("Content-Transfer-Encoding: " + body.encoding);
    line("");
    line(body.text);
    return {boundary, text};
}

// The type's name is the encoded word older readers show; the standard filename parameter
// (RFC 2231) is what others read.
AnsiString AttachmentPartHeader(std::string_view boundary, std::u16string_view sendAsName, bool alwaysUtf8)
{
    return Delimiter(boundary) + "Content-Type: " + GetMimeType(sendAsName) + "; " +
           QuotedParameter("name", EncodeWordIfNeeded(sendAsName, alwaysUtf8, kOneLineWords)) + "\r\n" +
           "Content-Transfer-Encoding: base64\r\n" + "Content-Disposition: attachment; " +
           NameParameter("filename", sendAsName, alwaysUtf8) + "\r\n\r\n";
}

AnsiString AttachmentLine(const uint8_t* block, size_t length) { return EncodeBase64(block, length) + "\r\n"; }

AnsiString MailClosingText(std::string_view boundary) { return "--" + AnsiString(boundary) + "--\r\n"; }

AnsiString TDotStuffer::Apply(std::string_view piece)
{
    AnsiString out;
    out.reserve(piece.size() + 8);
    for (const char c : piece) {
        if (atLineStart_ && c == '.')
            out += '.';
        out += c;
        atLineStart_ = c == '\n';
    }
    return out;
}
