#include "capture/win/ThreadCreationCall.h"

#include <windows.h>

#include "InstructionDecoder.h"
#include "LiveProcess.h"

namespace {

constexpr unsigned kLongestWalk = 300;

const void* ExportOf(const wchar_t* module, const char* name)
{
    const HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<const void*>(GetProcAddress(handle, name)) : nullptr;
}

// Whether the target creates threads; extended tells which of the two it is.
bool IsCreator(const void* target, bool& extended)
{
    if (!target)
        return false;
    for (const wchar_t* module : {L"kernelbase.dll", L"kernel32.dll"}) {
        if (target == ExportOf(module, "CreateRemoteThreadEx")) {
            extended = true;
            return true;
        }
        if (target == ExportOf(module, "CreateRemoteThread")) {
            extended = false;
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<TCreationCall> FindCreationCall(const void* createThread)
{
    if constexpr (sizeof(void*) != 4)
        return std::nullopt;
    const TLiveCodeReader reader;
    auto address = static_cast<CodeAddress>(reinterpret_cast<uintptr_t>(createThread));
    for (unsigned step = 0; address && step < kLongestWalk; ++step) {
        const TDecodedInstruction instruction = DecodeInstruction(reader, address);
        const TInstructionInfo& info = instruction.info;
        if (!info.valid || instruction.length == 0 || IsReturn(info.opcode))
            return std::nullopt;
        const bool branch = info.isCall || IsUnconditionalJump(instruction);
        bool extended = false;
        if (branch && info.relativeTarget && info.targetSize == 4 &&
            IsCreator(reinterpret_cast<const void*>(static_cast<uintptr_t>(info.target)), extended))
            return TCreationCall{reinterpret_cast<void*>(static_cast<uintptr_t>(info.displacementAt)), false,
                                 reinterpret_cast<const void*>(static_cast<uintptr_t>(info.target)), extended};
        if (branch && info.pointerCell) {
            const std::optional<uint32_t> pointer = ReadDword(reader, info.pointerCell);
            const auto* target = reinterpret_cast<const void*>(static_cast<uintptr_t>(pointer.value_or(0)));
            if (IsCreator(target, extended))
                return TCreationCall{reinterpret_cast<void*>(static_cast<uintptr_t>(info.pointerCell)), true, target,
                                     extended};
        }
        if (IsUnconditionalJump(instruction)) {
            // A stub or a tail jump: the walk goes on at its target.
            address = info.target;
            continue;
        }
        address = info.next;
    }
    return std::nullopt;
}
