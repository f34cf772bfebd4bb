#pragma once
// Builds a module's TMapFile from the best debug information found: the module's own resource,
// then the side files.
#include <cstdint>

#include "debuginfo/DebugFiles.h"
#include "debuginfo/MapFile.h"
#include "system/PeImage.h"

struct TModuleImage {
    const TImageView* image = nullptr; // none: side files only
    uint64_t base = 0;                 // where the module lies (the module handle)
    UnicodeString fileName;
};

// Invalid (every look-up "not found") when no source holds anything. Without a program
// database reader ".pdb" files are passed over.
TMapFile BuildMapFile(const TModuleImage& module, const IDebugFiles& files, const IProgramDatabase* database = nullptr);
