#pragma once
// Names of this process's code addresses from the debug information of its modules.
#include <map>
#include <memory>

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

private:
    // The map of the module whose code holds the address; null outside every module's code.
    const TMapFile* MapAt(TItemAddress address) const;

    mutable std::map<uintptr_t, std::shared_ptr<const TMapFile>> modules_; // by module handle
    mutable bool prepared_ = false;
};
