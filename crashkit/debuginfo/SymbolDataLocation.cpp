#include "debuginfo/SymbolDataLocation.h"

#include <algorithm>
#include <cstdint>

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
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t fields[3] = {}; // size, address, file position
        if (!image.ReadRva(directory.rva + kDebugEntrySize * i + 16, fields, sizeof fields) || fields[0] > kMaxResourceSize)
            continue;
        std::string data(fields[0], '\0');
        if (fields[1] != 0 && image.ReadRva(fields[1], data.data(), data.size()) && IsSymbolData(data))
            return data;
        std::optional<std::string> stored = files.ReadFilePart(moduleFileName, fields[2], fields[0]);
        if (stored && stored->size() == fields[0] && IsSymbolData(*stored))
            return stored;
    }
    return std::nullopt;
}

uint64_t SectionsEnd(const TPeHeaders& headers)
{
    uint64_t end = headers.sizeOfHeaders;
    for (const TPeSection& section : headers.sections)
        end = std::max<uint64_t>(end, uint64_t{section.rawOffset} + section.rawSize);
    return end;
}

// A ".map" file written on a later day than the ".tds" file is the one to believe.
bool MapIsNewer(const UnicodeString& tdsName, const UnicodeString& moduleFileName, const IDebugFiles& files)
{
    const std::optional<int64_t> tdsDay = files.WriteDay(tdsName);
    const std::optional<int64_t> mapDay = files.WriteDay(SideFileName(moduleFileName, u".map"));
    return tdsDay && mapDay && *mapDay > *tdsDay;
}

// Where the module's file ends its last section, from headers read from the file.
std::optional<uint64_t> SectionsEndInFile(const UnicodeString& moduleFileName, const IDebugFiles& files)
{
    constexpr size_t kHeadersPart = 64 * 1024;
    std::optional<std::string> start = files.ReadFilePart(moduleFileName, 0, kHeadersPart);
    if (!start)
        return std::nullopt;
    std::optional<TPeHeaders> headers = ReadPeHeaders(TBufferReader(*start), 0);
    if (!headers && start->size() == kHeadersPart) { // headers placed unusually far in
        start = files.ReadWholeFile(moduleFileName);
        if (start)
            headers = ReadPeHeaders(TBufferReader(*start), 0);
    }
    return headers ? std::optional(SectionsEnd(*headers)) : std::nullopt;
}

// What the module's file holds behind its last section. Only that tail is read (the loaded
// image's headers are the file's): a module's file may carry many megabytes of other debug
// data in its sections.
std::optional<std::string> BehindSections(const TImageView* image, const UnicodeString& moduleFileName,
                                          const IDebugFiles& files)
{
    constexpr size_t kMarkerLength = 4;
    const std::optional<uint64_t> end = image ? SectionsEnd(image->Headers()) : SectionsEndInFile(moduleFileName, files);
    if (!end)
        return std::nullopt;
    const std::optional<std::string> marker = files.ReadFilePart(moduleFileName, *end, kMarkerLength);
    if (!marker || !IsSymbolData(*marker))
        return std::nullopt;
    return files.ReadFilePart(moduleFileName, *end, SIZE_MAX);
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
    return BehindSections(image, moduleFileName, files);
}
