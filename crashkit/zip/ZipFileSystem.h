#pragma once
// What the zip writer needs of a file system: whole source files with their times and
// attributes, and an archive file to write or delete.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "text/ZelTypes.h"

struct TZipSourceFile {
    std::string contents;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t attributes = 0; // Windows file attributes
};

class IZipOutput {
public:
    virtual ~IZipOutput() = default;
    // False unless every byte was written.
    virtual bool Write(const void* data, size_t length) = 0;
    // False when the file could not be completed on disk.
    virtual bool Close() = 0;
};

class IZipFileSystem {
public:
    virtual ~IZipFileSystem() = default;
    // None when the file cannot be opened or read whole.
    virtual std::optional<TZipSourceFile> ReadWholeFile(const UnicodeString& name) = 0;
    // Creates or truncates the archive for exclusive writing; null when that fails.
    virtual std::unique_ptr<IZipOutput> CreateArchive(const UnicodeString& name) = 0;
    virtual void DeleteArchive(const UnicodeString& name) = 0;
};
