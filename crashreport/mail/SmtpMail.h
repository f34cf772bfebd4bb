#pragma once
// The report mail through a configured server, or without one to each recipient's own mail
// exchanger: a MIME mail with the body as text part and each attachment file as a Base64 part.
#include <vector>

#include "mail/MailProgress.h"
#include "mail/Smtp.h"
#include "text/ZelTypes.h"

struct TSmtpMail {
    UnicodeString sender;     // item, with or without display name
    UnicodeString recipients; // comma-separated items
    UnicodeString replyTo;    // empty: the sender
    UnicodeString subject;
    UnicodeString body;
    std::vector<UnicodeString> files;       // paths; a file that cannot be opened is left out
    std::vector<UnicodeString> sendAsNames; // the attachment names, by index of the files
    bool alwaysUtf8 = false;
    IProgressAlert* alert = nullptr; // moved through the steps and closed at the end when given
    TMailProgressTexts progressTexts;
};

// Why a mail was not sent: the last failure of its session (see TSmtp::Error), or of the
// look-up of its recipient's exchanger ("Server not found (" + the system's text + ")", with
// the code of TMailExchangerLookup). Of several mails, the last one's that failed.
struct TSmtpResult {
    bool sent = false;
    AnsiString error;
    uint32_t errorCode = 0;
};

TSmtpResult SendSmtpMail(const TSmtpMail& mail, const TSmtpServer& server);
