#include "dialog/box/AssistantList.h"

namespace {

std::vector<UnicodeString> SplitItems(std::u16string_view text)
{
    std::vector<UnicodeString> items;
    size_t start = 0;
    for (;;) {
        const size_t bar = text.find(u'|', start);
        items.emplace_back(text.substr(start, bar == std::u16string_view::npos ? bar : bar - start));
        if (bar == std::u16string_view::npos)
            return items;
        start = bar + 1;
    }
}

} // namespace

std::optional<TAssistantDefinition> FindAssistant(const std::function<UnicodeString(int)>& definition,
                                                  std::u16string_view name, bool hasScreenShot)
{
    for (int number = 1;; ++number) {
        const UnicodeString text = definition(number);
        if (text.empty())
            return std::nullopt;
        std::vector<UnicodeString> items = SplitItems(text);
        if (items.front() != name)
            continue;
        TAssistantDefinition found;
        if (items.size() > 1)
            found.title = items[1];
        for (size_t i = 2; i < items.size(); ++i)
            if (!items[i].empty() && (hasScreenShot || items[i] != kScreenShotFormName))
                found.forms.push_back(items[i]);
        return found;
    }
}
