#include "settings/ListText.h"

std::vector<UnicodeString> SplitListText(std::u16string_view text, char16_t separator)
{
    std::vector<UnicodeString> items;
    if (text.empty())
        return items;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        items.emplace_back(text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
        if (end == std::u16string_view::npos)
            return items;
        start = end + 1;
    }
}

UnicodeString JoinListText(const std::vector<UnicodeString>& items, char16_t separator)
{
    UnicodeString text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += separator;
        text += items[i];
    }
    return text;
}
