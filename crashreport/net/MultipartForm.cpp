#include "net/MultipartForm.h"

#include "net/MailText.h"
#include "net/MimeMail.h"

namespace {

AnsiString Delimiter() { return "\r\n--" + AnsiString(kMultipartBoundary) + "\r\n"; }

} // namespace

AnsiString FormContentTypeHeader()
{
    return "Content-Type: multipart/form-data; boundary=" + AnsiString(kMultipartBoundary);
}

AnsiString FormFieldParts(const std::vector<TFormField>& fields, bool alwaysUtf8)
{
    AnsiString parts;
    for (const TFormField& field : fields) {
        const TEncodedBody value = EncodeMailBody(field.value, alwaysUtf8);
        parts += Delimiter();
        parts += "Content-Disposition: form-data; name=\"" + EncodeWordIfNeeded(field.name, alwaysUtf8) + "\"\r\n";
        parts += "Content-Type: text/plain; charset=\"" + value.charset + "\"\r\n";
        parts += "Content-Transfer-Encoding: " + value.encoding + "\r\n\r\n";
        parts += value.text;
    }
    return parts;
}

AnsiString FormFilePartHeader(const TFormFile& file, bool alwaysUtf8)
{
    return Delimiter() + "Content-Disposition: form-data; name=\"" + EncodeWordIfNeeded(file.fieldName, alwaysUtf8) +
           "\"; filename=\"" + EncodeWordIfNeeded(file.sendAsName, alwaysUtf8) +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

AnsiString FormClosingText() { return "\r\n--" + AnsiString(kMultipartBoundary) + "--\r\n"; }

uint64_t FormBodyLength(const std::vector<TFormField>& fields, const std::vector<TFormFile>& files, bool alwaysUtf8)
{
    uint64_t length = FormFieldParts(fields, alwaysUtf8).size() + FormClosingText().size();
    for (const TFormFile& file : files)
        length += FormFilePartHeader(file, alwaysUtf8).size() + file.size;
    return length;
}
