#pragma once
// Which of the per-class option sets applies to an exception: F1 when its class or an ancestor
// is named in F1Classes, else F2 likewise with F2Classes, else Gn.
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

enum class TOptionSet : uint8_t { F1, F2, Gn };

// classChain: the exception's class first, then its ancestors. Names in the lists are separated
// by commas, blanks around them ignored, compared without regard to case with a class's whole
// name or the part after its last "::".
TOptionSet ChooseOptionSet(const std::vector<UnicodeString>& classChain, std::u16string_view f1Classes,
                           std::u16string_view f2Classes);

// Whether a class of the chain has that name (as the runtime spells it; a qualified name by the
// part after its last "::").
bool ChainHolds(const std::vector<UnicodeString>& classChain, std::u16string_view name);
