#include "ExportTable.h"

#include <algorithm>
#include <map>
#include <string>

#include "system/PeExports.h"
#include "text/TextEdit.h"

namespace {

// The names of the export table by index into its address table.
std::map<uint32_t, std::string> NamesByIndex(const TImageView& image, const TExportDirectory& exports)
{
    std::map<uint32_t, std::string> names;
    for (uint32_t i = 0; i < exports.nameCount; ++i) {
        const auto nameRva = image.Read<uint32_t>(exports.names + 4 * i);
        const auto index = image.Read<uint16_t>(exports.nameOrdinals + 2 * i);
        if (!nameRva || !index)
            break;
        if (std::optional<std::string> name = image.ReadText(*nameRva))
            names.emplace(*index, std::move(*name));
    }
    return names;
}

} // namespace

TExportTable::TExportTable(const TImageView& image, uint64_t imageBase, const TModuleLayout& layout)
    : entryPoint_(layout.entryPoint)
{
    const std::optional<TExportDirectory> exports = ReadExportDirectory(image);
    if (!exports)
        return;
    const std::map<uint32_t, std::string> names = NamesByIndex(image, *exports);
    for (uint32_t index = 0; index < exports->functionCount; ++index) {
        const std::optional<TExport> entry = ExportByOrdinal(image, *exports, exports->ordinalBase + index);
        if (!entry || !entry->forwarder.empty())
            continue;
        const uint64_t start = imageBase + entry->rva;
        if (start < layout.codeStart || start >= layout.codeEnd)
            continue;
        const auto named = names.find(index);
        const std::string name = named != names.end() ? named->second : ConcatA({"#", std::to_string(entry->ordinal)});
        functions_.push_back({start, UnicodeString(name.begin(), name.end())});
    }
    std::stable_sort(functions_.begin(), functions_.end(),
                     [](const TExportFunction& a, const TExportFunction& b) { return a.start < b.start; });
}

std::optional<TExportFunction> TExportTable::FunctionAt(uint64_t address) const
{
    const auto above = std::upper_bound(functions_.begin(), functions_.end(), address,
                                        [](uint64_t value, const TExportFunction& f) { return value < f.start; });
    const bool entryBelow = entryPoint_ != 0 && entryPoint_ <= address;
    if (above == functions_.begin())
        return entryBelow ? std::optional<TExportFunction>(TExportFunction{entryPoint_, {}}) : std::nullopt;
    const TExportFunction& nearest = *(above - 1);
    if (entryBelow && entryPoint_ > nearest.start)
        return TExportFunction{entryPoint_, {}};
    return nearest;
}
