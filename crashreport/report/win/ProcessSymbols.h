#pragma once
// The disassembler's names and lines for code of this process, from the process-wide debug
// information of its modules.
#include "FunctionEnvironment.h"
#include "debuginfo/win/WinModuleSystem.h"

class TProcessSymbols : public ISymbolSource {
public:
    std::string NameOf(CodeAddress address) const override;
    std::uint32_t LineOf(CodeAddress address) const override;
    std::optional<TModuleRange> ModuleOf(CodeAddress address) const override;
    // Handler tables name no classes here.
    std::string ClassNameOf(CodeAddress) const override { return {}; }

private:
    TWinModuleSystem modules_;
};
