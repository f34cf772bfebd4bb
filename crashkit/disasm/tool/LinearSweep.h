#pragma once

#include <string>

#include "CodeReader.h"

// Decodes [from, to) instruction after instruction, one line each:
// address (lower-case hex), TAB, length, TAB, text; a byte that cannot be decoded is "db XX".
void AppendLinearSweep(const ICodeReader& reader, CodeAddress from, CodeAddress to, std::string& lines);
