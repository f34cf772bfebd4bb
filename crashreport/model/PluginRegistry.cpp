#include "model/PluginRegistry.h"

#include <algorithm>
#include <mutex>

#include "settings/ListText.h"
#include "text/CaseFolding.h"

namespace {

struct TRegistry {
    std::mutex lock;
    std::vector<TBugReportPlugin> entries;
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

} // namespace

void RegisterBugReportPlugin(const UnicodeString& name, const UnicodeString& description, TPluginProcW proc,
                             bool inSections)
{
    TBugReportPlugin plugin;
    plugin.name = name;
    plugin.description = description;
    plugin.procW = proc;
    plugin.inSections = inSections;
    RegisterBugReportPlugin(plugin);
}

void RegisterBugReportPlugin(const TBugReportPlugin& plugin)
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    registry.entries.push_back(plugin);
}

void UnregisterBugReportPlugin(std::u16string_view name)
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    const auto found = std::find_if(registry.entries.begin(), registry.entries.end(),
                                    [&](const TBugReportPlugin& plugin) { return plugin.name == name; });
    if (found != registry.entries.end())
        registry.entries.erase(found);
}

void ClearBugReportPlugins()
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    registry.entries.clear();
}

std::vector<TBugReportPlugin> BugReportPlugins()
{
    TRegistry& registry = Registry();
    const std::lock_guard guard(registry.lock);
    return registry.entries;
}

std::vector<TBugReportPlugin> SelectBugReportPlugins(std::u16string_view pluginsSetting, bool inSections)
{
    const std::vector<TBugReportPlugin> entries = BugReportPlugins();
    std::vector<TBugReportPlugin> selected;
    for (const UnicodeString& token : SplitListText(pluginsSetting, u'|')) {
        const auto found = std::find_if(entries.begin(), entries.end(),
                                        [&](const TBugReportPlugin& plugin) { return SameTextW(plugin.name, token); });
        if (found != entries.end() && found->inSections == inSections)
            selected.push_back(*found);
    }
    return selected;
}

UnicodeString BugReportPluginText(const TBugReportPlugin& plugin, IZEException* exception,
                                  const TAnsiToWide& ansiToWide)
{
    AnsiString ansi;
    UnicodeString wide;
    if (plugin.procA) {
        plugin.procA(ansi);
        return ansiToWide(ansi);
    }
    if (plugin.procW) {
        plugin.procW(wide);
        return wide;
    }
    if (plugin.procExA) {
        plugin.procExA(exception, ansi);
        return ansiToWide(ansi);
    }
    if (plugin.procExW)
        plugin.procExW(exception, wide);
    return wide;
}
