#include "ChainSelection.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

namespace {

// A chain's score: flag bits above a saturating sum of link bonuses. Every score has the base
// bit; a chain that reaches its goal has the goal bit, and keeps the known bit while every link
// from it to the goal calls a known function. Bit 63 stays clear, so signed and unsigned
// comparisons agree.
constexpr uint64_t kBaseScore = uint64_t{1} << 60;
constexpr uint64_t kAllKnownBit = uint64_t{1} << 61;
constexpr uint64_t kReachesGoalBit = uint64_t{1} << 62;
constexpr uint64_t kBonusMask = kBaseScore - 1;

// Bonus exponents of a link: a known callee outweighs any number of unknown ones, more so on a
// chain known from its start or to its goal; calls into the runtime's raising routines, debug
// information and lines on both ends add to it.
constexpr unsigned kKnownStrong = 28;
constexpr unsigned kKnownWeak = 14;
constexpr unsigned kRaisingCallee = 14;
constexpr unsigned kDebugStep = 3;

constexpr size_t kNoLink = SIZE_MAX;

// Adds 2^exponent to the bonus sum; a full sum stays full instead of spilling into the flags.
uint64_t AddBonus(uint64_t score, unsigned exponent)
{
    const uint64_t bonus = score & kBonusMask, added = uint64_t{1} << exponent;
    return (score & ~kBonusMask) | (bonus > kBonusMask - added ? kBonusMask : bonus + added);
}

// A callback is a link of unknown target that does not count against a chain of known calls
// (see LinkBetween).
enum class TLink : uint8_t { Unchecked, None, Unknown, Callback, Known };

// Both halves of a pair key count, also where size_t has 32 bits.
struct TPairHash {
    size_t operator()(uint64_t key) const
    {
        return static_cast<size_t>((key ^ (key >> 32)) * 0x9E3779B97F4A7C15ull >> 16);
    }
};

bool Cancelled(const std::atomic<bool>* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

class TChainSelector {
public:
    TChainSelector(const std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds,
                   const std::atomic<bool>* cancel, const TAnchorDone& anchorDone)
        : items_(items), calleeHolds_(calleeHolds), cancel_(cancel), anchorDone_(anchorDone),
          keep_(items.size(), false)
    {
    }

    std::vector<bool> Select();

private:
    struct TChain {
        uint64_t score = kBaseScore;
        std::vector<size_t> items; // from its start, the start included
    };
    // Best scores of one item, with the flag of a chain known from its start set (1) or not (0).
    struct TBest {
        std::array<uint64_t, 2> score{kBaseScore, kBaseScore};
        std::array<size_t, 2> next{kNoLink, kNoLink};
    };

    TLink LinkBetween(size_t older, size_t newer);
    bool HeldByAChoice(const TStackCandidate& caller, const TStackCandidate& callee) const;
    uint64_t LinkScore(size_t from, size_t to, std::optional<size_t> goal, bool knownSoFar,
                       const std::vector<TBest>& best, size_t first);
    std::vector<TBest> ScoreItems(size_t low, size_t high, std::optional<size_t> goal, bool towardsOlder);
    TChain ChainFrom(size_t start, std::optional<size_t> goal, const std::vector<TBest>& best, size_t low);
    void Keep(const TChain& chain);
    void KeepBetweenAnchors(size_t older, size_t newer);

    const std::vector<TStackCandidate>& items_;
    const TCalleeTest& calleeHolds_;
    const std::atomic<bool>* cancel_;
    const TAnchorDone& anchorDone_;
    std::unordered_map<uint64_t, TLink, TPairHash> links_; // by older << 32 | newer
    std::vector<bool> keep_;
};

// A link joins a call to the function of the next more recent item, or a call whose target the
// operand hides (known when one of the functions its table may reach holds the item).
// Code without debug information that calls through a register is how the system calls back into
// the program (window procedures, enumerations, visitors): nothing there can name the target, so
// such a link says nothing against the chain it is on. Counted as unknown, it would let a call
// through a table that reaches past the system's frames skip them and the call that led there.
TLink TChainSelector::LinkBetween(size_t older, size_t newer)
{
    TLink& link = links_[static_cast<uint64_t>(older) << 32 | newer];
    if (link == TLink::Unchecked) {
        const TStackCandidate& caller = items_[older];
        const TStackCandidate& callee = items_[newer];
        if (callee.unanalysable && !callee.forced)
            link = TLink::None;
        else if (callee.outsideItsCode)
            link = TLink::Unknown;
        else if (caller.callee == 0 && HeldByAChoice(caller, callee))
            link = TLink::Known;
        else if (caller.callee == 0)
            link = caller.calleeInRegister && !caller.hasDebugInfo ? TLink::Callback : TLink::Unknown;
        else
            link = calleeHolds_(caller.callee, items_[newer].lookupAddress) ? TLink::Known : TLink::None;
    }
    return link;
}

// One of the functions a call through a table may reach holds the newer item.
bool TChainSelector::HeldByAChoice(const TStackCandidate& caller, const TStackCandidate& callee) const
{
    return std::any_of(caller.calleeChoices.begin(), caller.calleeChoices.end(),
                       [&](CodeAddress choice) { return calleeHolds_(choice, callee.lookupAddress); });
}

// The score of the link from item `from` to item `to` on a chain towards goal (none: open end);
// best holds the scores of the items nearer the goal, indexed from `first`.
uint64_t TChainSelector::LinkScore(size_t from, size_t to, std::optional<size_t> goal, bool knownSoFar,
                                   const std::vector<TBest>& best, size_t first)
{
    const size_t older = std::min(from, to), newer = std::max(from, to);
    const TLink link = LinkBetween(older, newer);
    if (link == TLink::None)
        return 0;
    const bool known = link == TLink::Known;
    const bool keepsKnown = known || link == TLink::Callback;
    uint64_t score;
    if (goal && to == *goal)
        score = keepsKnown ? kBaseScore | kReachesGoalBit | kAllKnownBit : kBaseScore | kReachesGoalBit;
    else
        score = best[to - first].score[knownSoFar && known ? 1 : 0];
    unsigned exponent = 0;
    if (!keepsKnown) {
        score &= ~kAllKnownBit;
    } else if (known) {
        exponent = knownSoFar || (score & kAllKnownBit) ? kKnownStrong : kKnownWeak;
        if (items_[older].calleeIsRuntimeRoutine)
            exponent += kRaisingCallee;
    }
    const TStackCandidate& item = items_[from];
    const TStackCandidate& target = items_[to];
    exponent += item.hasDebugInfo ? kDebugStep : 0;
    exponent += item.hasLine ? kDebugStep : 0;
    exponent += target.hasDebugInfo && target.hasLine ? kDebugStep : 0;
    return AddBonus(score, exponent);
}

// The best scores of items [low, high] on chains towards goal (none: as far as they go), in
// one direction. Items nearer the goal are scored first, so no recursion runs deep.
std::vector<TChainSelector::TBest> TChainSelector::ScoreItems(size_t low, size_t high, std::optional<size_t> goal,
                                                            bool towardsOlder)
{
    std::vector<TBest> best(high - low + 1);
    auto score = [&](size_t item) {
        TBest& entry = best[item - low];
        for (int knownSoFar = 0; knownSoFar < 2; ++knownSoFar) {
            auto consider = [&](size_t to) {
                const uint64_t value = LinkScore(item, to, goal, knownSoFar != 0, best, low);
                if (value > entry.score[knownSoFar]) {
                    entry.score[knownSoFar] = value;
                    entry.next[knownSoFar] = to;
                }
            };
            if (towardsOlder) {
                for (size_t to = item; to-- > low;)
                    consider(to);
            } else {
                for (size_t to = item + 1; to <= high; ++to)
                    consider(to);
            }
        }
    };
    if (towardsOlder) {
        for (size_t item = low + 1; item <= high && !Cancelled(cancel_); ++item)
            score(item);
    } else {
        for (size_t item = high; item-- > low && !Cancelled(cancel_);)
            score(item);
    }
    return best;
}

// The chain from start as the chosen links lead, with the known-from-start flag set at first.
TChainSelector::TChain TChainSelector::ChainFrom(size_t start, std::optional<size_t> goal,
                                                 const std::vector<TBest>& best, size_t low)
{
    TChain chain;
    chain.score = best[start - low].score[1];
    bool knownSoFar = true;
    for (size_t item = start; item != kNoLink;) {
        chain.items.push_back(item);
        if (goal && item == *goal)
            break;
        const size_t next = best[item - low].next[knownSoFar ? 1 : 0];
        if (next != kNoLink)
            knownSoFar = knownSoFar && LinkBetween(std::min(item, next), std::max(item, next)) == TLink::Known;
        item = next;
    }
    return chain;
}

void TChainSelector::Keep(const TChain& chain)
{
    for (const size_t item : chain.items)
        keep_[item] = true;
}

// From the older anchor towards the newer one, and back unless the first chain reached it; the
// better chain stays, the earlier of equals.
void TChainSelector::KeepBetweenAnchors(size_t older, size_t newer)
{
    const TChain forward = ChainFrom(older, newer, ScoreItems(older, newer, newer, false), older);
    if (forward.score & kReachesGoalBit) {
        Keep(forward);
        return;
    }
    const TChain backward = ChainFrom(newer, older, ScoreItems(older, newer, older, true), older);
    Keep(backward.score > forward.score ? backward : forward);
}

std::vector<bool> TChainSelector::Select()
{
    std::vector<size_t> anchors;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].anchor) {
            anchors.push_back(i);
            keep_[i] = true;
        }
    }
    const size_t last = items_.size() - 1;
    if (anchors.empty()) {
        // The item whose chain towards the oldest scores best starts it, the most recent of equals.
        const std::vector<TBest> best = ScoreItems(0, last, std::nullopt, true);
        size_t start = last;
        for (size_t i = last; i-- > 0;) {
            if (best[i].score[1] > best[start].score[1])
                start = i;
        }
        Keep(ChainFrom(start, std::nullopt, best, 0));
        return keep_;
    }
    for (size_t a = anchors.size() - 1; a > 0 && !Cancelled(cancel_); --a) {
        if (anchors[a] - anchors[a - 1] >= 2)
            KeepBetweenAnchors(anchors[a - 1], anchors[a]);
        if (anchorDone_)
            anchorDone_(anchors[a]);
    }
    if (anchors.front() > 0)
        Keep(ChainFrom(anchors.front(), std::nullopt, ScoreItems(0, anchors.front(), std::nullopt, true), 0));
    if (anchorDone_)
        anchorDone_(anchors.front());
    if (anchors.back() < last)
        Keep(ChainFrom(anchors.back(), std::nullopt, ScoreItems(anchors.back(), last, std::nullopt, false),
                       anchors.back()));
    return keep_;
}

} // namespace

void SelectCallChains(std::vector<TStackCandidate>& items, const TCalleeTest& calleeHolds,
                      const std::atomic<bool>* cancel, const TAnchorDone& anchorDone)
{
    if (items.empty())
        return;
    const std::vector<bool> keep = TChainSelector(items, calleeHolds, cancel, anchorDone).Select();
    if (Cancelled(cancel))
        return;
    std::vector<TStackCandidate> kept;
    for (size_t i = 0; i < items.size(); ++i) {
        if (keep[i])
            kept.push_back(items[i]);
    }
    items.swap(kept);
}
