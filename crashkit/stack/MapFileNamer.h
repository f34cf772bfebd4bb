#pragma once
// Names of code addresses from the modules' debug information (the module cache's maps).
#include <vector>

#include "StackSeams.h"
#include "debuginfo/MapFile.h"

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
