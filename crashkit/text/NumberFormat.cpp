#include "text/NumberFormat.h"

#include <array>
#include <string>

namespace {

template <typename Char>
bool IsDecimalDigit(Char c)
{
    return c >= '0' && c <= '9';
}

template <typename Char>
bool IsHexDigit(Char c)
{
    return IsDecimalDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

template <typename Char>
void PadStr(std::basic_string<Char>& text, int len, Char fill)
{
    const int64_t width = len < 0 ? -int64_t{len} : len;
    if (static_cast<int64_t>(text.size()) >= width)
        return;
    const size_t missing = static_cast<size_t>(width) - text.size();
    if (len <= 0)
        text.append(missing, fill);
    else if (IsDecimalDigit(fill) && !text.empty() && text[0] == '-')
        text.insert(1, missing, fill);
    else
        text.insert(0, missing, fill);
}

// Digits of a magnitude, lowest first into a buffer of 20 places.
template <typename Char>
std::basic_string<Char> DecimalOf(uint64_t magnitude, bool negative)
{
    std::array<Char, 21> buffer;
    size_t start = buffer.size();
    do {
        buffer[--start] = static_cast<Char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        buffer[--start] = '-';
    return {buffer.data() + start, buffer.size() - start};
}

template <typename Char>
std::basic_string<Char> SignedDecimal(int64_t value)
{
    // Negating in unsigned arithmetic keeps the most negative value whole.
    const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    return DecimalOf<Char>(magnitude, value < 0);
}

template <typename Char>
std::basic_string<Char> HexDigits(uint64_t value)
{
    std::basic_string<Char> digits;
    do {
        digits.insert(digits.begin(), static_cast<Char>("0123456789abcdef"[value & 0xF]));
        value >>= 4;
    } while (value != 0);
    return digits;
}

template <typename Char>
std::basic_string<Char> HexStr(uint64_t value, int len, Char fill)
{
    std::basic_string<Char> digits = HexDigits<Char>(value);
    if (len >= 0 && !IsHexDigit(fill)) {
        digits.insert(digits.begin(), '$');
        PadStr(digits, len == INT32_MAX ? len : len + 1, fill);
        return digits;
    }
    PadStr(digits, len, fill);
    digits.insert(digits.begin(), '$');
    return digits;
}

template <typename Char>
std::basic_string<Char> Padded(std::basic_string<Char> text, int len, Char fill)
{
    PadStr(text, len, fill);
    return text;
}

template <typename Char>
int32_t DigitsToInt(bool hex, std::basic_string_view<Char> characters)
{
    if (characters.empty())
        return 0;
    const bool negative = characters[0] == '-';
    const uint32_t base = hex ? 16 : 10;
    uint32_t value = 0;
    for (size_t i = negative ? 1 : 0; i < characters.size(); ++i) {
        const Char c = characters[i];
        uint32_t digit = 0;
        if (IsDecimalDigit(c))
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        value = value * base + digit;
    }
    return static_cast<int32_t>(negative ? 0 - value : value);
}

} // namespace

void PadStrA(AnsiString& text, int len, char fill)
{
    PadStr(text, len, fill);
}

void PadStrW(UnicodeString& text, int len, char16_t fill)
{
    PadStr(text, len, fill);
}

AnsiString IntToDecA(int32_t value, int len, char fill)
{
    return Padded(SignedDecimal<char>(value), len, fill);
}

UnicodeString IntToDecW(int32_t value, int len, char16_t fill)
{
    return Padded(SignedDecimal<char16_t>(value), len, fill);
}

AnsiString UIntToDecA(uint32_t value, int len, char fill)
{
    return Padded(DecimalOf<char>(value, false), len, fill);
}

UnicodeString UIntToDecW(uint32_t value, int len, char16_t fill)
{
    return Padded(DecimalOf<char16_t>(value, false), len, fill);
}

AnsiString Int64ToDecA(int64_t value, int len, char fill)
{
    return Padded(SignedDecimal<char>(value), len, fill);
}

UnicodeString Int64ToDecW(int64_t value, int len, char16_t fill)
{
    return Padded(SignedDecimal<char16_t>(value), len, fill);
}

AnsiString IntToHexStrA(uint32_t value, int len, char fill)
{
    return HexStr(value, len, fill);
}

UnicodeString IntToHexStrW(uint32_t value, int len, char16_t fill)
{
    return HexStr(value, len, fill);
}

AnsiString Int64ToHexStrA(uint64_t value, int len, char fill)
{
    return HexStr(value, len, fill);
}

AnsiString IntToStrA(int32_t value)
{
    return SignedDecimal<char>(value);
}

UnicodeString IntToStrW(int32_t value)
{
    return SignedDecimal<char16_t>(value);
}

AnsiString Int64ToStrA(int64_t value)
{
    return SignedDecimal<char>(value);
}

UnicodeString Int64ToStrW(int64_t value)
{
    return SignedDecimal<char16_t>(value);
}

AnsiString DWordToHexA(uint32_t value)
{
    return HexDigits<char>(value);
}

UnicodeString DWordToHexW(uint32_t value)
{
    return HexDigits<char16_t>(value);
}

AnsiString QWordToHexA(uint64_t value)
{
    const auto high = static_cast<uint32_t>(value >> 32);
    AnsiString low = HexDigits<char>(value & 0xFFFFFFFF);
    PadStr(low, 8, '0');
    return high != 0 ? HexDigits<char>(high) + low : low;
}

UnicodeString SizeToStrW(int64_t bytes, char16_t decimalSeparator)
{
    const uint64_t magnitude = bytes < 0 ? 0 - static_cast<uint64_t>(bytes) : static_cast<uint64_t>(bytes);
    if (magnitude < 1024)
        return DecimalOf<char16_t>(magnitude, false) + u" Bytes";
    uint64_t hundredths;
    const char16_t* unit;
    if (magnitude < (uint64_t{1} << 20)) {
        hundredths = magnitude * 100 / 1024, unit = u" KB";
    } else if (magnitude < (uint64_t{1} << 30)) {
        hundredths = (magnitude / 1024) * 100 / 1024, unit = u" MB";
    } else {
        hundredths = ((magnitude / 1024) / 1024) * 100 / 1024, unit = u" GB";
    }
    UnicodeString text = DecimalOf<char16_t>(hundredths, false);
    text.insert(text.size() - 2, 1, decimalSeparator);
    return text + unit;
}

int32_t DigitsToIntA(bool hex, std::string_view characters)
{
    return DigitsToInt(hex, characters);
}

int32_t DigitsToIntW(bool hex, std::u16string_view characters)
{
    return DigitsToInt(hex, characters);
}

UnicodeString BoolToSignW(bool value)
{
    return value ? u"+" : u"-";
}
