#include "debuginfo/MapFileCache.h"

#include <algorithm>

#include "debuginfo/MapFileBuilder.h"
#include "debuginfo/ModuleLayout.h"
#include "text/CaseFolding.h"

namespace {

std::shared_ptr<const TMapFile> Build(const IModuleSystem& system, const TModuleIdentity& module)
{
    const std::optional<TPeHeaders> headers = ReadPeHeaders(system.Memory(), module.handle);
    std::optional<TLoadedImage> image;
    if (headers)
        image.emplace(system.Memory(), module.handle, *headers);
    const TModuleImage source{image ? &*image : nullptr, module.handle, module.fileName};
    return std::make_shared<const TMapFile>(BuildMapFile(source, system, system.ProgramDatabase()));
}

} // namespace

std::shared_ptr<const TMapFile> TMapFileCache::Find(const IModuleSystem& system, uint64_t address)
{
    const std::optional<TModuleIdentity> module = system.ModuleAt(address);
    if (!module)
        return std::make_shared<const TMapFile>();
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
        if (!SameTextW(entry->map->ModuleFileName(), module->fileName))
            continue;
        if (entry->handle == module->handle && entry->fileTime == module->fileTime)
            return entry->map;
        entries_.erase(entry); // replaced: whoever still holds it keeps it alive
        break;
    }
    std::shared_ptr<const TMapFile> map = Build(system, *module);
    entries_.push_back({module->fileTime, module->handle, map});
    return map;
}

size_t TMapFileCache::Size() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return static_cast<size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const TEntry& entry) { return entry.map->Valid(); }));
}

void TMapFileCache::Clear()
{
    const std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
}
