#pragma once
// Text that follows the thread locale's decimal separator.
#include <cstdint>

#include "text/ZelTypes.h"

// The first character of the thread locale's decimal separator, or ","; read once.
char16_t DecimalSeparator();
UnicodeString SizeToStrW(int64_t bytes);
