#pragma once
// The names of a thrown type and of every class it derives from, the type's own first.
#include <typeinfo>
#include <vector>

#include "text/ZelTypes.h"

std::vector<UnicodeString> ClassChainOf(const std::type_info* type);
