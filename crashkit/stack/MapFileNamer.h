#pragma once
// Names of code addresses from the modules' debug information (the module cache's maps).
#include <vector>

#include "ExportTable.h"
#include "StackSeams.h"
#include "debuginfo/MapFile.h"

// The name of an address inside a module whose map is known; without debug information the
// module and the exported function that holds the address, when exports are given.
TCodeName NameInMap(const TMapFile& map, UnicodeString moduleName, TItemAddress address,
                    const TExportTable* exports = nullptr);
// The map's note on its reduced debug information, as the trace text shows it.
UnicodeString ModuleNoteOf(const TMapFile& map);
// The functions of the map's code, or the exports where it has no debug information.
void VisitFunctions(const TMapFile& map, const TExportTable* exports, const ICodeNamer::TFunctionVisitor& visit);
// The module's data, as its layout places it.
bool InDataOf(const TMapFile& map, TItemAddress address);

class TMapFileNamer : public ICodeNamer {
public:
    // The maps (and exports) must outlive the namer; a map without debug information still names
    // its module, and its exported functions when exports are given.
    void AddModule(const TMapFile& map, UnicodeString fileName, const TExportTable* exports = nullptr);

    std::optional<TCodeName> Name(TItemAddress address) const override;
    UnicodeString ModuleNote(TItemAddress address) const override;
    bool InModuleData(TItemAddress address) const override;
    void ForEachFunction(const TFunctionVisitor& visit) const override;

private:
    struct TModule {
        const TMapFile* map;
        UnicodeString fileName;
        const TExportTable* exports;
    };
    const TModule* ModuleAt(TItemAddress address) const;

    std::vector<TModule> modules_;
};
