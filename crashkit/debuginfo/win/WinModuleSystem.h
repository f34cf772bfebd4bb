#pragma once
// The running process as the module cache sees it: modules found by address, their memory
// read with checks, files through Win32 and program databases through the debug helper.
#include "debuginfo/ModuleSystem.h"
#include "win32/MemoryAccess.h"

class TWinProgramDatabase : public IProgramDatabase {
public:
    bool Load(const UnicodeString& databaseFileName, const UnicodeString& moduleFileName, uint64_t moduleBase,
              TMapFile& map) const override;
};

class TWinModuleSystem : public IModuleSystem {
public:
    std::optional<TModuleIdentity> ModuleAt(uint64_t address) const override;
    const IMemoryReader& Memory() const override { return memory_; }
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override;
    std::optional<int64_t> WriteDay(const UnicodeString& path) const override;
    std::optional<std::string> ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const override;
    std::optional<std::vector<UnicodeString>> FilesNamedLike(const UnicodeString& moduleFileName) const override;
    const IProgramDatabase* ProgramDatabase() const override { return &database_; }

private:
    TLiveMemoryReader memory_;
    TWinProgramDatabase database_;
};
