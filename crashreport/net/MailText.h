#pragma once
// Texts of mail headers: encoded words (RFC 2047), addresses with display names, content
// types. Texts that fit ISO-8859-1 go out as such, others as UTF-8, so that the bytes always
// match the charset they are labelled with.
#include <string_view>
#include <vector>

#include "text/CharSet.h"
#include "text/ZelTypes.h"

bool FitsLatin1(std::u16string_view text);
// The low byte of each unit; for texts that fit ISO-8859-1.
AnsiString ToLatin1(std::u16string_view text);
// The same with line breaks made blanks, so that a header text cannot start a header of its own.
AnsiString HeaderSafeLatin1(std::u16string_view text);

// Every byte in `set` replaced by `escape` and two upper-case hexadecimal digits.
AnsiString EncodeBytes(std::string_view text, char escape, const TCharSet& set);

// What goes between encoded words: a folded line in a mail header, which keeps every line within
// the limit; a blank where the header must stay on one line (HTTP, parameters).
constexpr std::string_view kFoldedWords = "\r\n ";
constexpr std::string_view kOneLineWords = " ";

// Always encoded words: "=?UTF-8?B?...?=" or "=?ISO-8859-1?Q?...?=" with every byte other than
// letters and digits escaped; each word at most 75 characters and of whole characters.
AnsiString EncodeSubject(std::u16string_view subject, bool alwaysUtf8, std::string_view wordSeparator);
// Plain ASCII as it is; other texts as encoded words as the subject is, since header bytes
// outside ASCII have no charset. So are plain texts that hold "=?" or are longer than one word.
AnsiString EncodeWordIfNeeded(std::u16string_view text, bool alwaysUtf8, std::string_view wordSeparator);

// A parameter of a header field (RFC 2045) as quoted string: `attribute="value"`, with `"`
// and `\` escaped as quoted pairs.
AnsiString QuotedParameter(std::string_view attribute, std::string_view value);
// A name as a parameter that any standard parser reads back whole: a quoted string while it is
// printable ASCII (and UTF-8 is not asked for), else `attribute*=UTF-8''...` (RFC 2231).
AnsiString NameParameter(std::string_view attribute, std::u16string_view name, bool alwaysUtf8);

// Comma-separated recipient items, trimmed, empty ones left out.
std::vector<UnicodeString> SplitRecipients(std::u16string_view list);
// The address of an item: inside its angle brackets, else the whole item.
UnicodeString MailAddressOf(std::u16string_view item);
// "<address>", or the display name (encoded when needed) and "<address>".
AnsiString FormatMailAddress(std::u16string_view item, bool withDisplayName, bool alwaysUtf8,
                             std::string_view wordSeparator);

AnsiString GetMimeType(std::u16string_view fileName);
