#include "system/PeExports.h"

#include "text/NumberFormat.h"
#include "text/TextEdit.h"
#include "text/Unmangler.h"

namespace {

// More than any real image has; keeps a damaged table from running on for ever.
constexpr uint32_t kMaxExports = 1u << 20;

std::optional<TExport> EntryAt(const TImageView& image, const TExportDirectory& exports, uint32_t index)
{
    if (index >= exports.functionCount)
        return std::nullopt;
    const auto rva = image.Read<uint32_t>(exports.functions + 4 * index);
    if (!rva || *rva == 0)
        return std::nullopt;
    TExport entry{exports.ordinalBase + index, *rva, {}};
    if (*rva >= exports.rva && *rva - exports.rva < exports.size) {
        const auto forwarder = image.ReadText(*rva);
        if (!forwarder)
            return std::nullopt;
        entry.forwarder = *forwarder;
    }
    return entry;
}

} // namespace

std::optional<TExportDirectory> ReadExportDirectory(const TImageView& image)
{
    const TDataDirectory directory = image.Headers().Directory(kExportDirectory);
    if (directory.rva == 0 || directory.size < 40)
        return std::nullopt;
    TExportDirectory exports;
    exports.rva = directory.rva;
    exports.size = directory.size;
    const uint32_t at = directory.rva;
    const auto base = image.Read<uint32_t>(at + 16);
    const auto functionCount = image.Read<uint32_t>(at + 20);
    const auto nameCount = image.Read<uint32_t>(at + 24);
    const auto functions = image.Read<uint32_t>(at + 28);
    const auto names = image.Read<uint32_t>(at + 32);
    const auto nameOrdinals = image.Read<uint32_t>(at + 36);
    if (!base || !functionCount || !nameCount || !functions || !names || !nameOrdinals ||
        *functionCount > kMaxExports || *nameCount > kMaxExports)
        return std::nullopt;
    exports.ordinalBase = *base;
    exports.functionCount = *functionCount;
    exports.nameCount = *nameCount;
    exports.functions = *functions;
    exports.names = *names;
    exports.nameOrdinals = *nameOrdinals;
    return exports;
}

std::optional<TExport> ExportByName(const TImageView& image, const TExportDirectory& exports, std::string_view name)
{
    for (uint32_t i = 0; i < exports.nameCount; ++i) {
        const auto nameRva = image.Read<uint32_t>(exports.names + 4 * i);
        const auto index = image.Read<uint16_t>(exports.nameOrdinals + 2 * i);
        if (!nameRva || !index)
            return std::nullopt;
        const auto entryName = image.ReadText(*nameRva);
        if (entryName && *entryName == name)
            return EntryAt(image, exports, *index);
    }
    return std::nullopt;
}

std::optional<TExport> ExportByOrdinal(const TImageView& image, const TExportDirectory& exports, uint32_t ordinal)
{
    if (ordinal < exports.ordinalBase)
        return std::nullopt;
    return EntryAt(image, exports, ordinal - exports.ordinalBase);
}

std::optional<std::string> ExportNameOf(const TImageView& image, const TExportDirectory& exports, uint32_t rva,
                                        bool unmangle)
{
    for (uint32_t index = 0; index < exports.functionCount; ++index) {
        const auto entry = image.Read<uint32_t>(exports.functions + 4 * index);
        if (!entry)
            return std::nullopt;
        if (*entry != rva)
            continue;
        for (uint32_t i = 0; i < exports.nameCount; ++i) {
            const auto nameIndex = image.Read<uint16_t>(exports.nameOrdinals + 2 * i);
            const auto nameRva = image.Read<uint32_t>(exports.names + 4 * i);
            if (!nameIndex || !nameRva)
                return std::nullopt;
            if (*nameIndex != index)
                continue;
            std::optional<std::string> name = image.ReadText(*nameRva);
            AnsiString unit;
            if (name && unmangle && UnmangleNameA(*name, unit) && !unit.empty())
                *name = unit + "." + *name;
            return name;
        }
        return ConcatA({"#", UIntToDecA(exports.ordinalBase + index, 0, ' ')});
    }
    return std::nullopt;
}
