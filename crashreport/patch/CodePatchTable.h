#pragma once
// Changes to code in memory, remembered so that each is undone once and only while it is still
// in place. One lock guards the table and every write through it.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TCodePatchTable {
public:
    TCodePatchTable() = default;
    ~TCodePatchTable() { ClearPatches(); }
    TCodePatchTable(const TCodePatchTable&) = delete;
    TCodePatchTable& operator=(const TCodePatchTable&) = delete;

    // Writes the bytes when they differ from those in place; the thunk (may be null) is
    // released with the table. False when nothing was written.
    bool PatchCode(void* address, const void* newBytes, size_t length, void* thunk = nullptr);
    // A relative jump to target at the routine's entry, or at the routine an import stub
    // ("jmp [pointer]") leads to; through a stub within reach when the target is too far.
    bool PatchJump(void* routine, const void* target);
    bool PatchPointer(void* address, const void* value);
    bool PatchPointerWithThunk(void* address, const void* value, void* thunk);
    // Writes back what each patch replaced when the patch is still in place.
    void RestorePatches();
    // Restores, releases the thunks and empties the table.
    void ClearPatches();
    size_t Count() const;

    // The routine a jump at this address patches: itself, or the target of an import stub.
    static void* JumpSite(void* routine);

private:
    struct TPatch {
        uint8_t* address;
        std::vector<uint8_t> oldBytes;
        std::vector<uint8_t> newBytes;
        void* thunk;
    };

    mutable std::mutex lock_;
    std::vector<TPatch> patches_;
};

// The table of this copy of the library.
TCodePatchTable& CodePatches();
