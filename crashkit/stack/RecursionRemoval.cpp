#include "RecursionRemoval.h"

#include <algorithm>

namespace {

// The end of a block that repeats directly before [from, from + length).
bool RepeatsBefore(const std::vector<TStackCandidate>& items, size_t from, size_t length)
{
    if (from < length)
        return false;
    return std::equal(items.begin() + static_cast<ptrdiff_t>(from), items.begin() + static_cast<ptrdiff_t>(from + length),
                      items.begin() + static_cast<ptrdiff_t>(from - length),
                      [](const TStackCandidate& a, const TStackCandidate& b) { return a.value == b.value; });
}

bool RemoveOneRepeat(std::vector<TStackCandidate>& items)
{
    for (size_t k = 1; k < items.size(); ++k) {
        for (size_t p = k; p-- > 0;) {
            if (items[p].value != items[k].value)
                continue;
            const size_t length = k - p;
            // A forced item goes only with its forced twin left in place.
            if (RepeatsBefore(items, p + 1, length) && (!items[k].forced || items[p].forced)) {
                items.erase(items.begin() + static_cast<ptrdiff_t>(p + 1),
                            items.begin() + static_cast<ptrdiff_t>(k + 1));
                return true;
            }
            break; // only the nearest earlier item with the same value counts
        }
    }
    return false;
}

} // namespace

void RemoveRepeatedBlocks(std::vector<TStackCandidate>& items)
{
    while (RemoveOneRepeat(items)) {
    }
}
