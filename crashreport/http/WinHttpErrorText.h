#pragma once
// The text of an error code of the upload route: WinHTTP's own codes from its message table,
// every other one (and WinHTTP's where that table lacks it) from the system.
#include <cstdint>

#include "text/ZelTypes.h"

AnsiString WinHttpErrorText(uint32_t code);
