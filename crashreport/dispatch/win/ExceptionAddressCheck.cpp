#include "dispatch/win/ExceptionAddressCheck.h"

#include <limits>

#include "FunctionWalker.h"
#include "InstructionDecoder.h"
#include "LiveProcess.h"
#include "report/win/ReportNamer.h"

namespace {

// Whether walking the instructions of a code area that holds the address reaches it.
bool StartsInstruction(const TFunctionInfo& function, const ICodeReader& code, CodeAddress address)
{
    for (const TFunctionArea& area : function.areas) {
        if (area.isCaseTable || area.isHandlerTable || address < area.start || address > area.end)
            continue;
        for (CodeAddress at = area.start; at <= address;) {
            if (at == address)
                return true;
            const uint8_t length = DecodeInstruction(code, at).length;
            if (length == 0)
                break;
            at += length;
        }
    }
    return false;
}

} // namespace

uintptr_t CheckedExceptionAddress(uintptr_t address, const ICodeNamer& namer, const IFunctionEnvironment& code)
{
    constexpr uintptr_t kStep = 4;
    if (address == 0 || address > std::numeric_limits<CodeAddress>::max() - kStep)
        return address;
    const std::optional<TCodeName> name = namer.Name(address);
    if (!name || name->functionStart == 0 || name->functionStart > address)
        return address;
    TFunctionInfo function;
    ParseFunction(code, static_cast<CodeAddress>(name->functionStart), function);
    if (!function.valid)
        return address;
    const auto at = static_cast<CodeAddress>(address);
    const bool shifted = !StartsInstruction(function, code.Code(), at) &&
                         StartsInstruction(function, code.Code(), static_cast<CodeAddress>(at + kStep));
    return shifted ? address + kStep : address;
}

uintptr_t CheckedExceptionAddress(uintptr_t address)
{
#if defined(__i386__)
    const TReportNamer namer;
    const TLiveProcess process;
    return CheckedExceptionAddress(address, namer.Namer(), process);
#else
    return address;
#endif
}
