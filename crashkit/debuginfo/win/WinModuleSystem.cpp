#include "WinModuleSystem.h"

#include <windows.h>

#include "DbgHelpReader.h"
#include "win32/ModuleImage.h"
#include "win32/Win32ZipFiles.h"

namespace {

LPCWSTR Wide(const UnicodeString& text)
{
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

// The file's last write as a local DOS date (high word) and time; 0 when unreadable.
constexpr uint64_t kFileTimeUnitsPerDay = 864000000000; // of 100 ns

uint32_t FileDosTime(const UnicodeString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    FILETIME local{};
    WORD date = 0;
    WORD time = 0;
    if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &attributes) ||
        !FileTimeToLocalFileTime(&attributes.ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return uint32_t{date} << 16 | time;
}

} // namespace

bool TWinProgramDatabase::Load(const UnicodeString& databaseFileName, const UnicodeString& moduleFileName,
                               uint64_t moduleBase, TMapFile& map) const
{
    if (GetFileAttributesW(Wide(databaseFileName)) == INVALID_FILE_ATTRIBUTES)
        return false;
    return LoadProgramDatabase(moduleFileName, moduleBase, map);
}

std::optional<TModuleIdentity> TWinModuleSystem::ModuleAt(uint64_t address) const
{
    HMODULE module = nullptr;
    UnicodeString fileName;
    if (!GetModuleOfAddress(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), module, fileName))
        return std::nullopt;
    return TModuleIdentity{reinterpret_cast<uintptr_t>(module), fileName, FileDosTime(fileName)};
}

std::optional<std::string> TWinModuleSystem::ReadWholeFile(const UnicodeString& path) const
{
    TWin32ZipFiles files;
    std::optional<TZipSourceFile> file = files.ReadWholeFile(path);
    return file ? std::optional(std::move(file->contents)) : std::nullopt;
}

std::optional<int64_t> TWinModuleSystem::WriteDay(const UnicodeString& path) const
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    FILETIME local{};
    if (!GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &attributes) ||
        !FileTimeToLocalFileTime(&attributes.ftLastWriteTime, &local))
        return std::nullopt;
    const uint64_t time = uint64_t{local.dwHighDateTime} << 32 | local.dwLowDateTime;
    return static_cast<int64_t>(time / kFileTimeUnitsPerDay);
}
