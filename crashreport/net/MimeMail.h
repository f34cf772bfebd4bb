#pragma once
// The texts of a multipart/mixed report mail: header and text part, attachment parts, the
// closing delimiter, and the dot-stuffing of everything sent after DATA. The boundary is chosen
// with the text part, whose 8bit text may hold the usual one; attachments go as Base64.
#include <cstdint>
#include <string_view>

#include "net/MimeBoundary.h"
#include "text/ZelTypes.h"

// Base64 attachment lines carry this many bytes each.
constexpr size_t kAttachmentLineBytes = 255;

struct TUtcTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    uint64_t fileTime = 0; // 100-ns units since 1601
};

struct TMailHeaderInput {
    std::u16string_view to;      // the first recipient item
    std::u16string_view from;    // sender item
    std::u16string_view replyTo; // item
    std::u16string_view subject;
    std::u16string_view body;
    TUtcTime now;
    bool alwaysUtf8 = false;
};

// A body in its transfer form: ISO-8859-1 "8bit" with CR LF line ends, or "base64" in lines of
// 76 characters: UTF-8, or ISO-8859-1 that has a line too long for 8bit.
struct TEncodedBody {
    AnsiString charset;
    AnsiString encoding;
    AnsiString text; // ends without a line break
};
TEncodedBody EncodeMailBody(std::u16string_view body, bool alwaysUtf8);

struct TMailHeaderText {
    AnsiString boundary; // for the parts that follow
    AnsiString text;     // from "To:" to the text part's body and its CR LF
};
TMailHeaderText MailHeaderText(const TMailHeaderInput& input);
// The delimiter and headers of one attachment, up to the empty line.
AnsiString AttachmentPartHeader(std::string_view boundary, std::u16string_view sendAsName, bool alwaysUtf8);
// One Base64 line of an attachment block.
AnsiString AttachmentLine(const uint8_t* block, size_t length);
AnsiString MailClosingText(std::string_view boundary);

// Doubles the dot at the start of every line (RFC 5321 4.5.2) across any cut of the stream
// into pieces, so that no line of the mail can end it early.
class TDotStuffer {
public:
    AnsiString Apply(std::string_view piece);

private:
    bool atLineStart_ = true;
};
