#pragma once
// The most plausible chain of calls between anchors: every kept link is a call whose target
// is the function of the next more recent item, or a call whose target cannot be known.
#include <atomic>
#include <functional>
#include <vector>

#include "StackCandidate.h"

// Keeps the anchors and, between them, the items on the best-scoring chain; items oldest first.
// Before the oldest anchor (and after the most recent one) the best chain from it stays as far
// as it leads; without anchors the best chain anywhere.
// A set cancel flag stops the selection with the items as they stand.
// calleeHolds(callee, address) tells whether the function at callee holds the address.
using TCalleeTest = std::function<bool(CodeAddress callee, CodeAddress address)>;
// Told the index of each anchor once the chain that ends there is chosen, the most recent first.
using TAnchorDone = std::function<void(size_t anchor)>;
void SelectCallChains(std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds,
                      const std::atomic<bool>* cancel, const TAnchorDone& anchorDone = {});
