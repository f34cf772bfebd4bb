#pragma once
// The running processes as a report section: one aligned line per process.
#include <cstdint>
#include <optional>
#include <vector>

#include "text/ZelTypes.h"

struct TProcessRecord {
    uint32_t id = 0;
    UnicodeString fileName;
    UnicodeString folder; // without the last "\"
    uint32_t session = 0;
    uint32_t priorityClass = 0;
    uint32_t gdiObjects = 0;
    uint32_t userObjects = 0;
};

// The priority class's name; empty for 0 and -1, "$" + hex for a class that has none.
UnicodeString PriorityClassName(uint32_t priorityClass);
// The system's spelling of an image path made usable: "\SystemRoot\System32" becomes the system
// folder and a leading "\??\" goes.
UnicodeString UsableImagePath(std::u16string_view path, std::u16string_view systemFolder);
struct TPathParts {
    UnicodeString fileName;
    UnicodeString folder; // without the last "\"
};
// Splits at the last "\"; a path without "\" is all file name.
TPathParts SplitImagePath(std::u16string_view path);
// The ID in lower-case hex padded with "0" to the digits of the largest ID, the file name, the
// session (only when a process has one other than 0), the two object counts and the priority,
// each padded to its column, then the folder.
UnicodeString ProcessListText(const std::vector<TProcessRecord>& processes);
