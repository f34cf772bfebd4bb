#include "text/CaseFolding.h"

namespace {

constexpr std::array<uint8_t, 256> MakeFoldTable()
{
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<uint8_t>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = static_cast<uint8_t>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) // the multiplication sign has no lower case
            table[c] = static_cast<uint8_t>(c + 32);
    }
    table[0x8A] = 0x9A;
    table[0x8C] = 0x9C;
    table[0x8E] = 0x9E;
    table[0x9F] = 0xFF;
    return table;
}

template <typename Char>
Char UpChar(Char c)
{
    const auto code = static_cast<std::make_unsigned_t<Char>>(c);
    if ((code >= 'a' && code <= 'z') || code == 0xE4 || code == 0xF6 || code == 0xFC)
        return static_cast<Char>(code - 32);
    return c;
}

template <typename Char>
Char LowChar(Char c)
{
    const auto code = static_cast<std::make_unsigned_t<Char>>(c);
    if ((code >= 'A' && code <= 'Z') || code == 0xC4 || code == 0xD6 || code == 0xDC)
        return static_cast<Char>(code + 32);
    return c;
}

template <typename Char, typename Change>
std::basic_string<Char> Changed(std::basic_string_view<Char> text, Change change)
{
    std::basic_string<Char> out(text);
    for (Char& c : out)
        c = change(c);
    return out;
}

} // namespace

const std::array<uint8_t, 256> kFoldTable = MakeFoldTable();

char FoldCharA(char c)
{
    return static_cast<char>(kFoldTable[static_cast<uint8_t>(c)]);
}

char16_t FoldCharW(char16_t c)
{
    return c < 256 ? kFoldTable[c] : c;
}

char UpCharA(char c)
{
    return UpChar(c);
}

AnsiString UpperCaseA(std::string_view text)
{
    return Changed(text, UpChar<char>);
}

UnicodeString UpperCaseW(std::u16string_view text)
{
    return Changed(text, UpChar<char16_t>);
}

UnicodeString LowerCaseW(std::u16string_view text)
{
    return Changed(text, LowChar<char16_t>);
}

bool SameTextA(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCharA(a[i]) != FoldCharA(b[i]))
            return false;
    }
    return true;
}

bool SameTextW(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareTextW(a, b) == 0;
}

int CompareTextW(std::u16string_view a, std::u16string_view b)
{
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const int difference = int{FoldCharW(a[i])} - int{FoldCharW(b[i])};
        if (difference != 0)
            return difference;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}
