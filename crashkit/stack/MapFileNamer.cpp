#include "MapFileNamer.h"

#include "debuginfo/Location.h"

void TMapFileNamer::AddModule(const TMapFile& map, UnicodeString fileName)
{
    modules_.push_back({&map, std::move(fileName)});
}

const TMapFileNamer::TModule* TMapFileNamer::ModuleAt(TItemAddress address) const
{
    for (const TModule& module : modules_) {
        const TModuleLayout& layout = module.map->Layout();
        if (address >= layout.codeStart && address < layout.codeEnd)
            return &module;
    }
    return nullptr;
}

std::optional<TCodeName> TMapFileNamer::Name(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    if (!module)
        return std::nullopt;
    TCodeName name;
    name.module = module->fileName;
    TLocation location;
    if (!LocateAddress(*module->map, address, location))
        return name;
    name.hasDebugInfo = true;
    name.unit = location.unitName;
    name.function = location.publicName;
    name.functionStart = location.publicAddress;
    name.line = location.line;
    return name;
}

UnicodeString TMapFileNamer::ModuleNote(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    if (!module)
        return {};
    const AnsiString& note = module->map->MinDebugInfo();
    return UnicodeString(note.begin(), note.end());
}
