#include "win32/ModuleImage.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "system/PeExports.h"
#include "text/Utf.h"
#include "win32/MappedFile.h"
#include "win32/MemoryAccess.h"

namespace {

// Forwarders may chain through several modules; a loop in them ends here.
constexpr int kMaxForwarding = 8;

uint64_t BaseOf(HMODULE module)
{
    return reinterpret_cast<uintptr_t>(module);
}

struct TLoadedExports {
    TLiveMemoryReader memory;
    std::optional<TLoadedImage> image;
    std::optional<TExportDirectory> exports;

    explicit TLoadedExports(HMODULE module)
    {
        if (!module)
            return;
        const auto headers = ReadPeHeaders(memory, BaseOf(module));
        if (!headers)
            return;
        image.emplace(memory, BaseOf(module), *headers);
        exports = ReadExportDirectory(*image);
    }

    bool Valid() const { return image && exports; }
};

UnicodeString ModuleFileName(HMODULE module)
{
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return {};
    return UnicodeString(reinterpret_cast<const char16_t*>(path), length);
}

// The same export read from the module's file, when the file's table lies where the loaded
// one does.
std::optional<TExport> FromFile(HMODULE module, const TExportDirectory& loadedExports, const char* name)
{
    const UnicodeString path = ModuleFileName(module);
    if (path.empty())
        return std::nullopt;
    const TMappedFile file(reinterpret_cast<const wchar_t*>(path.c_str()));
    const TBufferReader reader(file.Bytes());
    const auto headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return std::nullopt;
    const TFileImage image(reader, 0, *headers);
    const auto exports = ReadExportDirectory(image);
    if (!exports || !exports->SameTablesAs(loadedExports))
        return std::nullopt;
    return ExportByName(image, *exports, name);
}

FARPROC ResolveEntry(HMODULE module, const TExport& entry, int depth);

FARPROC Lookup(HMODULE module, const char* name, bool fromFile, int depth)
{
    const TLoadedExports loaded(module);
    if (loaded.Valid()) {
        std::optional<TExport> entry = ExportByName(*loaded.image, *loaded.exports, name);
        if (entry && (fromFile || entry->rva >= loaded.image->Headers().sizeOfImage)) {
            if (const auto onDisk = FromFile(module, *loaded.exports, name))
                entry = onDisk;
        }
        if (entry) {
            if (const FARPROC found = ResolveEntry(module, *entry, depth))
                return found;
        }
    }
    return module ? GetProcAddress(module, name) : nullptr;
}

FARPROC LookupOrdinal(HMODULE module, uint32_t ordinal, int depth)
{
    const TLoadedExports loaded(module);
    if (loaded.Valid()) {
        if (const auto entry = ExportByOrdinal(*loaded.image, *loaded.exports, ordinal)) {
            if (const FARPROC found = ResolveEntry(module, *entry, depth))
                return found;
        }
    }
    return module && ordinal <= 0xFFFF ? GetProcAddress(module, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

// "module.function" or "module.#ordinal" in a module already loaded.
FARPROC Forwarded(const std::string& forwarder, int depth)
{
    const size_t dot = forwarder.rfind('.');
    if (dot == std::string::npos || depth >= kMaxForwarding)
        return nullptr;
    const HMODULE target = GetModuleHandleA(forwarder.substr(0, dot).c_str());
    if (!target)
        return nullptr;
    const std::string function = forwarder.substr(dot + 1);
    if (!function.empty() && function[0] == '#')
        return LookupOrdinal(target, static_cast<uint32_t>(std::strtoul(function.c_str() + 1, nullptr, 10)), depth + 1);
    return Lookup(target, function.c_str(), false, depth + 1);
}

FARPROC ResolveEntry(HMODULE module, const TExport& entry, int depth)
{
    if (!entry.forwarder.empty())
        return Forwarded(entry.forwarder, depth);
    return reinterpret_cast<FARPROC>(reinterpret_cast<uintptr_t>(module) + entry.rva);
}

std::optional<std::string> ExportNameAt(HMODULE module, const void* address, bool unmangle)
{
    const auto target = reinterpret_cast<uintptr_t>(address);
    const auto base = reinterpret_cast<uintptr_t>(module);
    if (target < base || target - base > UINT32_MAX)
        return std::nullopt;
    const TLoadedExports loaded(module);
    if (!loaded.Valid())
        return std::nullopt;
    return ExportNameOf(*loaded.image, *loaded.exports, static_cast<uint32_t>(target - base), unmangle);
}

} // namespace

bool GetModuleOfAddress(const void* address, HMODULE& module, UnicodeString& fileName)
{
    module = nullptr;
    fileName.clear();
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(address, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT)
        return false;
    const auto candidate = static_cast<HMODULE>(region.AllocationBase);
    fileName = ModuleFileName(candidate);
    if (fileName.empty())
        return false;
    module = candidate;
    return true;
}

const IMAGE_NT_HEADERS* GetImageNtHeaders(HMODULE module)
{
    if (!module)
        return nullptr;
    const TLiveMemoryReader memory;
    const auto headers = ReadPeHeaders(memory, BaseOf(module));
    if (!headers)
        return nullptr;
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(module) + headers->ntHeadersOffset);
}

const void* GetImageDirectory(HMODULE module, unsigned index)
{
    if (!module)
        return nullptr;
    const TLiveMemoryReader memory;
    const auto headers = ReadPeHeaders(memory, BaseOf(module));
    if (!headers)
        return nullptr;
    const TDataDirectory directory = headers->Directory(index);
    if (directory.rva == 0 || directory.rva >= headers->sizeOfImage)
        return nullptr;
    return reinterpret_cast<const char*>(module) + directory.rva;
}

const IMAGE_EXPORT_DIRECTORY* GetImageExportDirectory(HMODULE module)
{
    return static_cast<const IMAGE_EXPORT_DIRECTORY*>(GetImageDirectory(module, IMAGE_DIRECTORY_ENTRY_EXPORT));
}

uint32_t GetImageSize(const IMAGE_NT_HEADERS* headers)
{
    // The same offset in PE32 and PE32+ optional headers.
    uint32_t size = 0;
    if (!headers)
        return 0;
    const auto at = reinterpret_cast<const char*>(headers) + 4 + sizeof(IMAGE_FILE_HEADER) + 56;
    if (IsBadReadArea(at, sizeof size))
        return 0;
    std::memcpy(&size, at, sizeof size);
    return size;
}

FARPROC GetImageProcAddress(HMODULE module, const char* name, bool fromFile)
{
    if (!name)
        return nullptr;
    return Lookup(module, name, fromFile, 0);
}

FARPROC GetImageProcAddressByOrdinal(HMODULE module, uint32_t ordinal)
{
    return LookupOrdinal(module, ordinal, 0);
}

bool GetExportNameA(HMODULE module, const void* address, bool unmangle, AnsiString& name)
{
    const auto found = ExportNameAt(module, address, unmangle);
    name = found.value_or(AnsiString());
    return found.has_value();
}

bool GetExportNameW(HMODULE module, const void* address, bool unmangle, UnicodeString& name)
{
    const auto found = ExportNameAt(module, address, unmangle);
    name = found ? UTF8ToWide(*found) : UnicodeString();
    return found.has_value();
}

std::string LoadResourceStr(HMODULE module, const wchar_t* type, const wchar_t* name)
{
    const HRSRC resource = FindResourceW(module, name, type);
    if (!resource)
        return {};
    const HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0)
        return {};
    return std::string(static_cast<const char*>(data), size);
}
