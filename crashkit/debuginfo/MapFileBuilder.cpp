#include "debuginfo/MapFileBuilder.h"

#include "debuginfo/DebuggerSymbolData.h"
#include "debuginfo/JdbgFile.h"
#include "debuginfo/LinkerMapFile.h"
#include "debuginfo/ModuleLayout.h"
#include "debuginfo/OwnDebugInfo.h"
#include "debuginfo/ResourceLookup.h"
#include "debuginfo/SymbolDataLocation.h"

namespace {

class TMapFileSources {
public:
    TMapFileSources(const TModuleImage& module, const IDebugFiles& files, const IProgramDatabase* database, TMapFile& map)
        : module_(module), files_(files, module.fileName), database_(database), map_(map) {}

    // The symbol data's "FB0A" form comes before the side files, "FB09" after them.
    bool Load() { return OwnResource() || SymbolData(false) || SideFiles() || SymbolData(true); }

private:
    // Reduced data (names left out) gives way to the full data in a ".zel" file that the
    // module's settings name by its "MinDebugInfo" stamp.
    bool OwnResource() const
    {
        if (!module_.image)
            return false;
        const std::optional<std::string> data = FindResourceData(*module_.image, u"ZEL", u"EXCEPT");
        const std::optional<TOwnDebugInfoHeader> header = data ? ReadOwnDebugInfoHeader(*data) : std::nullopt;
        if (!header || (!map_.MinDebugInfo().empty() && map_.MinDebugInfo() != OwnDebugInfoStamp(*data, *header)))
            return false;
        map_.SetMinDebugInfo(header->reduced ? MinDebugInfoSetting() : "");
        if (header->reduced && OwnSideFile())
            return true;
        return LoadOwnDebugInfoPayload(*header, map_);
    }

    // The 31 characters of the setting's text: after its name, type byte and 4-byte length.
    std::string MinDebugInfoSetting() const
    {
        constexpr std::string_view kName = "MinDebugInfo";
        constexpr size_t kTextOffset = kName.size() + 1 + 4;
        const std::string settings = FindResourceData(*module_.image, u"#10", u"TZELEXCEPT").value_or("");
        const size_t at = settings.find(kName);
        if (at == std::string::npos || settings.size() - at < kTextOffset)
            return {};
        return settings.substr(at + kTextOffset, 31);
    }

    bool OwnSideFile() const
    {
        const std::optional<std::string> data = SideFile(u".zel");
        return data && LoadOwnDebugInfo(*data, map_);
    }

    bool SymbolData(bool acceptFB09)
    {
        if (!symbolData_)
            symbolData_ = FindSymbolData(module_.image, module_.fileName, files_).value_or("");
        return LoadDebuggerSymbolData(*symbolData_, {acceptFB09, map_.Layout().secondCodeSectionOffset}, map_);
    }

    std::optional<std::string> SideFile(std::u16string_view extension) const
    {
        return files_.ReadWholeFile(SideFileName(module_.fileName, extension));
    }

    bool SideFiles() const
    {
        const UnicodeString database = SideFileName(module_.fileName, u".pdb");
        if (database_ && files_.MayExist(database) && database_->Load(database, module_.fileName, module_.base, map_))
            return true;
        // A readable map file ends the search, whatever it holds.
        if (const std::optional<std::string> text = SideFile(u".map")) {
            LoadLinkerMap(*text, map_);
            return true;
        }
        if (OwnSideFile())
            return true;
        const std::optional<std::string> data = SideFile(u".jdbg");
        return data && LoadJdbg(*data, map_);
    }

    const TModuleImage& module_;
    const TModuleSideFiles files_;
    const IProgramDatabase* database_;
    TMapFile& map_;
    std::optional<std::string> symbolData_;
};

} // namespace

TMapFile BuildMapFile(const TModuleImage& module, const IDebugFiles& files, const IProgramDatabase* database)
{
    TMapFile map;
    map.SetModuleHandle(module.base);
    map.SetModuleFileName(module.fileName);
    TModuleImage source = module;
    // Without readable headers only the side files remain.
    const std::optional<TModuleLayout> layout = module.image ? ReadModuleLayout(*module.image, module.base) : std::nullopt;
    if (layout)
        map.SetLayout(*layout);
    else
        source.image = nullptr;
    const bool loaded = TMapFileSources(source, files, database, map).Load();
    map.SetValid(loaded);
    if (loaded && !map.Publics().empty())
        map.SortLines();
    return map;
}
