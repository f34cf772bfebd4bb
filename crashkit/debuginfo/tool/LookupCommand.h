#pragma once
// crashkit-tool lookup PE-FILE ADDRESS...: per address, tab-separated, the address, module,
// unit, function, line and the function's start, from the file's own debug information.
#include <string>
#include <vector>

int LookupCommand(const std::vector<std::string>& arguments);
