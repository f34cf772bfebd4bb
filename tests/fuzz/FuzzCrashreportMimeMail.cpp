// A report mail of any addresses, subject, body and attachments, dot-stuffed in pieces of any
// size, reads back through an independent MIME reader: the stuffing undoes to the mail, its
// header has exactly the fields written (no text starts one of its own), the subject, the body
// and every attachment's name and bytes come back, and the parts are exactly the ones written.
// The first input byte chooses UTF-8 (bit 0) and the piece size; the other bytes pair up as
// UTF-16 text, cut at U+0001 into recipient, sender, reply address, subject, body, then a name
// and a content (its UTF-8 bytes) per attachment.
#include <algorithm>
#include <cstdint>

#include "FuzzProperty.h"
#include "MimeReader.h"
#include "net/MimeMail.h"

namespace {

// The receiver's side: the first dot of a line that starts with one is dropped.
std::string Unstuffed(std::string_view sent)
{
    std::string mail;
    bool lineStart = true;
    for (const char c : sent) {
        if (!(lineStart && c == '.'))
            mail += c;
        lineStart = c == '\n';
    }
    return mail;
}

void CheckTextPart(std::string_view part, const std::u16string& body)
{
    const auto entity = mime::ReadEntity(part);
    Require(entity && entity->Field("content-type") && entity->Field("content-transfer-encoding"), "text part headers");
    const auto charset = mime::Parameter(*entity->Field("content-type"), "charset");
    Require(charset.has_value(), "text part without charset");
    const std::string encoding = mime::Lowered(*entity->Field("content-transfer-encoding"));
    std::optional<std::string> bytes = std::string(entity->content);
    if (encoding == "base64")
        bytes = mime::DecodeBase64(entity->content);
    else
        Require(encoding == "8bit", "unknown transfer encoding");
    Require(bytes.has_value(), "text part not Base64");
    const auto text = mime::Decoded(*charset, *bytes);
    Require(text.has_value(), "unknown charset");
    Require(*text == (mime::Lowered(*charset) == "utf-8" ? mime::AsSent(body) : mime::WithCrLf(body)), "body changed");
}

void CheckAttachment(std::string_view part, const std::u16string& name, const std::string& content)
{
    const auto entity = mime::ReadEntity(part);
    Require(entity && entity->Field("content-type") && entity->Field("content-disposition"), "attachment headers");
    Require(mime::Parameter(*entity->Field("content-type"), "name").has_value(), "attachment type without name");
    const auto fileName = mime::Parameter(*entity->Field("content-disposition"), "filename");
    Require(fileName && UTF8ToWide(*fileName) == mime::AsSent(name), "attachment name changed");
    Require(mime::DecodeBase64(entity->content) == content, "attachment bytes changed");
}

// A subject of any length is folded into lines within the limit of 998 characters (RFC 5322).
bool SubjectLinesWithin(std::string_view mail)
{
    const size_t start = mail.find("\r\nSubject: ");
    const size_t end = mail.find("\r\nDate: ");
    if (start == std::string_view::npos || end == std::string_view::npos)
        return false;
    for (size_t at = start + 2; at < end;) {
        const size_t lineEnd = mail.find("\r\n", at);
        if (lineEnd - at > 998)
            return false;
        at = lineEnd + 2;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool utf8 = data[0] & 1;
    const size_t pieceSize = 1 + (data[0] >> 1);
    std::vector<std::u16string> texts = mime::Utf16Texts(data + 1, size - 1);
    texts.resize(std::max<size_t>(texts.size(), 5));

    TMailHeaderInput input{texts[0], texts[1], texts[2], texts[3], texts[4], {2024, 5, 6, 7, 8, 9, 0x1D99F}, utf8};
    const TMailHeaderText header = MailHeaderText(input);
    std::string mail = header.text;
    std::vector<std::pair<std::u16string, std::string>> attachments;
    for (size_t i = 5; i < texts.size(); i += 2) {
        attachments.emplace_back(texts[i], i + 1 < texts.size() ? WideToUTF8(texts[i + 1]) : std::string());
        const auto& [name, content] = attachments.back();
        mail += AttachmentPartHeader(header.boundary, name, utf8);
        for (size_t at = 0; at < content.size(); at += kAttachmentLineBytes)
            mail += AttachmentLine(reinterpret_cast<const uint8_t*>(content.data()) + at,
                                   std::min(kAttachmentLineBytes, content.size() - at));
    }
    mail += MailClosingText(header.boundary);

    TDotStuffer stuffer;
    std::string sent;
    for (size_t at = 0; at < mail.size(); at += pieceSize)
        sent += stuffer.Apply(std::string_view(mail).substr(at, pieceSize));
    Require(sent.find("\r\n.\r\n") == std::string::npos, "a line of the mail ends it");
    Require(Unstuffed(sent) == mail, "dot-stuffing does not undo");

    const auto message = mime::ReadEntity(mail);
    Require(message.has_value(), "mail header unreadable");
    std::vector<std::string> names;
    for (const auto& field : message->fields)
        names.push_back(field.first);
    Require(names == std::vector<std::string>{"to", "from", "reply-to", "subject", "date", "message-id",
                                              "mime-version", "content-type"},
            "other header fields than written");
    Require(mime::DecodeWords(*message->Field("subject")) == mime::AsSent(texts[3]), "subject changed");
    Require(SubjectLinesWithin(mail), "a subject line longer than the limit");
    const auto boundary = mime::Parameter(*message->Field("content-type"), "boundary");
    Require(boundary == header.boundary, "boundary parameter");
    const auto parts = mime::SplitMultipart(message->content, *boundary);
    Require(parts && parts->size() == attachments.size() + 1, "other parts than written");
    CheckTextPart((*parts)[0], texts[4]);
    for (size_t i = 0; i < attachments.size(); ++i)
        CheckAttachment((*parts)[i + 1], attachments[i].first, attachments[i].second);
    return 0;
}
