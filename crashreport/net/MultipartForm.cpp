#include "net/MultipartForm.h"

#include <algorithm>

#include "net/MailText.h"
#include "net/MimeMail.h"

namespace {

AnsiString Delimiter(std::string_view boundary) { return "\r\n--" + AnsiString(boundary) + "\r\n"; }

// Names as quoted strings with quoted pairs; names outside ASCII as encoded words in them, as
// form readers do not take RFC 2231's form (RFC 7578 4.2).
AnsiString FormNameParameter(std::string_view attribute, std::u16string_view name, bool alwaysUtf8)
{
    return QuotedParameter(attribute, EncodeWordIfNeeded(name, alwaysUtf8, kOneLineWords));
}

} // namespace

AnsiString ChooseFormBoundary(const std::vector<TFormField>& fields, bool alwaysUtf8, const TBoundaryTest& filesHold)
{
    std::vector<AnsiString> values;
    for (const TFormField& field : fields)
        values.push_back(EncodeMailBody(field.value, alwaysUtf8).text);
    return ChooseBoundary([&](std::string_view boundary) {
        return std::any_of(values.begin(), values.end(),
                           [boundary](const AnsiString& value) { return value.find(boundary) != AnsiString::npos; }) ||
               (filesHold && filesHold(boundary));
    });
}

AnsiString FormContentTypeHeader(std::string_view boundary)
{
    return "Content-Type: multipart/form-data; boundary=" + AnsiString(boundary);
}

AnsiString FormFieldParts(const std::vector<TFormField>& fields, bool alwaysUtf8, std::string_view boundary)
{
    AnsiString parts;
    for (const TFormField& field : fields) {
        const TEncodedBody value = EncodeMailBody(field.value, alwaysUtf8);
        parts += Delimiter(boundary);
        parts += "Content-Disposition: form-data; " + FormNameParameter("name", field.name, alwaysUtf8) + "\r\n";
        parts += "Content-Type: text/plain; charset=\"" + value.charset + "\"\r\n";
        parts += "Content-Transfer-Encoding: " + value.encoding + "\r\n\r\n";
        parts += value.text;
    }
    return parts;
}

AnsiString FormFilePartHeader(const TFormFile& file, bool alwaysUtf8, std::string_view boundary)
{
    return Delimiter(boundary) + "Content-Disposition: form-data; " +
           FormNameParameter("name", file.fieldName, alwaysUtf8) + "; " +
           FormNameParameter("filename", file.sendAsName, alwaysUtf8) +
           "\r\nContent-Type: application/octet-stream\r\n\r\n";
}

AnsiString FormClosingText(std::string_view boundary) { return "\r\n--" + AnsiString(boundary) + "--\r\n"; }

uint64_t FormBodyLength(const std::vector<TFormField>& fields, const std::vector<TFormFile>& files, bool alwaysUtf8,
                        std::string_view boundary)
{
    uint64_t length = FormFieldParts(fields, alwaysUtf8, boundary).size() + FormClosingText(boundary).size();
    for (const TFormFile& file : files)
        length += FormFilePartHeader(file, alwaysUtf8, boundary).size() + file.size;
    return length;
}
