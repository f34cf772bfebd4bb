#pragma once
// The export table of a PE image: look-ups by name and ordinal, forwarders, and the name of
// the export at an address.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/PeImage.h"

struct TExportDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
    uint32_t ordinalBase = 0;
    uint32_t functionCount = 0;
    uint32_t nameCount = 0;
    uint32_t functions = 0; // RVA of the address table
    uint32_t names = 0;     // RVA of the name table
    uint32_t nameOrdinals = 0;

    bool SameTablesAs(const TExportDirectory& other) const
    {
        return functions == other.functions && names == other.names && nameOrdinals == other.nameOrdinals &&
               functionCount == other.functionCount && nameCount == other.nameCount;
    }
};

struct TExport {
    uint32_t ordinal = 0;
    uint32_t rva = 0;
    std::string forwarder; // "module.function" when the entry forwards, else empty
};

std::optional<TExportDirectory> ReadExportDirectory(const TImageView& image);
std::optional<TExport> ExportByName(const TImageView& image, const TExportDirectory& exports, std::string_view name);
std::optional<TExport> ExportByOrdinal(const TImageView& image, const TExportDirectory& exports, uint32_t ordinal);
// The name of the export at that RVA, "#" + ordinal for one without a name; with unmangle, a
// runtime linker name becomes unit + "." + class + "." + method.
std::optional<std::string> ExportNameOf(const TImageView& image, const TExportDirectory& exports, uint32_t rva,
                                        bool unmangle);
