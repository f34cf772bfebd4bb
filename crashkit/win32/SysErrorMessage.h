#pragma once
// One-line texts of Windows error codes, in the user's language. NTSTATUS values are
// translated first; network and internet codes are also looked up in their message modules.
#include <cstdint>

#include "text/ZelTypes.h"

AnsiString SysErrorMessageA(uint32_t code);
UnicodeString SysErrorMessageW(uint32_t code);
