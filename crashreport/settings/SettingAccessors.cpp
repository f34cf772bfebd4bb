#include "settings/SettingAccessors.h"

#include "text/TextEdit.h"
#include "text/TextItems.h"

bool IZESettings::PluginEnabled(std::u16string_view name)
{
    return IsItemW(GetSettingText("Plugins"), name, u'|');
}

void IZESettings::EnablePlugin(std::u16string_view name, bool enabled)
{
    if (PluginEnabled(name) == enabled)
        return;
    UnicodeString list = GetSettingText("Plugins");
    if (enabled) {
        list = list.empty() ? UnicodeString(name) : list + u"|" + UnicodeString(name);
    } else {
        list = u"|" + list + u"|";
        ReplaceStrW(list, u"|" + UnicodeString(name) + u"|", u"|", false);
        list = list.substr(1, list.size() >= 2 ? list.size() - 2 : 0);
    }
    SetSettingText("Plugins", list);
}
