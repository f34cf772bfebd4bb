#include "net/MailText.h"

#include <algorithm>
#include <array>

#include "crypto/Base64.h"
#include "text/TextEdit.h"
#include "text/Utf.h"

namespace {

constexpr std::string_view kUtf8WordStart = "=?UTF-8?B?";
constexpr std::string_view kLatin1WordStart = "=?ISO-8859-1?Q?";
constexpr std::string_view kWordEnd = "?=";
// The longest encoded word (RFC 2047); longer texts are split into several.
constexpr size_t kLongestWord = 75;

struct TMimeTypeRow {
    std::u16string_view extension;
    std::string_view type;
};

constexpr std::array kMimeTypes{
    TMimeTypeRow{u".txt", "text/plain"},  TMimeTypeRow{u".zbr", "text/plain"},
    TMimeTypeRow{u".ini", "text/plain"},  TMimeTypeRow{u".jpg", "image/jpeg"},
    TMimeTypeRow{u".jpeg", "image/jpeg"}, TMimeTypeRow{u".png", "image/png"},
    TMimeTypeRow{u".zip", "application/zip"},
};
constexpr std::string_view kDefaultMimeType = "application/octet-stream";

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Every byte but letters, digits and the given marks.
TCharSet AllBut(std::string_view marks)
{
    TCharSet set;
    for (int c = 0; c < 256; ++c)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              marks.find(static_cast<char>(c)) != std::string_view::npos))
            set.Add(static_cast<unsigned char>(c));
    return set;
}

bool IsPrintableAscii(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x20 && c < 0x7F; });
}

AnsiString Utf8Word(std::u16string_view text)
{
    return AnsiString(kUtf8WordStart) + EncodeBase64Str(WideToUTF8(text)) + AnsiString(kWordEnd);
}

// Every byte of a Latin-1 encoded word but letters and digits is escaped.
const TCharSet& Latin1Escaped()
{
    static const TCharSet escaped = AllBut("");
    return escaped;
}

AnsiString Latin1Word(std::u16string_view text)
{
    return AnsiString(kLatin1WordStart) + EncodeBytes(ToLatin1(text), '=', Latin1Escaped()) + AnsiString(kWordEnd);
}

// Where the encoded word that starts at `start` ends: as many whole characters as fit one word.
size_t WordEnd(std::u16string_view text, size_t start, bool utf8)
{
    const size_t room = kLongestWord - (utf8 ? kUtf8WordStart : kLatin1WordStart).size() - kWordEnd.size();
    size_t encoded = 0;
    size_t end = start;
    while (end < text.size()) {
        // Whole characters only: a surrogate pair stays in one word.
        const std::u16string_view character = text.substr(end, CharacterUnitsAt(text, end));
        const size_t grown = encoded + (utf8 ? WideToUTF8(character).size() : Latin1Escaped().Contains(character[0]) ? 3 : 1);
        const size_t length = utf8 ? (grown + 2) / 3 * 4 : grown;
        if (length > room && end > start)
            break;
        encoded = grown;
        end += character.size();
    }
    return end;
}

} // namespace

bool FitsLatin1(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 256; });
}

AnsiString ToLatin1(std::u16string_view text)
{
    AnsiString bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text)
        bytes += static_cast<char>(c & 0xFF);
    return bytes;
}

AnsiString HeaderSafeLatin1(std::u16string_view text)
{
    AnsiString bytes = ToLatin1(text);
    std::replace_if(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return bytes;
}

AnsiString EncodeBytes(std::string_view text, char escape, const TCharSet& set)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    AnsiString encoded;
    for (const char c : text) {
        if (!set.Contains(c)) {
            encoded += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        encoded += escape;
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
    }
    return encoded;
}

AnsiString EncodeSubject(std::u16string_view subject, bool alwaysUtf8, std::string_view wordSeparator)
{
    const bool utf8 = alwaysUtf8 || !FitsLatin1(subject);
    AnsiString text;
    size_t start = 0;
    do {
        const size_t end = WordEnd(subject, start, utf8);
        if (start > 0)
            text += wordSeparator;
        const std::u16string_view word = subject.substr(start, end - start);
        text += utf8 ? Utf8Word(word) : Latin1Word(word);
        start = end;
    } while (start < subject.size());
    return text;
}

AnsiString EncodeWordIfNeeded(std::u16string_view text, bool alwaysUtf8, std::string_view wordSeparator)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 128; });
    // Plain text that a reader would take for an encoded word, or too long for one line, is encoded.
    const bool plain = ascii && !alwaysUtf8 && text.find(u"=?") == std::u16string_view::npos &&
                       text.size() <= kLongestWord;
    return plain ? HeaderSafeLatin1(text) : EncodeSubject(text, alwaysUtf8, wordSeparator);
}

AnsiString QuotedParameter(std::string_view attribute, std::string_view value)
{
    AnsiString text(attribute);
    text += "=\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + "\"";
}

AnsiString NameParameter(std::string_view attribute, std::u16string_view name, bool alwaysUtf8)
{
    if (!alwaysUtf8 && IsPrintableAscii(name))
        return QuotedParameter(attribute, ToLatin1(name));
    // Letters, digits and these marks are attribute-chars to every parser; the rest is escaped.
    static const TCharSet escaped = AllBut("-._~");
    return AnsiString(attribute) + "*=UTF-8''" + EncodeBytes(WideToUTF8(name), '%', escaped);
}

std::vector<UnicodeString> SplitRecipients(std::u16string_view list)
{
    std::vector<UnicodeString> items;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(u',', start), list.size());
        const std::u16string_view item = Trim(list.substr(start, comma - start));
        if (!item.empty())
            items.emplace_back(item);
        start = comma + 1;
    }
    return items;
}

UnicodeString MailAddressOf(std::u16string_view item)
{
    const size_t open = item.find(u'<');
    if (open == std::u16string_view::npos)
        return UnicodeString(Trim(item));
    const size_t close = item.find(u'>', open);
    return UnicodeString(Trim(item.substr(open + 1, close == std::u16string_view::npos ? close : close - open - 1)));
}

AnsiString FormatMailAddress(std::u16string_view item, bool withDisplayName, bool alwaysUtf8,
                             std::string_view wordSeparator)
{
    const AnsiString address = ConcatA({"<", HeaderSafeLatin1(MailAddressOf(item)), ">"});
    const size_t open = item.find(u'<');
    if (!withDisplayName || open == std::u16string_view::npos)
        return address;
    const std::u16string_view name = Trim(item.substr(0, open));
    if (name.empty())
        return address;
    return EncodeWordIfNeeded(name, alwaysUtf8, wordSeparator) + " " + address;
}

AnsiString GetMimeType(std::u16string_view fileName)
{
    UnicodeString lower(fileName);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    for (const TMimeTypeRow& row : kMimeTypes)
        if (lower.ends_with(row.extension))
            return AnsiString(row.type);
    return AnsiString(kDefaultMimeType);
}
