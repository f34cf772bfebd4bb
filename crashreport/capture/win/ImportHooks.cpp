#include "capture/win/ImportHooks.h"

#include <atomic>
#include <vector>

#include "engine/win/ProcessLists.h"
#include "text/FilePaths.h"
#include "win32/MemoryAccess.h"

namespace {

HMODULE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryInMainProgram), &module);
    return module;
}

bool WritePointer(void** slot, const void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &old))
        return false;
    *slot = const_cast<void*>(value);
    VirtualProtect(slot, sizeof(void*), old, &old);
    return true;
}

const IMAGE_NT_HEADERS* NtHeaders(HMODULE module)
{
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    if (IsBadReadArea(base, sizeof(IMAGE_DOS_HEADER)))
        return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (IsBadReadArea(nt, sizeof(IMAGE_NT_HEADERS)) || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC)
        return nullptr;
    return nt;
}

// The import stub "jmp [pointer]" leads through that pointer: its address, or null.
void** StubPointer(const void* routine)
{
    const auto* code = static_cast<const uint8_t*>(routine);
    if (!code || IsBadReadArea(code, 6) || code[0] != 0xFF || code[1] != 0x25)
        return nullptr;
    int32_t displacement = 0;
    memcpy(&displacement, code + 2, sizeof displacement);
#if defined(__x86_64__)
    return reinterpret_cast<void**>(const_cast<uint8_t*>(code) + 6 + displacement); // relative to the next instruction
#else
    return reinterpret_cast<void**>(static_cast<uintptr_t>(static_cast<uint32_t>(displacement)));
#endif
}

std::vector<HMODULE> ModulesToPatch(bool allModules)
{
    if (!allModules && !LibraryInMainProgram())
        return {OwnModule()};
    std::vector<HMODULE> modules;
    for (const TModuleEntry& entry : EnumerateModules())
        modules.push_back(entry.module);
    return modules;
}

// Told once, and only to a developer with a debugger: hooks of threads and messages then
// miss the library's own calls.
void ShowInvalidImportTable()
{
    static std::atomic<bool> shown{false};
    if (!IsDebuggerPresent() || shown.exchange(true))
        return;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(OwnModule(), path, MAX_PATH);
    const UnicodeString caption = ExtractFileNameW(reinterpret_cast<const char16_t*>(path));
    MessageBoxW(nullptr, L"The import table is invalid.\r\n\r\nThis way zelExcept can't install the thread hooks.",
                reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK);
}

unsigned Replace(const std::vector<HMODULE>& modules, const void* routine, const void* from, const void* to)
{
    unsigned replaced = 0;
    for (const HMODULE module : modules) {
        bool damaged = false;
        replaced += ReplaceImportEntries(module, from, to, &damaged);
        if (damaged && module == OwnModule())
            ShowInvalidImportTable();
    }
    if (void** pointer = StubPointer(routine); pointer && !IsBadReadArea(pointer, sizeof(void*)) && *pointer == from)
        replaced += WritePointer(pointer, to) ? 1 : 0;
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
    return replaced;
}

} // namespace

bool LibraryInMainProgram()
{
    return OwnModule() == GetModuleHandleW(nullptr);
}

unsigned ReplaceImportEntries(HMODULE module, const void* from, const void* to, bool* damaged)
{
    const IMAGE_NT_HEADERS* nt = NtHeaders(module);
    if (!nt)
        return 0;
    const auto* base = reinterpret_cast<uint8_t*>(module);
    const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.VirtualAddress >= imageSize)
        return 0;
    unsigned replaced = 0;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         !IsBadReadArea(descriptor, sizeof *descriptor) && descriptor->Name != 0; ++descriptor) {
        if (descriptor->FirstThunk == 0 || descriptor->FirstThunk >= imageSize) {
            if (damaged)
                *damaged = true;
            break;
        }
        for (auto** entry = reinterpret_cast<void**>(const_cast<uint8_t*>(base) + descriptor->FirstThunk);
             !IsBadReadArea(entry, sizeof(void*)) && *entry; ++entry) {
            if (*entry == from && WritePointer(entry, to))
                ++replaced;
        }
    }
    return replaced;
}

bool HookImport(TImportHook& hook, bool allModules)
{
    if (!hook.original) {
        const HMODULE exporter = GetModuleHandleA(hook.moduleName);
        hook.original = exporter ? reinterpret_cast<void*>(GetProcAddress(exporter, hook.functionName)) : nullptr;
        if (!hook.original)
            return false;
    }
    Replace(ModulesToPatch(allModules), hook.routine, hook.original, hook.replacement);
    return true;
}

void UnhookImport(TImportHook& hook, bool allModules)
{
    if (hook.original)
        Replace(ModulesToPatch(allModules), hook.routine, hook.replacement, hook.original);
}
