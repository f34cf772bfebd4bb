// The choice of the chain of calls between anchors, on candidates whose calls and callees the
// test sets: a call leads from an older item to a newer one when its callee holds the newer
// one's code, or always when its target is unknown (0).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "ChainSelection.h"

namespace {

// Item i's code lies at 0x1000 * (i + 1); callee c holds the addresses that Holds adds to it.
class TCalls {
public:
    void Holds(CodeAddress callee, size_t item) { held_[callee].insert(Code(item)); }
    static CodeAddress Code(size_t item) { return static_cast<CodeAddress>(0x1000 * (item + 1)); }
    TCalleeTest Test() const
    {
        return [this](CodeAddress callee, CodeAddress address) {
            const auto found = held_.find(callee);
            return found != held_.end() && found->second.count(address) != 0;
        };
    }

private:
    std::map<CodeAddress, std::set<CodeAddress>> held_;
};

std::vector<TStackCandidate> Items(size_t count)
{
    std::vector<TStackCandidate> items(count);
    for (size_t i = 0; i < count; ++i) {
        items[i].value = TCalls::Code(i) + 1;
        items[i].lookupAddress = TCalls::Code(i);
        items[i].callee = static_cast<CodeAddress>(0x100 + i); // each call its own callee
    }
    return items;
}

std::vector<CodeAddress> KeptItems(const std::vector<TStackCandidate>& kept)
{
    std::vector<CodeAddress> indices;
    for (const TStackCandidate& item : kept)
        indices.push_back(item.lookupAddress / 0x1000 - 1);
    return indices;
}

// Item from's call leads to item to.
void Link(TCalls& calls, const std::vector<TStackCandidate>& items, size_t from, size_t to)
{
    calls.Holds(items[from].callee, to);
}

TEST(ChainSelection, ChainOfKnownCallsBeatsALongerOneThroughAnUnknownCall)
{
    // Anchors 0 and 4. Known all the way: 0 -> 2 -> 4. Longer: 0 -> 1 -> 3 -> 4, where 1's call
    // target is unknown.
    auto items = Items(5);
    items[0].anchor = items[4].anchor = items[4].forced = true;
    items[1].callee = 0;
    TCalls calls;
    Link(calls, items, 0, 2);
    Link(calls, items, 2, 4);
    Link(calls, items, 0, 1);
    Link(calls, items, 3, 4);
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 2, 4}), KeptItems(items));
}

TEST(ChainSelection, LongerChainOfKnownCallsWins)
{
    // 0 -> 1 -> 2 -> 3 -> 5 beats 0 -> 4 -> 5; stale 4 has its link to the goal too.
    auto items = Items(6);
    items[0].anchor = items[5].anchor = true;
    TCalls calls;
    Link(calls, items, 0, 1);
    Link(calls, items, 1, 2);
    Link(calls, items, 2, 3);
    Link(calls, items, 3, 5);
    Link(calls, items, 0, 4);
    Link(calls, items, 4, 5);
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 1, 2, 3, 5}), KeptItems(items));
}

TEST(ChainSelection, WithoutAChainBetweenAnchorsTheBetterPartialChainStays)
{
    // Anchors 0 and 3 are not joined. From 0 the chain reaches 1; from 3 back it reaches 2,
    // whose line and debug information make it the better one.
    auto items = Items(4);
    items[0].anchor = items[3].anchor = true;
    items[2].hasDebugInfo = items[2].hasLine = true;
    TCalls calls;
    Link(calls, items, 0, 1);
    Link(calls, items, 2, 3);
    auto backwards = items;
    SelectCallChains(backwards, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 2, 3}), KeptItems(backwards));
    // Equal on both sides: the chain from the older anchor stays.
    items[2].hasDebugInfo = items[2].hasLine = false;
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 1, 3}), KeptItems(items));
}

TEST(ChainSelection, OutsideTheAnchorsTheChainRunsFromTheNearestAnchor)
{
    // Anchor 2 only: before it 2 -> ... 0 as far as calls lead (1 is stale), after it 2 -> 4.
    auto items = Items(5);
    items[2].anchor = true;
    TCalls calls;
    Link(calls, items, 0, 2);
    Link(calls, items, 2, 4);
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 2, 4}), KeptItems(items));
}

TEST(ChainSelection, WithoutAnchorsTheBestChainAnywhereStays)
{
    auto items = Items(5);
    TCalls calls;
    Link(calls, items, 0, 1);
    Link(calls, items, 1, 3);
    Link(calls, items, 2, 4);
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 1, 3}), KeptItems(items));
}

TEST(ChainSelection, ATableCallSkipsNoCallbackOfCodeWithoutDebugInformation)
{
    // Anchors 0 and 5. 1 calls through a table that reaches the functions of 2 and of 4; 2 calls
    // 3's function, whose call through a register leads to 4, which calls 5's function. Only
    // code without debug information calling through a register is taken for a callback.
    const struct {
        const char* rule;
        bool inRegister, withDebugInfo;
        std::vector<CodeAddress> expected;
    } cases[] = {
        {"callback", true, false, {0, 1, 2, 3, 4, 5}},
        {"unknown call with debug information", true, true, {0, 1, 4, 5}},
        {"unknown call through a fixed cell", false, false, {0, 1, 4, 5}},
    };
    for (const auto& c : cases) {
        auto items = Items(6);
        items[0].anchor = items[5].anchor = items[5].forced = true;
        items[1].callee = items[3].callee = 0;
        items[1].calleeChoices = {0x201, 0x204};
        items[3].calleeInRegister = c.inRegister;
        items[3].hasDebugInfo = c.withDebugInfo;
        TCalls calls;
        Link(calls, items, 0, 1);
        calls.Holds(0x201, 2);
        calls.Holds(0x204, 4);
        Link(calls, items, 2, 3);
        Link(calls, items, 4, 5);
        SelectCallChains(items, calls.Test(), nullptr);
        EXPECT_EQ(c.expected, KeptItems(items)) << c.rule;
    }
}

TEST(ChainSelection, ScoresOfVeryLongChainsSaturateInsteadOfOverflowing)
{
    // Between anchors 0 and last: the short chain 0 -> 1 -> last of known calls, and a long one
    // through 1100 calls into raising routines with debug information and lines on both ends,
    // whose last call's target is unknown. Its bonuses exceed what the score holds below the
    // flags; spilled over, they would pass for a chain of known calls.
    constexpr size_t kLong = 1100;
    auto items = Items(kLong + 3);
    const size_t last = items.size() - 1;
    items[0].anchor = items[last].anchor = true;
    TCalls calls;
    Link(calls, items, 0, 1);
    Link(calls, items, 1, last);
    Link(calls, items, 0, 2);
    for (size_t i = 2; i < last; ++i) {
        items[i].calleeIsRuntimeRoutine = items[i].hasDebugInfo = items[i].hasLine = true;
        if (i + 1 < last)
            Link(calls, items, i, i + 1);
    }
    items[last - 1].callee = 0;
    SelectCallChains(items, calls.Test(), nullptr);
    EXPECT_EQ((std::vector<CodeAddress>{0, 1, static_cast<CodeAddress>(last)}), KeptItems(items));
}

TEST(ChainSelection, SetCancelFlagLeavesTheItems)
{
    auto items = Items(4);
    items[0].anchor = items[3].anchor = true;
    TCalls calls;
    Link(calls, items, 0, 3);
    std::atomic<bool> cancel = true;
    SelectCallChains(items, calls.Test(), &cancel);
    EXPECT_EQ(4u, items.size());
}

} // namespace
