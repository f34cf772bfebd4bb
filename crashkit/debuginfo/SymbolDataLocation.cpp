#include "debuginfo/SymbolDataLocation.h"

#include <algorithm>

#include "debuginfo/ResourceLookup.h"
#include "system/MemoryReader.h"

namespace {

constexpr unsigned kDebugDirectory = 6;
constexpr uint32_t kDebugEntrySize = 28;
constexpr uint32_t kMaxDebugEntries = 64;

bool IsSymbolData(std::string_view data)
{
    return data.starts_with("FB09") || data.starts_with("FB0A");
}

// Data the debug directory names: mapped at its address, else at its file position.
std::optional<std::string> FromDebugDirectory(const TImageView& image, const UnicodeString& moduleFileName,
                                              const IDebugFiles& files)
{
    const TDataDirectory directory = image.Headers().Directory(kDebugDirectory);
    const uint32_t entries = std::min(directory.size / kDebugEntrySize, kMaxDebugEntries);
    std::optional<std::string> moduleFile;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t fields[3] = {}; // size, address, file position
        if (!image.ReadRva(directory.rva + kDebugEntrySize * i + 16, fields, sizeof fields) || fields[0] > kMaxResourceSize)
            continue;
        std::string data(fields[0], '\0');
        if (fields[1] != 0 && image.ReadRva(fields[1], data.data(), data.size()) && IsSymbolData(data))
            return data;
        if (!moduleFile)
            moduleFile = files.ReadWholeFile(moduleFileName).value_or("");
        if (fields[2] < moduleFile->size() && moduleFile->size() - fields[2] >= fields[0]) {
            data = moduleFile->substr(fields[2], fields[0]);
            if (IsSymbolData(data))
                return data;
        }
    }
    return std::nullopt;
}

// A ".map" file written on a later day than the ".tds" file is the one to believe.
bool MapIsNewer(const UnicodeString& tdsName, const UnicodeString& moduleFileName, const IDebugFiles& files)
{
    const std::optional<int64_t> tdsDay = files.WriteDay(tdsName);
    const std::optional<int64_t> mapDay = files.WriteDay(SideFileName(moduleFileName, u".map"));
    return tdsDay && mapDay && *mapDay > *tdsDay;
}

// What the module's file holds behind its last section.
std::optional<std::string> BehindSections(const UnicodeString& moduleFileName, const IDebugFiles& files)
{
    const std::optional<std::string> file = files.ReadWholeFile(moduleFileName);
    if (!file)
        return std::nullopt;
    const TBufferReader reader(*file);
    const std::optional<TPeHeaders> headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return std::nullopt;
    uint64_t end = headers->sizeOfHeaders;
    for (const TPeSection& section : headers->sections)
        end = std::max<uint64_t>(end, uint64_t{section.rawOffset} + section.rawSize);
    if (end >= file->size() || !IsSymbolData(std::string_view(*file).substr(end)))
        return std::nullopt;
    return file->substr(end);
}

} // namespace

std::optional<std::string> FindSymbolData(const TImageView* image, const UnicodeString& moduleFileName, const IDebugFiles& files)
{
    if (image && image->Headers().Directory(kDebugDirectory).size != 0)
        return FromDebugDirectory(*image, moduleFileName, files);
    const UnicodeString tdsName = SideFileName(moduleFileName, u".tds");
    const std::optional<std::string> sideFile = files.ReadWholeFile(tdsName);
    if (sideFile && IsSymbolData(*sideFile) && !MapIsNewer(tdsName, moduleFileName, files))
        return sideFile;
    return BehindSections(moduleFileName, files);
}
