#include "capture/SystemExceptionText.h"

#include <gtest/gtest.h>

namespace {

TSystemFault AccessViolation(uint64_t kind, uint64_t accessed)
{
    TSystemFault fault;
    fault.code = 0xC0000005;
    fault.address = 0x40112A;
    fault.moduleName = "host.exe";
    fault.accessKind = kind;
    fault.accessedAddress = accessed;
    return fault;
}

TEST(SystemExceptionText, AccessViolationsNameAddressModuleAndAccess)
{
    EXPECT_EQ(SystemExceptionMessage(AccessViolation(0, 0)),
              "Access violation at address 0040112A in module 'host.exe'. Read of address 00000000");
    EXPECT_EQ(SystemExceptionMessage(AccessViolation(1, 0xDEADBEEF)),
              "Access violation at address 0040112A in module 'host.exe'. Write of address DEADBEEF");
    TSystemFault wide = AccessViolation(0, 0x10);
    wide.address = 0x7FF612345678;
    wide.pointerDigits = 16;
    EXPECT_EQ(SystemExceptionMessage(wide),
              "Access violation at address 00007FF612345678 in module 'host.exe'. Read of address 0000000000000010");
}

TEST(SystemExceptionText, KnownCodesHaveTheirTextsOthersTheirCodeInUpperCaseHex)
{
    const std::pair<uint32_t, const char*> cases[] = {
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
        {0xC0000409, "External exception C0000409"},
        {0xE06D7363, "External exception E06D7363"},
        {0x0000000A, "External exception A"},
    };
    for (const auto& [code, message] : cases) {
        TSystemFault fault;
        fault.code = code;
        EXPECT_EQ(SystemExceptionMessage(fault), message) << std::hex << code;
    }
}

} // namespace
