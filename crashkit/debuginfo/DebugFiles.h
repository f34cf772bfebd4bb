#pragma once
// How the debug-information sources reach files beside a module (".zel", ".map", ...).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/ZelTypes.h"

class IDebugFiles {
public:
    virtual ~IDebugFiles() = default;
    // The whole file; none when it does not exist or cannot be read.
    virtual std::optional<std::string> ReadWholeFile(const UnicodeString& path) const = 0;
    // The day (whole days since any fixed point) of the file's last write; none when unknown.
    virtual std::optional<int64_t> WriteDay(const UnicodeString&) const { return std::nullopt; }
    // Up to length bytes from the offset, fewer at the file's end; none when the file cannot be
    // read. Module files can be large: readers that can seek override the whole-file default.
    virtual std::optional<std::string> ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const;
    // Every file beside the module named like it with any extension ("Mod.*"), as full paths;
    // none when unknown. Lets a search skip the side files that are not there.
    virtual std::optional<std::vector<UnicodeString>> FilesNamedLike(const UnicodeString&) const { return std::nullopt; }
};

// The files of one module, passing over the side files its folder is known not to hold: one
// listing of the folder instead of a failed open per side file.
class TModuleSideFiles : public IDebugFiles {
public:
    TModuleSideFiles(const IDebugFiles& files, const UnicodeString& moduleFileName);

    // False only for a side file of the module known to be missing.
    bool MayExist(const UnicodeString& path) const;

    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override;
    std::optional<int64_t> WriteDay(const UnicodeString& path) const override;
    std::optional<std::string> ReadFilePart(const UnicodeString& path, uint64_t offset, size_t length) const override;

private:
    const IDebugFiles& files_;
    UnicodeString moduleFileName_;
    UnicodeString sideFilePrefix_; // the module's path up to and with the dot of its extension
    mutable std::optional<std::optional<std::vector<UnicodeString>>> listed_; // listed when first asked
};

class TMapFile;

// A program database beside the module, read by the platform's debug helper.
class IProgramDatabase {
public:
    virtual ~IProgramDatabase() = default;
    // False when the database does not exist or cannot be read.
    virtual bool Load(const UnicodeString& databaseFileName, const UnicodeString& moduleFileName, uint64_t moduleBase,
                      TMapFile& map) const = 0;
};

// The module file name with its extension (".dll") replaced by another (".zel").
UnicodeString SideFileName(std::u16string_view moduleFileName, std::u16string_view extension);
