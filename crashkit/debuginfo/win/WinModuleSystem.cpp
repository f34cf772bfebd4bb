#include "WinModuleSystem.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "DbgHelpReader.h"
#include "text/FilePaths.h"
#include "win32/FileReads.h"
#include "win32/WinFile.h"
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

struct TFindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using TFindHandle = std::unique_ptr<void, TFindCloser>;

UnicodeString Text(const wchar_t* text)
{
    return UnicodeString(reinterpret_cast<const char16_t*>(text));
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

std::optional<std::string> TWinModuleSystem::ReadFilePart(const UnicodeString& path, uint64_t offset,
                                                          size_t length) const
{
    const TWinFile file(CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size))
        return std::nullopt;
    const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
    if (offset >= fileSize)
        return std::string();
    const uint64_t available = std::min<uint64_t>(fileSize - offset, length);
    if (available > SIZE_MAX / 2)
        return std::nullopt;
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    std::string data;
    try {
        data.resize(static_cast<size_t>(available));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (!SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN) || !ReadExactly(file.Get(), data.data(), data.size()))
        return std::nullopt;
    return data;
}

std::optional<std::vector<UnicodeString>> TWinModuleSystem::FilesNamedLike(const UnicodeString& moduleFileName) const
{
    const UnicodeString folder = ExtractFilePathW(moduleFileName);
    WIN32_FIND_DATAW found{};
    const HANDLE first = FindFirstFileExW(Wide(SideFileName(moduleFileName, u".*")), FindExInfoStandard, &found,
                                          FindExSearchNameMatch, nullptr, 0);
    if (first == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return std::vector<UnicodeString>();
        return std::nullopt;
    }
    const TFindHandle find(first);
    std::vector<UnicodeString> files;
    do {
        // A short name matches the pattern as well as the long one; a path may use either.
        files.push_back(folder + Text(found.cFileName));
        if (found.cAlternateFileName[0] != 0)
            files.push_back(folder + Text(found.cAlternateFileName));
    } while (FindNextFileW(find.get(), &found));
    return files;
}
