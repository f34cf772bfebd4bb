#include <gtest/gtest.h>

#include <array>
#include <string>

#include "BufferCodeReader.h"
#include "dispatch/win/ExceptionAddressCheck.h"

namespace {

constexpr CodeAddress kFunction = 0x1000;

// push ebp; mov ebp, esp; mov eax, 0x12345678; nop; nop; pop ebp; ret
constexpr std::array<uint8_t, 12> kCode = {0x55, 0x89, 0xE5, 0xB8, 0x78, 0x56, 0x34, 0x12, 0x90, 0x90, 0x5D, 0xC3};

class TCodeBuffer : public IFunctionEnvironment {
public:
    const ICodeReader& Code() const override { return reader_; }
    bool IsCommitted(CodeAddress address) const override { return address >= reader_.Base() && address < reader_.End(); }
    TCodeBounds CodeBounds(CodeAddress) const override { return {reader_.Base(), reader_.End()}; }
    CodeAddress CxxThrowRoutine() const override { return 0; }
    std::string SystemMessage(std::uint32_t) const override { return {}; }

private:
    TBufferCodeReader reader_{kCode, kFunction};
};

// Names every address of the buffer as part of the one function; nothing elsewhere.
class TOneFunctionNamer : public ICodeNamer {
public:
    std::optional<TCodeName> Name(TItemAddress address) const override
    {
        if (address < kFunction || address >= kFunction + kCode.size())
            return std::nullopt;
        TCodeName name;
        name.function = u"Walked";
        name.functionStart = kFunction;
        return name;
    }
};

struct TAddressCase {
    uintptr_t address;
    uintptr_t reported;
};

class ExceptionAddressCheck : public ::testing::TestWithParam<TAddressCase> {};

TEST_P(ExceptionAddressCheck, MovesOnBy4OnlyWhenThatReachesAnInstruction)
{
    const TCodeBuffer code;
    const TOneFunctionNamer namer;
    EXPECT_EQ(CheckedExceptionAddress(GetParam().address, namer, code), GetParam().reported);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ExceptionAddressCheck,
    ::testing::Values(TAddressCase{0x1003, 0x1003},  // an instruction's start stays
                      TAddressCase{0x100B, 0x100B},  // the last one too
                      TAddressCase{0x1004, 0x1008},  // inside the move: 4 further is the first nop
                      TAddressCase{0x1007, 0x100B},  // 4 further is the return
                      TAddressCase{0x1002, 0x1002},  // 4 further is inside the move as well
                      TAddressCase{0x0FF0, 0x0FF0},  // no function is known there
                      TAddressCase{0, 0}));

} // namespace
