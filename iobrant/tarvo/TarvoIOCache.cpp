#include "tarvo/TarvoIOCache.h"

#include <algorithm>

void TTarvoIOCache::SizeTo(int knownCount, size_t atLeast)
{
    if (knownCount >= 0)
        entries_.resize(static_cast<size_t>(knownCount));
    else if (entries_.size() < atLeast)
        entries_.resize(atLeast);
}

void TTarvoIOCache::Store(size_t position, bool state, TIOsChngRec& changes)
{
    TIOStatusRec& entry = entries_[position];
    if (entry.known && entry.state == state)
        return;
    changes.push_back({static_cast<uint16_t>(position), entry.known ? entry.state : state, state});
    entry.state = state;
    entry.known = true;
}

TIOsChngRec TTarvoIOCache::Apply(const TTarvoIOArray& states, int knownCount)
{
    TIOsChngRec changes;
    TLockGuard guard(lock_);
    SizeTo(knownCount, states.size());
    const size_t common = std::min(entries_.size(), states.size());
    for (size_t position = 0; position < common; ++position)
        Store(position, states[position], changes);
    return changes;
}

TIOsChngRec TTarvoIOCache::ApplyWrites(const std::vector<std::pair<int, bool>>& writes, int knownCount)
{
    TIOsChngRec changes;
    int largest = 0;
    for (const auto& [number, state] : writes)
        largest = std::max(largest, number);
    TLockGuard guard(lock_);
    SizeTo(knownCount, static_cast<size_t>(largest));
    for (const auto& [number, state] : writes) {
        if (number >= 1 && static_cast<size_t>(number) <= entries_.size())
            Store(static_cast<size_t>(number - 1), state, changes);
    }
    return changes;
}

int TTarvoIOCache::Recent(TTarvoIOArray& states)
{
    TLockGuard guard(lock_);
    if (std::any_of(entries_.begin(), entries_.end(), [](const TIOStatusRec& entry) { return !entry.known; }))
        return 0;
    states.resize(entries_.size());
    for (size_t position = 0; position < entries_.size(); ++position)
        states[position] = entries_[position].state;
    return static_cast<int>(entries_.size());
}

bool TTarvoIOCache::RecentOne(int number, bool& state)
{
    TLockGuard guard(lock_);
    if (number < 1 || static_cast<size_t>(number) > entries_.size() || !entries_[number - 1].known)
        return false;
    state = entries_[number - 1].state;
    return true;
}

size_t TTarvoIOCache::Size()
{
    TLockGuard guard(lock_);
    return entries_.size();
}
