#include "MapFileNamer.h"

#include <utility>

#include "debuginfo/Location.h"

void TMapFileNamer::AddModule(const TMapFile& map, UnicodeString fileName, const TExportTable* exports)
{
    modules_.push_back({&map, std::move(fileName), exports});
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

TCodeName NameInMap(const TMapFile& map, UnicodeString moduleName, TItemAddress address, const TExportTable* exports)
{
    TCodeName name;
    name.module = std::move(moduleName);
    TLocation location;
    if (!LocateAddress(map, address, location)) {
        if (const std::optional<TExportFunction> function = exports ? exports->FunctionAt(address) : std::nullopt) {
            name.function = function->name;
            name.functionStart = function->start;
        }
        return name;
    }
    name.hasDebugInfo = true;
    name.unit = location.unitName;
    name.function = location.publicName;
    name.functionStart = location.publicAddress;
    name.line = location.line;
    return name;
}

void VisitFunctions(const TMapFile& map, const TExportTable* exports, const ICodeNamer::TFunctionVisitor& visit)
{
    if (map.Valid()) {
        for (const TMfPublic& item : map.Publics()) {
            if (item.code)
                visit(item.name, item.address);
        }
    } else if (exports) {
        for (const TExportFunction& function : exports->Functions())
            visit(function.name, function.start);
    }
}

bool InDataOf(const TMapFile& map, TItemAddress address)
{
    const TModuleLayout& layout = map.Layout();
    return address >= layout.dataStart && address < layout.dataEnd;
}

UnicodeString ModuleNoteOf(const TMapFile& map)
{
    const AnsiString& note = map.MinDebugInfo();
    return UnicodeString(note.begin(), note.end());
}

std::optional<TCodeName> TMapFileNamer::Name(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    if (!module)
        return std::nullopt;
    return NameInMap(*module->map, module->fileName, address, module->exports);
}

bool TMapFileNamer::InModuleData(TItemAddress address) const
{
    for (const TModule& module : modules_) {
        if (InDataOf(*module.map, address))
            return true;
    }
    return false;
}

void TMapFileNamer::ForEachFunction(const TFunctionVisitor& visit) const
{
    for (const TModule& module : modules_)
        VisitFunctions(*module.map, module.exports, visit);
}

UnicodeString TMapFileNamer::ModuleNote(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    return module ? ModuleNoteOf(*module->map) : UnicodeString();
}
