#pragma once
// Names of code addresses from the modules' debug information (the module cache's maps).
#include <vector>

#include "StackSeams.h"
#include "debuginfo/MapFile.h"

class TMapFileNamer : public ICodeNamer {
public:
    // The maps must outlive the namer; a map without debug information still names its module.
    void AddModule(const TMapFile& map, UnicodeString fileName);

    std::optional<TCodeName> Name(CodeAddress address) const override;
    UnicodeString ModuleNote(CodeAddress address) const override;

private:
    struct TModule {
        const TMapFile* map;
        UnicodeString fileName;
    };
    const TModule* ModuleAt(CodeAddress address) const;

    std::vector<TModule> modules_;
};
