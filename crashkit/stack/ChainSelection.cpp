#include "ChainSelection.h"

#include <limits>
#include <optional>

namespace {

// A link to the callee's known function outweighs any number of links to unknown targets;
// lines on both ends make a known link worth a little more.
constexpr uint64_t kKnownLink = uint64_t{1} << 28;
constexpr uint64_t kLineBonus = uint64_t{1} << 14;
constexpr uint64_t kUnknownLink = 1;

uint64_t SaturatingAdd(uint64_t a, uint64_t b)
{
    return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

// The score of the call at `older` leading to `newer`; none when it cannot lead there.
std::optional<uint64_t> LinkScore(const TStackCandidate& older, const TStackCandidate& newer,
                                  const TCalleeTest& calleeHolds)
{
    if (older.callee == 0)
        return kUnknownLink;
    if (!calleeHolds(older.callee, newer.lookupAddress))
        return std::nullopt;
    return kKnownLink + (older.hasLine ? kLineBonus : 0) + (newer.hasLine ? kLineBonus : 0);
}

bool Cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The best chain over items [from, to]; it starts at `from` when fromFixed and ends at `to`
// when toFixed (else anywhere). Marks the chain's items in keep. False when no chain fits.
bool KeepBestChain(const std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds, size_t from, size_t to, bool fromFixed, bool toFixed,
                   std::vector<bool>& keep, const std::atomic<bool>* cancel)
{
    const size_t count = to - from + 1;
    std::vector<std::optional<uint64_t>> best(count);
    std::vector<size_t> previous(count, SIZE_MAX);
    for (size_t j = 0; j < count; ++j) {
        if (!fromFixed || j == 0)
            best[j] = 0;
        for (size_t i = 0; i < j; ++i) {
            if (Cancelled(cancel))
                return false;
            if (!best[i])
                continue;
            const std::optional<uint64_t> link = LinkScore(items[from + i], items[from + j], calleeHolds);
            if (!link)
                continue;
            const uint64_t score = SaturatingAdd(*best[i], *link);
            if (!best[j] || score > *best[j]) {
                best[j] = score;
                previous[j] = i;
            }
        }
    }
    size_t end = count - 1;
    if (!toFixed) {
        for (size_t j = 0; j < count; ++j) {
            if (best[j] && (!best[end] || *best[j] > *best[end]))
                end = j;
        }
    }
    if (!best[end])
        return false;
    for (size_t j = end; j != SIZE_MAX; j = previous[j])
        keep[from + j] = true;
    return true;
}

// Between two anchors: the chain from one to the other, or else the best chain that reaches
// the more recent one.
void KeepBetween(const std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds, size_t from, size_t to, bool fromFixed, bool toFixed,
                 std::vector<bool>& keep, const std::atomic<bool>* cancel)
{
    if (!KeepBestChain(items, calleeHolds, from, to, fromFixed, toFixed, keep, cancel) && fromFixed)
        KeepBestChain(items, calleeHolds, from, to, false, toFixed, keep, cancel);
}

} // namespace

void SelectCallChains(std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds,
                      const std::atomic<bool>* cancel)
{
    if (items.empty())
        return;
    std::vector<bool> keep(items.size(), false);
    std::vector<size_t> anchors;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].anchor) {
            anchors.push_back(i);
            keep[i] = true;
        }
    }
    if (anchors.empty()) {
        KeepBestChain(items, calleeHolds, 0, items.size() - 1, false, false, keep, cancel);
    } else {
        if (anchors.front() > 0)
            KeepBetween(items, calleeHolds, 0, anchors.front(), false, true, keep, cancel);
        for (size_t a = 0; a + 1 < anchors.size(); ++a) {
            if (anchors[a + 1] - anchors[a] >= 2)
                KeepBetween(items, calleeHolds, anchors[a], anchors[a + 1], true, true, keep, cancel);
        }
        if (anchors.back() + 1 < items.size())
            KeepBetween(items, calleeHolds, anchors.back(), items.size() - 1, true, false, keep, cancel);
    }
    if (Cancelled(cancel))
        return;
    std::vector<TStackCandidate> kept;
    for (size_t i = 0; i < items.size(); ++i) {
        if (keep[i])
            kept.push_back(items[i]);
    }
    items.swap(kept);
}
