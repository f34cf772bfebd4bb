#include "MachineState.h"

#include <algorithm>
#include <vector>

#include "FunctionText.h"
#include "GuardedRead.h"
#include "LiveProcess.h"
#include "ProcessSymbols.h"
#include "report/StackDumpText.h"
#include "text/Utf.h"

#if defined(__x86_64__)

TRegisterSet RegistersOf(const CONTEXT& c)
{
    return {{{u"rax", c.Rax}, {u"rbx", c.Rbx}, {u"rcx", c.Rcx}, {u"rdx", c.Rdx}, {u"rsi", c.Rsi}, {u"rdi", c.Rdi},
             {u"rip", c.Rip}, {u"rsp", c.Rsp}, {u"rbp", c.Rbp}, {u"r8", c.R8}, {u"r9", c.R9}, {u"r10", c.R10},
             {u"r11", c.R11}, {u"r12", c.R12}, {u"r13", c.R13}, {u"r14", c.R14}, {u"r15", c.R15}},
            16};
}

UnicodeString DisassemblyAt(uintptr_t, uintptr_t, const TReportOptions&)
{
    return u"disassembly is not available on this architecture (32-bit x86 code only)";
}

#else

TRegisterSet RegistersOf(const CONTEXT& c)
{
    return {{{u"eax", c.Eax}, {u"ebx", c.Ebx}, {u"ecx", c.Ecx}, {u"edx", c.Edx}, {u"esi", c.Esi}, {u"edi", c.Edi},
             {u"eip", c.Eip}, {u"esp", c.Esp}, {u"ebp", c.Ebp}},
            8};
}

UnicodeString DisassemblyAt(uintptr_t address, uintptr_t functionStart, const TReportOptions& options)
{
    if (address == 0)
        return {};
    const TLiveProcess process;
    const TProcessSymbols symbols;
    TDisAsmOptions disasm;
    disasm.crashAddress = static_cast<CodeAddress>(address);
    disasm.maxLines = static_cast<std::uint32_t>(std::max(0, options.limitDisAsm));
    disasm.formatted = options.formatDisAsm;
    TFunctionInfo info;
    const uintptr_t walkFrom = functionStart != 0 && functionStart <= address ? functionStart : address;
    return UTF8ToWide(DisAsmFunction(process, symbols, static_cast<CodeAddress>(walkFrom), disasm, info));
}

#endif

UnicodeString StackDumpAt(uintptr_t stackPointer)
{
    size_t wanted = kStackDumpMaxBytes;
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(stackPointer), &region, sizeof region) == sizeof region) {
        const uintptr_t end = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        wanted = std::min<size_t>(wanted, end > stackPointer ? end - stackPointer : 0);
    }
    std::vector<uint8_t> bytes(wanted);
    size_t read = 0;
    while (read < wanted) {
        const size_t chunk = std::min(kStackDumpLineBytes, wanted - read);
        if (!TryRead(stackPointer + read, bytes.data() + read, chunk))
            break;
        read += chunk;
    }
    bytes.resize(read);
    return StackDumpText(stackPointer, bytes);
}
