#include "plugins/ModuleList.h"

#include "plugins/ColumnText.h"

UnicodeString ModuleListText(const std::vector<TModuleRecord>& modules)
{
    std::vector<UnicodeString> files;
    std::vector<UnicodeString> versions;
    for (const TModuleRecord& module : modules) {
        files.push_back(module.fileName);
        versions.push_back(module.version);
    }
    const size_t fileWidth = ColumnWidth(files);
    const size_t versionWidth = ColumnWidth(versions);
    std::vector<UnicodeString> lines;
    for (const TModuleRecord& module : modules)
        lines.push_back(LowerHex(module.base, sizeof(uintptr_t) * 2) + u" " + PadRight(module.fileName, fileWidth) +
                        PadRight(module.version, versionWidth) + module.path);
    return JoinLines(lines);
}
