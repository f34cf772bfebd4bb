#pragma once
// Names for the code of a module without debug information: its exported functions.
#include <cstdint>
#include <optional>
#include <vector>

#include "debuginfo/MapFileTypes.h"
#include "system/PeImage.h"

struct TExportFunction {
    uint64_t start = 0;
    UnicodeString name; // "#" + ordinal for an export without a name; empty for the entry point
};

class TExportTable {
public:
    TExportTable() = default;
    // The exports of an image loaded at imageBase that lie in its code (forwarders have none).
    TExportTable(const TImageView& image, uint64_t imageBase, const TModuleLayout& layout);

    // The function holding a code address: the nearest export at or below it, or the entry
    // point when that lies nearer below. None when neither lies below it.
    std::optional<TExportFunction> FunctionAt(uint64_t address) const;
    const std::vector<TExportFunction>& Functions() const { return functions_; }

private:
    std::vector<TExportFunction> functions_; // by start
    uint64_t entryPoint_ = 0;
};
