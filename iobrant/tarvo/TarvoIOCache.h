#pragma once
// The last known states of a module's inputs (or outputs), each with a "known" flag, under
// a lock of its own. Updates give back the changes they made; the caller announces them
// after the lock is released, so a host that calls back into the library from its handler
// cannot deadlock against the thread that delivered the data.
#include "CriticalSection.h"
#include "tarvo/ITarvo.h"

#include <utility>
#include <vector>

class TTarvoIOCache {
public:
    // Stands for "the module's count is not known".
    static constexpr int kUnknownCount = -1;

    // The cache is sized first: to `knownCount` when it is known, else grown to the
    // array's length; growing marks only the new entries unknown. Then every position of
    // both that differs from the cache, or is unknown there, is stored, becomes known and
    // is reported (old state = the new one when it was unknown), in position order.
    TIOsChngRec Apply(const TTarvoIOArray& states, int knownCount);
    // A confirmed write of single outputs (number, state): sized as above (grown to the
    // largest number when the count is not known), then each reported as Apply would.
    TIOsChngRec ApplyWrites(const std::vector<std::pair<int, bool>>& writes, int knownCount);

    // The states when every one is known: their count; else 0, `states` untouched.
    int Recent(TTarvoIOArray& states);
    // False when out of range or unknown.
    bool RecentOne(int number, bool& state);
    size_t Size();

private:
    struct TIOStatusRec {
        bool state = false;
        bool known = false;
    };

    void SizeTo(int knownCount, size_t atLeast);
    void Store(size_t position, bool state, TIOsChngRec& changes);

    TCriticalSection lock_;
    std::vector<TIOStatusRec> entries_;
};
