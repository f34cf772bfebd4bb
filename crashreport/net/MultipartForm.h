#pragma once
// The multipart/form-data body of the HTTP upload: text fields, then files, then the closing
// delimiter. Every part starts with CR LF and its delimiter, so that no value gains a line
// break; the length of the whole body is known before the first byte is sent.
#include <cstdint>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

struct TFormField {
    UnicodeString name;
    UnicodeString value;
};

struct TFormFile {
    UnicodeString fieldName;
    UnicodeString sendAsName;
    uint64_t size = 0;
};

AnsiString FormContentTypeHeader();
AnsiString FormFieldParts(const std::vector<TFormField>& fields, bool alwaysUtf8);
// The delimiter and headers in front of a file's raw content.
AnsiString FormFilePartHeader(const TFormFile& file, bool alwaysUtf8);
AnsiString FormClosingText();
uint64_t FormBodyLength(const std::vector<TFormField>& fields, const std::vector<TFormFile>& files, bool alwaysUtf8);
