#pragma once
// Where a module's debugger-symbol data lies: referenced by its debug directory, else in a
// ".tds" side file, else behind the last section of the module's file.
#include <optional>
#include <string>

#include "debuginfo/DebugFiles.h"
#include "system/PeImage.h"

// None when no candidate exists. image may be null (side file only).
std::optional<std::string> FindSymbolData(const TImageView* image, const UnicodeString& moduleFileName, const IDebugFiles& files);
