#include "text/TextItems.h"

#include <algorithm>

#include "text/CaseFolding.h"

namespace {

template <typename Char>
int ItemCount(std::basic_string_view<Char> text, Char separator)
{
    if (text.empty())
        return 0;
    return static_cast<int>(std::count(text.begin(), text.end(), separator)) + 1;
}

template <typename Char>
std::basic_string<Char> Item(std::basic_string_view<Char> text, int index, Char separator)
{
    if (index < 1)
        return {};
    size_t begin = 0;
    for (int i = 1; i < index; ++i) {
        const size_t next = text.find(separator, begin);
        if (next == std::basic_string_view<Char>::npos)
            return {};
        begin = next + 1;
    }
    const size_t end = std::min(text.find(separator, begin), text.size());
    return std::basic_string<Char>(text.substr(begin, end - begin));
}

template <typename Same>
bool IsItem(std::u16string_view text, std::u16string_view item, char16_t separator, Same same)
{
    if (item.empty())
        return false;
    size_t begin = 0;
    for (;;) {
        const size_t end = std::min(text.find(separator, begin), text.size());
        if (same(text.substr(begin, end - begin), item))
            return true;
        if (end == text.size())
            return false;
        begin = end + 1;
    }
}

} // namespace

int ItemCountA(std::string_view text, char separator)
{
    return ItemCount(text, separator);
}

int ItemCountW(std::u16string_view text, char16_t separator)
{
    return ItemCount(text, separator);
}

AnsiString ItemA(std::string_view text, int index, char separator)
{
    return Item(text, index, separator);
}

UnicodeString ItemW(std::u16string_view text, int index, char16_t separator)
{
    return Item(text, index, separator);
}

bool IsItemW(std::u16string_view text, std::u16string_view item, char16_t separator)
{
    return IsItem(text, item, separator, [](std::u16string_view a, std::u16string_view b) { return a == b; });
}

bool IsItemTextW(std::u16string_view text, std::u16string_view item, char16_t separator)
{
    return IsItem(text, item, separator, SameTextW);
}
