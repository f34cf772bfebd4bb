#pragma once
// What the three tracker protocols share: the road to the server, the case to file and the
// files to attach.
#include <vector>

#include "net/MultipartForm.h"
#include "text/ZelTypes.h"

class TTrackerExchange {
public:
    virtual ~TTrackerExchange() = default;
    // One request to a path of the server ("/bugs/xmlrpc.cgi", "/api.asp?cmd=logon&..."); true
    // when the server answered with success, its body in `answer`.
    virtual bool Request(const char* verb, const AnsiString& path, const std::vector<AnsiString>& headerLines,
                         const AnsiString& body, AnsiString& answer) = 0;
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

// An attachment that could be read.
struct TTrackerFile {
    UnicodeString sendAsName;
    AnsiString content;
};
