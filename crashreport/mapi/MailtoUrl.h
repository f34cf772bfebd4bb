#pragma once
// The mailto road: the URL of a text-only mail and the command line that hands it to the
// registered mail program.
#include <string_view>

#include "text/ZelTypes.h"

// "mailto:" + recipients + "?subject=" + subject + "&body=" + body, each part in UTF-8 with
// every byte but letters, digits, "." and "@" escaped as "%XX".
UnicodeString MailtoUrl(std::u16string_view recipients, std::u16string_view subject, std::u16string_view body);

// Programs whose command names "OUTLOOK" separate recipients by ";" instead of ",".
UnicodeString MailtoRecipients(std::u16string_view command, std::u16string_view recipients);

// The command with the URL in place of its "%1", or appended after a blank when it has none;
// longer lines are cut to `maxLength` characters, never inside an escape.
UnicodeString MailtoCommandLine(std::u16string_view command, std::u16string_view url, size_t maxLength);

// What CreateProcess takes.
constexpr size_t kMaxCommandLine = 32766;
