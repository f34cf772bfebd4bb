#pragma once
// The disassembler's names and lines for code of this process, from the process-wide debug
// information of its modules; each module's is sought once per object, also when it has none.
#include <map>
#include <memory>

#include "FunctionEnvironment.h"
#include "debuginfo/MapFile.h"
#include "debuginfo/win/WinModuleSystem.h"

class TProcessSymbols : public ISymbolSource {
public:
    std::string NameOf(CodeAddress address) const override;
    std::uint32_t LineOf(CodeAddress address) const override;
    std::optional<TModuleRange> ModuleOf(CodeAddress address) const override;
    // Handler tables name no classes here.
    std::string ClassNameOf(CodeAddress) const override { return {}; }

private:
    const TMapFile& MapAt(CodeAddress address) const;

    TWinModuleSystem modules_;
    mutable std::map<uintptr_t, std::shared_ptr<const TMapFile>> maps_; // by allocation base
};
