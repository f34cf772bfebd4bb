#pragma once
#include "text/ZelTypes.h"

// Replaces the clipboard's contents by the text; false when the clipboard is not available.
bool CopyTextToClipboard(const UnicodeString& text);
