#include "plugins/win/ListPlugins.h"

#include <array>

#include "model/PluginRegistry.h"

namespace {

struct TListPlugin {
    const char16_t* name;
    const char16_t* description;
    TPluginProcW proc;
};

const std::array<TListPlugin, 3> kListPlugins = {{
    {u"hardware", u"list of installed hardware", [](UnicodeString& text) { text = ListHardware(); }},
    {u"processes", u"list of running processes", [](UnicodeString& text) { text = ListProcesses(); }},
    {u"modules", u"list of loaded modules", [](UnicodeString& text) { text = ListModules(); }},
}};

} // namespace

void RegisterListPlugins()
{
    for (const TListPlugin& plugin : kListPlugins)
        RegisterBugReportPlugin(plugin.name, plugin.description, plugin.proc, true);
}

void UnregisterListPlugins()
{
    for (const TListPlugin& plugin : kListPlugins)
        UnregisterBugReportPlugin(plugin.name);
}
