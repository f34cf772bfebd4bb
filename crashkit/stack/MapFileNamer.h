#pragma once
// Names of code addresses from the modules' debug information (the module cache's maps).
#include <vector>

#include "StackSeams.h"
#include "debuginfo/MapFile.h"

// The name of an address inside a module whose map is known: the module alone when the map
// has no debug information for it.
TCodeName NameInMap(const TMapFile& map, UnicodeString moduleName, TItemAddress address);
// The map's note on its reduced debug information, as the trace text shows it.
UnicodeString ModuleNoteOf(const TMapFile& map);

class TMapFileNamer : public ICodeNamer {
public:
    // The maps must outlive the namer; a map without debug information still names its module.
    void AddModule(const TMapFile& map, UnicodeString fileName);

    std::optional<TCodeName> Name(TItemAddress address) const override;
    UnicodeString ModuleNote(TItemAddress address) const override;

private:
    struct TModule {
        const TMapFile* map;
        UnicodeString fileName;
    };
    const TModule* ModuleAt(TItemAddress address) const;

    std::vector<TModule> modules_;
};
