// A form of any fields and files reads back through an independent MIME reader: the body is
// as long as announced, its parts are exactly the ones written, whatever the values and files
// hold, and every name, value and file's bytes come back. Names in plain ASCII go as they are
// (line breaks as blanks), unless they look like an encoded word or are longer than one, and
// go as encoded words then. The first input byte chooses UTF-8 (bit 0) and the number of fields (bits
// 1-3); the other bytes pair up as UTF-16 text, cut at U+0001 into a name and a value per
// field, then a field name, a file name and a content (its UTF-8 bytes) per file.
#include <algorithm>
#include <cstdint>

#include "FuzzProperty.h"
#include "MimeReader.h"
#include "net/MultipartForm.h"

namespace {

void CheckName(const std::optional<std::string>& written, const std::u16string& name, bool utf8)
{
    Require(written.has_value(), "name parameter missing");
    const bool plain = !utf8 && std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 128; }) &&
                       name.find(u"=?") == std::u16string::npos && name.size() <= 75;
    std::u16string expected = mime::AsSent(name);
    if (plain)
        std::replace_if(expected.begin(), expected.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    const auto read = plain ? mime::Decoded("iso-8859-1", *written) : mime::DecodeWords(*written);
    Require(read == expected, "name changed");
}

void CheckField(std::string_view part, const TFormField& field, bool utf8)
{
    const auto entity = mime::ReadEntity(part);
    Require(entity && entity->Field("content-disposition") && entity->Field("content-type") &&
                entity->Field("content-transfer-encoding"),
            "field headers");
    CheckName(mime::Parameter(*entity->Field("content-disposition"), "name"), field.name, utf8);
    const auto charset = mime::Parameter(*entity->Field("content-type"), "charset");
    Require(charset.has_value(), "field without charset");
    const std::string encoding = mime::Lowered(*entity->Field("content-transfer-encoding"));
    const auto bytes = encoding == "base64" ? mime::DecodeBase64(entity->content) : std::string(entity->content);
    Require(bytes && (encoding == "base64" || encoding == "8bit"), "field value's encoding");
    const auto value = mime::Decoded(*charset, *bytes);
    Require(value == (mime::Lowered(*charset) == "utf-8" ? mime::AsSent(field.value) : mime::WithCrLf(field.value)),
            "field value changed");
}

void CheckFile(std::string_view part, const TFormFile& file, const std::string& content, bool utf8)
{
    const auto entity = mime::ReadEntity(part);
    Require(entity && entity->Field("content-disposition"), "file headers");
    CheckName(mime::Parameter(*entity->Field("content-disposition"), "name"), file.fieldName, utf8);
    CheckName(mime::Parameter(*entity->Field("content-disposition"), "filename"), file.sendAsName, utf8);
    Require(entity->content == content, "file bytes changed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool utf8 = data[0] & 1;
    const size_t fieldCount = data[0] >> 1 & 7;
    const std::vector<std::u16string> texts = mime::Utf16Texts(data + 1, size - 1);
    std::vector<TFormField> fields;
    size_t at = 0;
    for (; fields.size() < fieldCount && at + 1 < texts.size(); at += 2)
        fields.push_back({texts[at], texts[at + 1]});
    std::vector<TFormFile> files;
    std::vector<std::string> contents;
    for (; at + 1 < texts.size(); at += 3) {
        contents.push_back(at + 2 < texts.size() ? WideToUTF8(texts[at + 2]) : std::string());
        files.push_back({texts[at], texts[at + 1], contents.back().size()});
    }

    const auto filesHold = [&contents](std::string_view candidate) {
        return std::any_of(contents.begin(), contents.end(), [candidate](const std::string& content) {
            return content.find(candidate) != std::string::npos;
        });
    };
    const AnsiString boundary = ChooseFormBoundary(fields, utf8, filesHold);
    std::string body = FormFieldParts(fields, utf8, boundary);
    for (size_t i = 0; i < files.size(); ++i)
        body += FormFilePartHeader(files[i], utf8, boundary) + contents[i];
    body += FormClosingText(boundary);
    Require(FormBodyLength(fields, files, utf8, boundary) == body.size(), "announced length differs");

    const auto header = mime::ReadEntity(FormContentTypeHeader(boundary) + "\r\n\r\n");
    Require(header && header->Field("content-type"), "content type header");
    const auto announced = mime::Parameter(*header->Field("content-type"), "boundary");
    Require(announced == boundary, "boundary parameter");
    const auto parts = mime::SplitMultipart(body, *announced);
    Require(parts && parts->size() == fields.size() + files.size(), "other parts than written");
    for (size_t i = 0; i < fields.size(); ++i)
        CheckField((*parts)[i], fields[i], utf8);
    for (size_t i = 0; i < files.size(); ++i)
        CheckFile((*parts)[fields.size() + i], files[i], contents[i], utf8);
    return 0;
}
