#pragma once
// Lower-case hex digits without "$", zero-filled to a minimum width.
#include <cstdint>

#include "text/ZelTypes.h"

UnicodeString HexDigits(uint64_t value, int minDigits);
