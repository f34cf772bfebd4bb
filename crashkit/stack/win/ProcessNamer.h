#pragma once
// Names of this process's code addresses from the debug information of its modules.
#include <map>
#include <memory>

#include "ExportTable.h"
#include "StackSeams.h"
#include "debuginfo/MapFile.h"

// Keeps each module's debug information it has asked for, so a trace looks each module up
// once; one namer serves one thread at a time.
class TProcessNamer : public ICodeNamer {
public:
    std::optional<TCodeName> Name(TItemAddress address) const override;
    UnicodeString ModuleNote(TItemAddress address) const override;
    // Looks up every module now; later look-ups of modules loaded since find nothing.
    void Prepare() const override;
    bool InModuleData(TItemAddress address) const override;
    // The functions of every module loaded now.
    void ForEachFunction(const TFunctionVisitor& visit) const override;

private:
    struct TModule {
        std::shared_ptr<const TMapFile> map;
        TExportTable exports; // empty when the map has debug information
    };
    // The module whose code holds the address; null outside every module's code.
    const TModule* ModuleAt(TItemAddress address) const;
    void Add(uintptr_t handle) const;
    void AddLoadedModules() const;
    // The module whose image holds the address, looked up when new; null outside every image.
    const TModule* ImageAt(TItemAddress address) const;

    mutable std::map<uintptr_t, TModule> modules_; // by module handle
    mutable bool prepared_ = false;
};
