#include "CallSite.h"

#include <algorithm>
#include <array>

#include "InstructionDecoder.h"

namespace {

constexpr uint8_t kCallRelative = 0xE8;
constexpr uint8_t kCallFar = 0x9A;
constexpr uint8_t kGroupFF = 0xFF;

// FF /2 and FF /3: the ModRM reg field is 2 or 3.
bool IsIndirectCall(uint8_t opcode, uint8_t modRm)
{
    return opcode == kGroupFF && (modRm & 0x30) == 0x10;
}

} // namespace

bool EndsInCall(const std::array<uint8_t, 8>& b)
{
    return b[3] == kCallRelative || IsIndirectCall(b[6], b[7]) || IsIndirectCall(b[5], b[6]) ||
           IsIndirectCall(b[4], b[5]) || IsIndirectCall(b[2], b[3]) || IsIndirectCall(b[1], b[2]) || b[1] == kCallFar;
}

std::optional<TVerifiedCall> VerifyCall(const ICodeReader& code, CodeAddress value)
{
    for (CodeAddress start = value - 7; start != value - 1; ++start) {
        const TInstructionInfo info = ParseCode(code, start);
        if (info.valid && info.isCall && info.next == value)
            return TVerifiedCall{start, info.relativeTarget || info.pointerCell ? info.target : 0};
    }
    return std::nullopt;
}

std::optional<TVerifiedCall> WalkedCallAt(const TFunctionInfo& function, CodeAddress value)
{
    for (const TOutsideCall& call : function.outsideCalls) {
        if (call.isCall && call.next == value)
            return TVerifiedCall{call.start, call.target};
    }
    for (const TUnresolvedBranch& branch : function.unresolvedBranches) {
        if (branch.isCall && branch.next == value)
            return TVerifiedCall{branch.start, 0};
    }
    return std::nullopt;
}

bool InWalkedCode(const TFunctionInfo& function, CodeAddress address)
{
    return std::any_of(function.areas.begin(), function.areas.end(), [address](const TFunctionArea& area) {
        return !area.isCaseTable && !area.isHandlerTable && address >= area.start && address <= area.end;
    });
}

bool IsInstructionBoundary(const ICodeReader& code, const TFunctionInfo& function, CodeAddress address)
{
    for (const TFunctionArea& area : function.areas) {
        if (area.isCaseTable || area.isHandlerTable || address < area.start || address > area.end)
            continue;
        CodeAddress at = area.start;
        while (at < address) {
            const TInstructionInfo info = ParseCode(code, at);
            if (!info.valid || info.next <= at)
                break;
            at = info.next;
        }
        if (at == address)
            return true;
    }
    return false;
}

CodeAddress ResolveThunk(const ICodeReader& code, CodeAddress target)
{
    const TDecodedInstruction jump = DecodeInstruction(code, target);
    if (!jump.info.valid || !IsUnconditionalJump(jump))
        return target;
    if (jump.info.relativeTarget && jump.info.target != 0)
        return jump.info.target;
    if (jump.info.pointerCell != 0) {
        if (const std::optional<uint32_t> routine = ReadDword(code, jump.info.pointerCell); routine && *routine != 0)
            return *routine;
    }
    return target;
}
