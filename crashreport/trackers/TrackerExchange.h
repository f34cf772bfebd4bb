#pragma once
// What the three tracker protocols share: the road to the server, the case to file and the
// files to attach.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "net/MultipartForm.h"
#include "text/ZelTypes.h"

// A request body: texts and, between them, attachment files (by their index in the upload's
// file list) that are read as the body goes out, raw or as Base64.
struct TTrackerBodyPart {
    AnsiString text;
    bool isFile = false;
    size_t file = 0;
    bool base64 = false;
};

class TTrackerBody {
public:
    TTrackerBody() = default;
    TTrackerBody(std::string_view text) { *this += text; } // NOLINT: a plain text is a body

    TTrackerBody& operator+=(std::string_view text);
    TTrackerBody& operator+=(const TTrackerBody& other);
    TTrackerBody& AddFile(size_t file, bool base64);

    const std::vector<TTrackerBodyPart>& Parts() const { return parts_; }

private:
    std::vector<TTrackerBodyPart> parts_;
};

class TTrackerExchange {
public:
    virtual ~TTrackerExchange() = default;
    // One request to a path of the server ("/bugs/xmlrpc.cgi", "/api.asp?cmd=logon&..."); true
    // when the server answered with success, its body in `answer`.
    virtual bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                         const TTrackerBody& body, AnsiString& answer) = 0;
    // Whether an attachment's content (by its index in the upload's file list) holds a text:
    // a form's boundary must be one that no attachment does.
    virtual bool FileHolds(size_t file, std::string_view text) = 0;
};

struct TTrackerCase {
    UnicodeString account; // the tracker's own account, not the web server's
    UnicodeString password;
    UnicodeString title;
    UnicodeString description;
    UnicodeString project;
    UnicodeString area;
    UnicodeString assignee;
    // Values of the report's header.
    UnicodeString version;
    UnicodeString operatingSystem;
    UnicodeString computerName;
    UnicodeString callstackCrc;
    // Only the case form of the XML API carries these.
    UnicodeString sender;
    std::vector<TFormField> fields;
    bool alwaysUtf8 = false;
};

// An attachment that could be opened; its content goes from the file as the request is sent.
struct TTrackerFile {
    UnicodeString sendAsName;
    uint64_t size = 0;
};
