#pragma once
// The multipart/form-data body of the HTTP upload: text fields, then files, then the closing
// delimiter. Every part starts with CR LF and its delimiter, so that no value gains a line
// break; the length of the whole body is known before the first byte is sent. The boundary is
// chosen for the form's content, as values and files go as they are.
#include <cstdint>
#include <string_view>
#include <vector>

#include "net/MimeBoundary.h"
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

// The usual boundary unless a value's text holds it or `filesHold` says that a file does.
AnsiString ChooseFormBoundary(const std::vector<TFormField>& fields, bool alwaysUtf8, const TBoundaryTest& filesHold);

AnsiString FormContentTypeHeader(std::string_view boundary);
AnsiString FormFieldParts(const std::vector<TFormField>& fields, bool alwaysUtf8, std::string_view boundary);
// The delimiter and headers in front of a file's raw content.
AnsiString FormFilePartHeader(const TFormFile& file, bool alwaysUtf8, std::string_view boundary);
AnsiString FormClosingText(std::string_view boundary);
uint64_t FormBodyLength(const std::vector<TFormField>& fields, const std::vector<TFormFile>& files, bool alwaysUtf8,
                        std::string_view boundary);
