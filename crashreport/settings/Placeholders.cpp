#include "settings/Placeholders.h"

#include <array>
#include <optional>

#include "text/CaseFolding.h"
#include "text/NumberFormat.h"

namespace {

struct TPlaceholderName {
    std::u16string_view text;
    TPlaceholder placeholder;
};

constexpr std::array<TPlaceholderName, 17> kPlaceholders = {{
    {u"%appname%", TPlaceholder::AppName},
    {u"%modname%", TPlaceholder::ModName},
    {u"%appversion%", TPlaceholder::AppVersion},
    {u"%modversion%", TPlaceholder::ModVersion},
    {u"%exceptClass%", TPlaceholder::ExceptClass},
    {u"%exceptMsg%", TPlaceholder::ExceptMsg},
    {u"%bugReport%", TPlaceholder::BugReport},
    {u"%LF%", TPlaceholder::LineFeed},
    {u"%date%", TPlaceholder::Date},
    {u"%time%", TPlaceholder::Time},
    {u"%datetime%", TPlaceholder::DateTime},
    {u"%computerName%", TPlaceholder::ComputerName},
    {u"%os%", TPlaceholder::Os},
    {u"%errorDetails%", TPlaceholder::ErrorDetails},
    {u"%desktop%", TPlaceholder::Desktop},
    {u"%userappdata%", TPlaceholder::UserAppData},
    {u"%commonappdata%", TPlaceholder::CommonAppData},
}};

std::optional<TPlaceholderName> PlaceholderAt(std::u16string_view text)
{
    for (const TPlaceholderName& name : kPlaceholders)
        if (text.size() >= name.text.size() && SameTextW(text.substr(0, name.text.size()), name.text))
            return name;
    return std::nullopt;
}

} // namespace

UnicodeString ExpandPlaceholders(std::u16string_view text, IPlaceholderValues& values)
{
    UnicodeString result;
    result.reserve(text.size());
    std::array<std::optional<UnicodeString>, kPlaceholders.size()> cache;
    size_t at = 0;
    while (at < text.size()) {
        const size_t mark = text.find(u'%', at);
        if (mark == std::u16string_view::npos) {
            result.append(text.substr(at));
            break;
        }
        result.append(text.substr(at, mark - at));
        const auto name = PlaceholderAt(text.substr(mark));
        if (!name) {
            result += u'%';
            at = mark + 1;
            continue;
        }
        auto& value = cache[static_cast<size_t>(name->placeholder)];
        if (!value)
            value = values.Value(name->placeholder);
        result += *value;
        at = mark + name->text.size();
    }
    return result;
}

UnicodeString FormatPlaceholderDate(const TLocalTime& time)
{
    return IntToDecW(time.year, 4, u'0') + u"-" + IntToDecW(time.month, 2, u'0') + u"-" + IntToDecW(time.day, 2, u'0');
}

UnicodeString FormatPlaceholderTime(const TLocalTime& time)
{
    return IntToDecW(time.hour, 2, u'0') + u":" + IntToDecW(time.minute, 2, u'0') + u":" + IntToDecW(time.second, 2, u'0')
           + u", " + IntToStrW(time.milliseconds) + u"ms";
}
