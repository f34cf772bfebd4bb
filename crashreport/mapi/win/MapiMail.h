#pragma once
// Hands the report to the user's mail program through Simple MAPI, with its attachments.
#include <windows.h>

#include <string>
#include <vector>

#include "mapi/win/MailClient.h"
#include "text/ZelTypes.h"

enum class TMapiResult { NotSent = 0, Sent = 1, Cancelled = 2 };

struct TMapiAttachment {
    UnicodeString path;
    UnicodeString sendAsName;
};

struct TMapiMail {
    UnicodeString recipients; // comma-separated items, "Name <address>" or "address"
    UnicodeString subject;
    UnicodeString body;
    std::vector<TMapiAttachment> files;
};

// Not automatic, or no recipient: the program shows its dialog. `library` is the provider to
// load (the system's one unless a test names its own).
TMapiResult SendViaMapi(const TMapiMail& mail, HWND parent, bool automatic, const TMailClientHooks& hooks,
                        const std::wstring& library = L"mapi32.dll");
