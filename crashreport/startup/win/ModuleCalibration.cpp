#include "ModuleCalibration.h"

#include <span>

#include "engine/win/ProcessLists.h"
#include "settings/win/ZeSettings.h"
#include "startup/Calibration.h"
#include "text/CaseFolding.h"

namespace {

constexpr wchar_t kResourceType[] = L"ZEL";
constexpr wchar_t kResourceName[] = L"CALIBRATE";

std::span<const uint8_t> CalibrationResource(HMODULE module)
{
    HRSRC found = FindResourceW(module, kResourceName, kResourceType);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return {static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
}

IMAGE_NT_HEADERS* Headers(HMODULE module)
{
    auto* base = reinterpret_cast<uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return headers->Signature == IMAGE_NT_SIGNATURE ? headers : nullptr;
}

// The library's own code starts at its first executable section.
uintptr_t FirstCodeAddress(HMODULE module, const IMAGE_NT_HEADERS& headers)
{
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(&headers);
    for (WORD index = 0; index < headers.FileHeader.NumberOfSections; ++index, ++section)
        if (section->Characteristics & IMAGE_SCN_CNT_CODE)
            return reinterpret_cast<uintptr_t>(module) + section->VirtualAddress;
    return reinterpret_cast<uintptr_t>(module);
}

void Apply(HMODULE module, IMAGE_NT_HEADERS& headers, const TCalibration& calibration)
{
    auto& optional = headers.OptionalHeader;
    const auto base = reinterpret_cast<uintptr_t>(module);
    const auto start = [&](uint32_t value) {
        return calibration.otherModule ? value
                                       : static_cast<uint32_t>(FirstCodeAddress(module, headers) - value - base);
    };
    optional.BaseOfCode = start(calibration.codeStart);
#if !defined(_WIN64)
    optional.BaseOfData = start(calibration.dataStart);
#endif
    optional.SizeOfCode = calibration.sizeOfCode;
    optional.SizeOfInitializedData = calibration.sizeOfInitializedData;
    optional.SizeOfUninitializedData = calibration.sizeOfUninitializedData;
}

} // namespace

bool CalibrateModule(HMODULE module)
{
    if (!module)
        return false;
    const auto calibration = ReadCalibration(CalibrationResource(module), module == CrashLibraryModule());
    IMAGE_NT_HEADERS* headers = calibration ? Headers(module) : nullptr;
    if (!headers)
        return false;
    void* optional = &headers->OptionalHeader;
    const SIZE_T size = headers->FileHeader.SizeOfOptionalHeader;
    DWORD oldProtection = 0;
    if (!VirtualProtect(optional, size, PAGE_READWRITE, &oldProtection))
        return false;
    Apply(module, *headers, *calibration);
    VirtualProtect(optional, size, oldProtection, &oldProtection);
    FlushInstructionCache(GetCurrentProcess(), optional, size);
    return true;
}

void CalibrateAllModules()
{
    CalibrateModule(GetModuleHandleW(nullptr));
    if (CrashLibraryModule() != GetModuleHandleW(nullptr))
        CalibrateModule(CrashLibraryModule());
    for (const TModuleEntry& entry : EnumerateModules()) {
        const UnicodeString& name = entry.fileName;
        if (name.size() > 4 && SameTextW(std::u16string_view(name).substr(name.size() - 4), u".bpl"))
            CalibrateModule(entry.module);
    }
}
