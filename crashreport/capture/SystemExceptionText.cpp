#include "capture/SystemExceptionText.h"

#include <array>
#include <utility>

namespace {

constexpr uint32_t kAccessViolation = 0xC0000005;

constexpr std::array<std::pair<uint32_t, const char*>, 13> kMessages = {{
    {0xC000008C, "Range check error"},
    {0xC000008D, "Floating point underflow"},
    {0xC000008E, "Floating point division by zero"},
    {0xC000008F, "Invalid floating point operation"},
    {0xC0000090, "Invalid floating point operation"},
    {0xC0000091, "Floating point overflow"},
    {0xC0000092, "Invalid floating point operation"},
    {0xC0000093, "Floating point underflow"},
    {0xC0000094, "Division by zero"},
    {0xC0000095, "Integer overflow"},
    {0xC0000096, "Privileged instruction"},
    {0xC00000FD, "Stack overflow"},
    {0xC000013A, "Control-C hit"},
}};

// Upper-case digits without a prefix, padded with zeros to at least `digits`.
AnsiString Hex(uint64_t value, unsigned digits)
{
    AnsiString text;
    do {
        text.insert(text.begin(), "0123456789ABCDEF"[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (text.size() < digits)
        text.insert(0, digits - text.size(), '0');
    return text;
}

} // namespace

AnsiString SystemExceptionMessage(const TSystemFault& fault)
{
    if (fault.code == kAccessViolation)
        return "Access violation at address " + Hex(fault.address, fault.pointerDigits) + " in module '" +
               fault.moduleName + "'. " + (fault.accessKind == 0 ? "Read" : "Write") + " of address " +
               Hex(fault.accessedAddress, fault.pointerDigits);
    for (const auto& [code, message] : kMessages) {
        if (code == fault.code)
            return message;
    }
    return "External exception " + Hex(fault.code, 1);
}
