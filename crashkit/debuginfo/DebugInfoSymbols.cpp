#include "debuginfo/DebugInfoSymbols.h"

#include "debuginfo/DebugInfoHooks.h"
#include "system/PeImage.h"
#include "text/Utf.h"

std::string TDebugInfoSymbols::NameOf(CodeAddress address) const
{
    return WideToUTF8(DebugInfoNameOf(*cache_.Find(modules_, address), address));
}

std::uint32_t TDebugInfoSymbols::LineOf(CodeAddress address) const
{
    int32_t line = 0;
    uint64_t rangeStart = 0;
    uint64_t rangeEnd = 0;
    DebugInfoLineOf(*cache_.Find(modules_, address), address, line, rangeStart, rangeEnd);
    return static_cast<std::uint32_t>(line);
}

std::optional<TModuleRange> TDebugInfoSymbols::ModuleOf(CodeAddress address) const
{
    const std::optional<TModuleIdentity> module = modules_.ModuleAt(address);
    if (!module)
        return std::nullopt;
    const std::optional<TPeHeaders> headers = ReadPeHeaders(modules_.Memory(), module->handle);
    const uint64_t end = module->handle + (headers ? headers->sizeOfImage : 0);
    return TModuleRange{static_cast<CodeAddress>(module->handle), static_cast<CodeAddress>(end), WideToUTF8(module->fileName)};
}
