#pragma once
// Recursion on the stack: a block of values that directly repeats itself is kept once.
#include <vector>

#include "StackCandidate.h"

// Repeats until no block of items repeats directly before itself.
void RemoveRepeatedBlocks(std::vector<TStackCandidate>& items);
