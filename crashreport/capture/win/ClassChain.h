#pragma once
// Class names of an exception for the per-class option sets (F1Classes, F2Classes): a thrown
// C++ type with its base classes, or an object of the host's runtime with its ancestors.
#include <string_view>
#include <typeinfo>
#include <vector>

#include "text/ZelTypes.h"

// The type's demangled name, then those of its base classes, depth first, each once.
std::vector<AnsiString> ThrownClassChain(const std::type_info* type);

// Whether the type or one of its bases has one of the comma-separated names (blanks around a
// name do not count; a name matches the whole demangled name or the part after its last "::",
// without regard to case).
bool ClassMatchesList(const std::type_info* type, std::string_view names);
// The same for an object of the host's runtime and its ancestors.
bool RuntimeObjectMatchesList(const void* object, std::string_view names);
