#pragma once
// Starts the registered mailto handler with a text-only mail (no attachments).
#include "text/ZelTypes.h"

// True when the handler's process started.
bool SendViaMailto(const UnicodeString& recipients, const UnicodeString& subject, const UnicodeString& body);
