#pragma once
// Texts shown to a person on a console or in a window: control characters could move a
// console's cursor, recolour or clear its screen, or show as boxes in a window, so only tab
// and line breaks of multi-line texts get through.
#include <string_view>

#include "text/ZelTypes.h"

// One line: tab and line breaks become spaces, other control characters "?".
UnicodeString SafeLine(std::u16string_view text);
// Several lines: tab and line breaks kept, other control characters "?".
UnicodeString SafeLines(std::u16string_view text);
