#pragma once
// How the debug-information sources reach files beside a module (".zel", ".map", ...).
#include <cstdint>
#include <optional>
#include <string>

#include "text/ZelTypes.h"

class IDebugFiles {
public:
    virtual ~IDebugFiles() = default;
    // The whole file; none when it does not exist or cannot be read.
    virtual std::optional<std::string> ReadWholeFile(const UnicodeString& path) const = 0;
    // The day (whole days since any fixed point) of the file's last write; none when unknown.
    virtual std::optional<int64_t> WriteDay(const UnicodeString&) const { return std::nullopt; }
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
