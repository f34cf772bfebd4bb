#pragma once
// An i686 image file mapped as a loader would map it, with the debug information of its side
// file when it has one: what the tests and the benchmark that trace over real code read.
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "ImageEnvironment.h"
#include "debuginfo/MapFileBuilder.h"
#include "system/MemoryReader.h"
#include "system/PeImage.h"
#include "text/Utf.h"

// In one read: the DLLs are tens of megabytes with their debug sections.
inline std::optional<std::string> FileContents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return std::nullopt;
    std::string contents(static_cast<size_t>(file.tellg()), '\0');
    file.seekg(0);
    if (!file.read(contents.data(), static_cast<std::streamsize>(contents.size())))
        return std::nullopt;
    return contents;
}

class TFileDebugFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        return FileContents(WideToUTF8(path));
    }
};

struct TImageFile {
    std::string contents;
    std::optional<TPeImage> pe; // as mapped
    std::unique_ptr<TImageEnvironment> environment;
    std::unique_ptr<TBufferReader> reader; // over the file's contents
    std::unique_ptr<TFileImage> image;
    TMapFile map; // not valid without debug information
};

inline std::string FileNameOf(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// False when the file is missing or no 32-bit PE image.
inline bool LoadImageFile(const std::string& path, TImageFile& loaded)
{
    std::optional<std::string> contents = FileContents(path);
    if (!contents)
        return false;
    loaded.contents = std::move(*contents);
    loaded.pe = LoadPeImage({reinterpret_cast<const uint8_t*>(loaded.contents.data()), loaded.contents.size()});
    loaded.reader = std::make_unique<TBufferReader>(loaded.contents);
    const std::optional<TPeHeaders> headers = ReadPeHeaders(*loaded.reader, 0);
    if (!loaded.pe || !headers)
        return false;
    loaded.environment = std::make_unique<TImageEnvironment>(*loaded.pe, FileNameOf(path));
    loaded.image = std::make_unique<TFileImage>(*loaded.reader, 0, *headers);
    loaded.map = BuildMapFile({loaded.image.get(), loaded.pe->imageBase, UTF8ToWide(path)}, TFileDebugFiles());
    return true;
}
