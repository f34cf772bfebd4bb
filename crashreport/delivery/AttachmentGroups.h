#pragma once
// Attachments as they go out: each file on its own, or, for the entries that name a zip
// archive, one archive per zip name holding all of them (names compared without regard to case;
// the first entry of a name decides where its archive stands in the order).
#include <vector>

#include "settings/AttachmentsList.h"

struct TOutgoingAttachment {
    // Empty for a file on its own.
    UnicodeString zipName;
    // The file on its own, or the archive's members.
    TDAUnicodeString files;
    TDAUnicodeString sendAsNames;
    UnicodeString fieldName; // of a file on its own
    // Indexes of the entries it carries.
    std::vector<size_t> sources;
};

// The entries are those whose files exist, in order.
std::vector<TOutgoingAttachment> GroupAttachments(const std::vector<TAttachment>& entries);
