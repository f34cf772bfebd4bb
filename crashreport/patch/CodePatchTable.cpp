#include "patch/CodePatchTable.h"

#include <windows.h>

#include <cstring>

#include "disasm/win/GuardedRead.h"
#include "patch/NearThunk.h"

namespace {

constexpr uint8_t kJumpOpcode = 0xE9;
constexpr size_t kJumpBytes = 5;
constexpr uint8_t kIndirectJump[] = {0xFF, 0x25};

// Writes bytes into code whatever its protection; false when it could not be made writable.
bool WriteCode(uint8_t* address, const std::vector<uint8_t>& bytes)
{
    DWORD previous = 0;
    if (!VirtualProtect(address, bytes.size(), PAGE_EXECUTE_READWRITE, &previous))
        return false;
    std::memcpy(address, bytes.data(), bytes.size());
    DWORD ignored = 0;
    VirtualProtect(address, bytes.size(), previous, &ignored);
    FlushInstructionCache(GetCurrentProcess(), address, bytes.size());
    return true;
}

bool ReadCode(const uint8_t* address, std::vector<uint8_t>& bytes)
{
    return TryRead(reinterpret_cast<uintptr_t>(address), bytes.data(), bytes.size());
}

std::vector<uint8_t> RelativeJump(const void* from, const void* to)
{
    const auto displacement = static_cast<int32_t>(reinterpret_cast<intptr_t>(to)
                                                   - (reinterpret_cast<intptr_t>(from) + static_cast<intptr_t>(kJumpBytes)));
    std::vector<uint8_t> bytes(kJumpBytes);
    bytes[0] = kJumpOpcode;
    std::memcpy(bytes.data() + 1, &displacement, sizeof displacement);
    return bytes;
}

} // namespace

TCodePatchTable& CodePatches()
{
    static TCodePatchTable table;
    return table;
}

void* TCodePatchTable::JumpSite(void* routine)
{
    uint8_t head[6] = {};
    if (!routine || !TryRead(reinterpret_cast<uintptr_t>(routine), head, sizeof head)
        || std::memcmp(head, kIndirectJump, sizeof kIndirectJump) != 0)
        return routine;
    int32_t operand = 0;
    std::memcpy(&operand, head + 2, sizeof operand);
    // The pointer's address: absolute on x86, relative to the next instruction on x86_64.
    uintptr_t slot = static_cast<uint32_t>(operand);
    if constexpr (sizeof(void*) == 8)
        slot = reinterpret_cast<uintptr_t>(routine) + sizeof head + static_cast<intptr_t>(operand);
    void* target = nullptr;
    if (!TryRead(slot, &target, sizeof target) || !target)
        return routine;
    return target;
}

bool TCodePatchTable::PatchCode(void* address, const void* newBytes, size_t length, void* thunk)
{
    if (!address || !newBytes || length == 0)
        return false;
    const std::lock_guard guard(lock_);
    auto* site = static_cast<uint8_t*>(address);
    std::vector<uint8_t> oldBytes(length);
    std::vector<uint8_t> replacement(length);
    if (!ReadCode(site, oldBytes) || !TryRead(reinterpret_cast<uintptr_t>(newBytes), replacement.data(), length))
        return false;
    if (oldBytes == replacement || !WriteCode(site, replacement))
        return false;
    patches_.push_back({site, std::move(oldBytes), std::move(replacement), thunk});
    return true;
}

bool TCodePatchTable::PatchJump(void* routine, const void* target)
{
    void* site = JumpSite(routine);
    if (!site || !target)
        return false;
    if (IsInJumpReach(site, target)) {
        const std::vector<uint8_t> jump = RelativeJump(site, target);
        return PatchCode(site, jump.data(), jump.size());
    }
    void* thunk = AllocateThunkNear(site);
    if (!thunk)
        return false;
    WriteAbsoluteJump(thunk, target);
    FlushInstructionCache(GetCurrentProcess(), thunk, 16);
    const std::vector<uint8_t> jump = RelativeJump(site, thunk);
    if (!IsInJumpReach(site, thunk) || !PatchCode(site, jump.data(), jump.size(), thunk)) {
        ReleaseThunkMemory(thunk);
        return false;
    }
    return true;
}

bool TCodePatchTable::PatchPointer(void* address, const void* value)
{
    return PatchPointerWithThunk(address, value, nullptr);
}

bool TCodePatchTable::PatchPointerWithThunk(void* address, const void* value, void* thunk)
{
    return PatchCode(address, &value, sizeof value, thunk);
}

void TCodePatchTable::RestorePatches()
{
    const std::lock_guard guard(lock_);
    for (const TPatch& patch : patches_) {
        std::vector<uint8_t> current(patch.newBytes.size());
        if (ReadCode(patch.address, current) && current == patch.newBytes)
            WriteCode(patch.address, patch.oldBytes);
    }
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
}

void TCodePatchTable::ClearPatches()
{
    RestorePatches();
    const std::lock_guard guard(lock_);
    for (const TPatch& patch : patches_)
        ReleaseThunkMemory(patch.thunk);
    patches_.clear();
}

size_t TCodePatchTable::Count() const
{
    const std::lock_guard guard(lock_);
    return patches_.size();
}
