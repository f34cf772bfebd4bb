#pragma once
// The debug information of each module, built once and kept for the process. Entries are
// shared, so a caller keeps a replaced module's object alive for as long as it uses it; the
// cache itself is locked.
#include <memory>
#include <mutex>
#include <vector>

#include "debuginfo/MapFile.h"
#include "debuginfo/ModuleSystem.h"

class TMapFileCache {
public:
    // The module's object when its file name (any case), handle and file time match an entry;
    // an entry of the same name that differs otherwise is dropped and rebuilt. A module without
    // debug information keeps its invalid object too, so that its files are not searched again
    // on every look-up; an address in no module gets a new invalid object.
    std::shared_ptr<const TMapFile> Find(const IModuleSystem& system, uint64_t address);
    // The modules kept with debug information.
    size_t Size() const;
    void Clear();

private:
    struct TEntry {
        uint32_t fileTime = 0;
        uint64_t handle = 0;
        std::shared_ptr<const TMapFile> map;
    };

    mutable std::mutex lock_;
    std::vector<TEntry> entries_;
};
