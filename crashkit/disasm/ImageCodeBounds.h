#pragma once

#include <optional>

#include "FunctionEnvironment.h"

// Where the code of the PE image mapped at imageBase lies: its first section when that holds
// code (with a second code section), else BaseOfCode and SizeOfCode; widened to cover the
// initialised and uninitialised data. Nothing when the headers cannot be read.
std::optional<TCodeBounds> ImageCodeBounds(const ICodeReader& reader, CodeAddress imageBase);
