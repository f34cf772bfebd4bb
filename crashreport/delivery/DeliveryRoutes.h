#pragma once
// The routes a report may take, in their fixed order (tracker or HTTP upload, SMTP, MAPI,
// mailto), and what follows from which one delivered it.
#include <cstdint>
#include <string>
#include <vector>

#include "net/MultipartForm.h"
#include "text/ZelTypes.h"

struct TDeliveryRoutes {
    bool fogBugz = false;
    bool bugZilla = false;
    bool mantis = false;
    bool uploadViaHttp = false;
    bool mailAsSmtpServer = false;
    bool mailAsSmtpClient = false;
    bool mailViaMapi = false;
    bool mailViaMailto = false;

    bool AnyTracker() const { return fogBugz || bugZilla || mantis; }
    bool AnyUpload() const { return AnyTracker() || uploadViaHttp; }
    bool AnySmtp() const { return mailAsSmtpServer || mailAsSmtpClient; }
    bool AnyNetwork() const { return AnyUpload() || AnySmtp(); }
    // Only these routes carry attachments.
    bool NeedsAttachments() const { return AnyNetwork() || mailViaMapi; }
};

enum class TDeliveredBy : uint8_t { Nothing, Upload, Smtp, Mapi, Mailto };

// Only an upload or a mail of our own surely carried the attached file: a mail program may
// drop attachments and mailto never takes any. The file goes only when it was attached by
// copy, deleting is configured and such a route took the copy.
bool MayDeleteBugReportFile(TDeliveredBy route, bool attachedByCopy, bool copyWasSent, bool delBugRepFile);

// The sender when MailFrom is empty: "zelExcept <address>" of the first recipient item;
// empty without recipients.
UnicodeString DefaultSender(const UnicodeString& mailFrom, const UnicodeString& mailAddr);

struct TAlertArea {
    UnicodeString text;
    uint64_t weight = 100;
};

struct TSendAlertTexts {
    UnicodeString prepareAttachments; // PrepAttMsg
    UnicodeString lookUpExchanger;    // MxLookMsg
    UnicodeString connect;            // ConnMsg
    UnicodeString sendMail;           // SendMailMsg
    UnicodeString sendAttachments;    // SendAttMsg
    UnicodeString sendFinal;          // SendFinalMsg
};

// The progress alert's areas while the attachments are prepared: preparing, then the network
// steps that the configured routes will take.
std::vector<TAlertArea> SendAlertAreas(const TDeliveryRoutes& routes, const TSendAlertTexts& texts,
                                       bool hasAttachments);

// Replaces the value of the field of that name (names compare without regard to case) or adds
// it; an empty value changes nothing.
void SetFieldValue(std::vector<TFormField>& fields, const UnicodeString& name, const UnicodeString& value);
