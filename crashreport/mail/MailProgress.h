#pragma once
// The progress alert's areas for the mail route: preparing, per mail looking up the exchanger
// (own-server mode), connecting, the text, one area per attachment weighted by its size, and
// finishing. Without an alert every step does nothing.
#include <cstdint>
#include <vector>

#include "IProgressAlert.h"
#include "text/ZelTypes.h"

struct TMailProgressTexts {
    UnicodeString prepareAttachments; // PrepAttMsg
    UnicodeString lookUpExchanger;    // MxLookMsg
    UnicodeString connect;            // ConnMsg
    UnicodeString sendMail;           // SendMailMsg
    UnicodeString sendAttachment;     // SendAttMsg
    UnicodeString sendFinal;          // SendFinalMsg
};

class TMailProgress {
public:
    TMailProgress(IProgressAlert* alert, const TMailProgressTexts& texts) : alert_(alert), texts_(texts) {}

    // Replaces the alert's areas for `mails` mails (one per recipient in own-server mode) and
    // moves past the first area.
    void Plan(const std::vector<uint64_t>& attachmentSizes, bool ownServer, size_t mails);
    void Next();
    // Inside the current attachment's area.
    void AttachmentDone(uint64_t sent, uint64_t size);
    // The first area of mail `index` (0-based).
    void StartMail(size_t index);
    void Close();

private:
    IProgressAlert* alert_;
    TMailProgressTexts texts_;
    size_t firstMailAreas_ = 0;
    size_t laterMailAreas_ = 0;
};
