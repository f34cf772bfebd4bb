#include "text/Utf.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Decodes one sequence at text[index]; moves index behind what it used.
char32_t DecodeOne(std::string_view text, size_t& index)
{
    const unsigned char lead = static_cast<unsigned char>(text[index++]);
    if (lead < 0x80)
        return lead;
    size_t extra;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (size_t i = 0; i < extra; ++i) {
        if (index >= text.size() || !IsContinuation(static_cast<unsigned char>(text[index])))
            return kReplacement;
        value = value << 6 | (static_cast<unsigned char>(text[index++]) & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < minimum || value > 0x10FFFF || surrogate)
        return kReplacement;
    return value;
}

void AppendUtf16(UnicodeString& out, char32_t value)
{
    if (value < 0x10000) {
        out += static_cast<char16_t>(value);
        return;
    }
    value -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (value >> 10));
    out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
}

void AppendUtf8(AnsiString& out, char32_t value)
{
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | value >> 6);
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | value >> 12);
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | value >> 18);
        out += static_cast<char>(0x80 | (value >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

UnicodeString UTF8ToWide(std::string_view text)
{
    UnicodeString out;
    out.reserve(text.size());
    for (size_t index = 0; index < text.size();)
        AppendUtf16(out, DecodeOne(text, index));
    return out;
}

AnsiString WideToUTF8(std::u16string_view text)
{
    AnsiString out;
    out.reserve(text.size());
    for (size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (CharacterUnitsAt(text, index) == 2) {
            AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[index + 1] - 0xDC00));
            ++index;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

size_t CharacterUnitsAt(std::u16string_view text, size_t at)
{
    return IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 1;
}

AnsiString WideToAnsiRaw(std::u16string_view text)
{
    AnsiString out;
    for (const char16_t unit : text) {
        if (unit == 0)
            break;
        out += static_cast<char>(unit & 0xFF);
    }
    return out;
}
