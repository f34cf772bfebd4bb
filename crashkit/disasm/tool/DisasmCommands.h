#pragma once

#include <string>
#include <vector>

// crashkit-tool disasm [--section NAME] PE-FILE | disasm --raw FILE --base HEX
int DisasmCommand(const std::vector<std::string>& arguments);

// crashkit-tool function PE-FILE ADDRESS: the function's text and what the walk found.
int FunctionCommand(const std::vector<std::string>& arguments);
