#include "capture/win/PackageExports.h"

#include <map>
#include <string>

#include "engine/win/ProcessLists.h"
#include "text/CaseFolding.h"
#include "win32/MemoryAccess.h"

namespace {

constexpr char16_t kPackageExtension[] = u".bpl";
constexpr uint8_t kRelativeJump = 0xE9;

const void* ExportOf(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<const void*>(GetProcAddress(module, name)) : nullptr;
}

bool IsPackageFile(const UnicodeString& fileName)
{
    const size_t length = std::char_traits<char16_t>::length(kPackageExtension);
    return fileName.size() >= length &&
           SameTextW(std::u16string_view(fileName).substr(fileName.size() - length), kPackageExtension);
}

bool StartsWithJump(const void* routine)
{
    return routine && !IsBadReadArea(routine, 1) && *static_cast<const uint8_t*>(routine) == kRelativeJump;
}

} // namespace

HMODULE FindPackageExport(HMODULE foundBefore, const char* packageBaseName, unsigned version,
                          const char* exportName)
{
    if (ExportOf(foundBefore, exportName))
        return foundBefore;
    const std::string fileName = std::string(packageBaseName) + std::to_string(version) + ".bpl";
    if (const HMODULE named = GetModuleHandleA(fileName.c_str()); ExportOf(named, exportName))
        return named;
    for (const TModuleEntry& entry : EnumerateModules()) {
        if (IsPackageFile(entry.fileName) && ExportOf(entry.module, exportName))
            return entry.module;
    }
    return nullptr;
}

TPackageRoutines FindPackageRoutines()
{
    TPackageRoutines routines;
    std::map<std::string, HMODULE> packages;
    for (const TRuntimeExportName& name : kRuntimeExportNames) {
        HMODULE& package = packages[name.package];
        package = FindPackageExport(package, name.package, kRuntimePackageVersion, name.name);
        routines.address[static_cast<size_t>(name.routine)] = ExportOf(package, name.name);
    }
    for (const TRuntimeRoutine shown : {TRuntimeRoutine::AppShowException, TRuntimeRoutine::UtilityShowException}) {
        if (StartsWithJump(routines[shown])) {
            routines = TPackageRoutines{};
            routines.alreadyPatched = true;
            break;
        }
    }
    return routines;
}
