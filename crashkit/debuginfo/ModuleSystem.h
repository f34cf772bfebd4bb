#pragma once
// What the module cache asks of the process it runs in: which module holds an address, the
// memory the module is loaded in, and the files beside it.
#include <cstdint>
#include <optional>

#include "debuginfo/DebugFiles.h"
#include "system/MemoryReader.h"

struct TModuleIdentity {
    uint64_t handle = 0;  // the module's load address
    UnicodeString fileName;
    uint32_t fileTime = 0; // DOS date and time of the file's last write
};

class IModuleSystem : public IDebugFiles {
public:
    // None when the address is not in committed memory or the module's file name is unreadable.
    virtual std::optional<TModuleIdentity> ModuleAt(uint64_t address) const = 0;
    virtual const IMemoryReader& Memory() const = 0;
    // None where no debug helper reads program databases.
    virtual const IProgramDatabase* ProgramDatabase() const { return nullptr; }
};
