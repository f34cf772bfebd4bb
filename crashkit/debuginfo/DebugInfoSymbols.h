#pragma once
// The disassembler's names and lines from the modules' debug information: function starts by
// unit and name, the source line of an address and the module that holds it.
#include "FunctionEnvironment.h"
#include "debuginfo/MapFileCache.h"

class TDebugInfoSymbols : public ISymbolSource {
public:
    TDebugInfoSymbols(const IModuleSystem& modules, TMapFileCache& cache) : modules_(modules), cache_(cache) {}

    std::string NameOf(CodeAddress address) const override;
    std::uint32_t LineOf(CodeAddress address) const override;
    std::optional<TModuleRange> ModuleOf(CodeAddress address) const override;
    // Exception classes are not named by the debug information.
    std::string ClassNameOf(CodeAddress) const override { return {}; }

private:
    const IModuleSystem& modules_;
    TMapFileCache& cache_;
};
