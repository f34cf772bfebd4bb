#pragma once
// A strict reader of MIME entities for the fuzz targets of the mail and form writers, written
// from RFC 2045-2047 and 2231 and sharing nothing with them: header fields, parameters,
// multipart bodies, Base64 and encoded words; and the texts those targets write and expect.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/Utf.h"

namespace mime {

struct TEntity {
    std::vector<std::pair<std::string, std::string>> fields; // names in lower case, values unfolded
    std::string_view content;

    const std::string* Field(std::string_view name) const
    {
        for (const auto& [fieldName, value] : fields) {
            if (fieldName == name)
                return &value;
        }
        return nullptr;
    }
};

inline char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string Lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

// Header lines up to the empty one, then the content; none when a line is no field.
inline std::optional<TEntity> ReadEntity(std::string_view text)
{
    TEntity entity;
    // A part of header fields alone may end without the empty line.
    while (!text.empty()) {
        const size_t end = text.find("\r\n");
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 2);
        if (line.empty())
            break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (entity.fields.empty())
                return std::nullopt;
            entity.fields.back().second += line;
            continue;
        }
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return std::nullopt;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value[0] == ' ')
            value.remove_prefix(1);
        entity.fields.emplace_back(Lowered(line.substr(0, colon)), std::string(value));
    }
    entity.content = text;
    return entity;
}

inline int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "%XX" (RFC 2231) or "=XX" (Q encoding) escapes decoded; none for a broken escape.
inline std::optional<std::string> Unescaped(std::string_view text, char escape)
{
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != escape) {
            out += text[at];
            continue;
        }
        if (at + 2 >= text.size() || HexValue(text[at + 1]) < 0 || HexValue(text[at + 2]) < 0)
            return std::nullopt;
        out += static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
        at += 2;
    }
    return out;
}

// A parameter of a field's value: a token, a quoted string with quoted pairs, or an RFC 2231
// UTF-8 value (its bytes); none when it is missing or malformed.
inline std::optional<std::string> Parameter(std::string_view value, std::string_view attribute)
{
    const std::string wanted = Lowered(attribute);
    for (size_t at = value.find(';'); at != std::string_view::npos; at = value.find(';')) {
        std::string_view rest = value.substr(at + 1);
        while (!rest.empty() && rest[0] == ' ')
            rest.remove_prefix(1);
        const size_t equals = rest.find('=');
        if (equals == std::string_view::npos)
            return std::nullopt;
        const std::string name = Lowered(rest.substr(0, equals));
        rest.remove_prefix(equals + 1);
        std::string text;
        size_t used = 0; // the value as written
        if (!rest.empty() && rest[0] == '"') {
            for (used = 1; used < rest.size() && rest[used] != '"'; ++used) {
                if (rest[used] == '\\' && ++used == rest.size())
                    return std::nullopt;
                text += rest[used];
            }
            if (used++ == rest.size())
                return std::nullopt;
        } else {
            used = std::min(rest.find(';'), rest.size());
            text = rest.substr(0, used);
        }
        if (name == wanted)
            return text;
        if (name == wanted + "*")
            return Lowered(text).starts_with("utf-8''") ? Unescaped(std::string_view(text).substr(7), '%')
                                                         : std::nullopt;
        value = rest.substr(used);
    }
    return std::nullopt;
}

// Base64 with line breaks between the groups; none for any other character or a broken end.
inline std::optional<std::string> DecodeBase64(std::string_view text)
{
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    size_t padding = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const size_t digit = kAlphabet.find(c);
        if (digit == std::string_view::npos || padding > 0)
            return std::nullopt;
        bits = bits << 6 | static_cast<uint32_t>(digit);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>(bits >> 8 & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || (count != 0 && count + padding != 4) || (count == 0 && padding != 0))
        return std::nullopt;
    if (count >= 2)
        out += static_cast<char>(bits >> (count == 2 ? 4 : 10) & 0xFF);
    if (count == 3)
        out += static_cast<char>(bits >> 2 & 0xFF);
    return out;
}

// ISO-8859-1 or UTF-8 bytes as UTF-16; none for another charset.
inline std::optional<std::u16string> Decoded(std::string_view charset, std::string_view bytes)
{
    const std::string name = Lowered(charset);
    if (name == "utf-8")
        return UTF8ToWide(bytes);
    if (name != "iso-8859-1")
        return std::nullopt;
    std::u16string text;
    for (const char c : bytes)
        text += static_cast<char16_t>(static_cast<unsigned char>(c));
    return text;
}

// One encoded word "=?charset?B|Q?text?=" (RFC 2047) as UTF-16; none when the text is no such word.
inline std::optional<std::u16string> DecodeWord(std::string_view word)
{
    if (!word.starts_with("=?") || !word.ends_with("?=") || word.size() < 8)
        return std::nullopt;
    const std::string_view inner = word.substr(2, word.size() - 4);
    const size_t mark = inner.find('?');
    if (mark == std::string_view::npos || mark + 2 >= inner.size() || inner[mark + 2] != '?')
        return std::nullopt;
    const char encoding = Lower(inner[mark + 1]);
    const std::string_view encoded = inner.substr(mark + 3);
    std::optional<std::string> bytes;
    if (encoding == 'b') {
        bytes = DecodeBase64(encoded);
    } else if (encoding == 'q') {
        std::string text(encoded);
        for (char& c : text)
            c = c == '_' ? ' ' : c;
        bytes = Unescaped(text, '=');
    }
    return bytes ? Decoded(inner.substr(0, mark), *bytes) : std::nullopt;
}

// Encoded words separated by blanks, as a folded header reads once unfolded; the blanks between
// them are no part of the text (RFC 2047, 6.2). None when any piece is no encoded word.
inline std::optional<std::u16string> DecodeWords(std::string_view text)
{
    std::u16string decoded;
    size_t at = 0;
    do {
        const size_t blank = std::min(text.find_first_of(" \t", at), text.size());
        const auto word = DecodeWord(text.substr(at, blank - at));
        if (!word)
            return std::nullopt;
        decoded += *word;
        at = text.find_first_not_of(" \t", blank);
    } while (at != std::string_view::npos);
    return decoded;
}

// The parts of a multipart body between its delimiters (RFC 2046): every "--boundary" that
// starts a line must be a delimiter, the last one closing. None when the body is not so.
inline std::optional<std::vector<std::string_view>> SplitMultipart(std::string_view body, std::string_view boundary)
{
    const std::string delimiter = "\r\n--" + std::string(boundary);
    const std::string_view opening = std::string_view(delimiter).substr(2); // may open the body
    size_t at = opening.size();
    if (!body.starts_with(opening)) {
        const size_t first = body.find(delimiter);
        if (first == std::string_view::npos)
            return std::nullopt;
        at = first + delimiter.size();
    }
    std::vector<std::string_view> parts;
    for (;;) {
        if (body.substr(at, 2) == "--")
            return parts;
        if (body.substr(at, 2) != "\r\n")
            return std::nullopt;
        // The CR LF that ends the delimiter's line may also start the next one: an empty part.
        const size_t next = body.find(delimiter, at);
        if (next == std::string_view::npos)
            return std::nullopt;
        parts.push_back(next == at ? std::string_view() : body.substr(at + 2, next - at - 2));
        at = next + delimiter.size();
    }
}

// The texts the targets of the mail and form writers take: the input's bytes paired into
// UTF-16 units, cut at U+0001.
inline std::vector<std::u16string> Utf16Texts(const uint8_t* data, size_t size)
{
    std::vector<std::u16string> texts(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 1)
            texts.emplace_back();
        else
            texts.back() += unit;
    }
    return texts;
}

// What a reader gets of a text sent as UTF-8: surrogates without their pair as U+FFFD.
inline std::u16string AsSent(const std::u16string& text) { return UTF8ToWide(WideToUTF8(text)); }

// What a reader gets of a text sent as ISO-8859-1: bare CR and LF as CR LF.
inline std::u16string WithCrLf(std::u16string_view text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') {
            out += text[i];
            continue;
        }
        out += u"\r\n";
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    return out;
}

} // namespace mime
