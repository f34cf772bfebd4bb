#include "tarvo/TarvoCounterCache.h"

void TTarvoCounterCache::Resize(int count)
{
    TLockGuard guard(lock_);
    entries_.resize(static_cast<size_t>(count > 0 ? count : 0));
}

TTarvoCounterCache::TCounterValueRec* TTarvoCounterCache::Entry(int number)
{
    if (number < 1 || static_cast<size_t>(number) > entries_.size())
        return nullptr;
    return &entries_[static_cast<size_t>(number - 1)];
}

void TTarvoCounterCache::SetValue(int number, uint32_t value)
{
    TLockGuard guard(lock_);
    if (TCounterValueRec* entry = Entry(number)) {
        entry->value = value;
        entry->valueKnown = true;
    }
}

void TTarvoCounterCache::SetOptions(int number, bool optionA, bool optionB)
{
    TLockGuard guard(lock_);
    if (TCounterValueRec* entry = Entry(number)) {
        entry->optionA = optionA;
        entry->optionB = optionB;
        entry->optionsKnown = true;
    }
}

bool TTarvoCounterCache::Value(int number, uint32_t& value)
{
    TLockGuard guard(lock_);
    const TCounterValueRec* entry = Entry(number);
    if (!entry || !entry->valueKnown)
        return false;
    value = entry->value;
    return true;
}

bool TTarvoCounterCache::Options(int number, bool& optionA, bool& optionB)
{
    TLockGuard guard(lock_);
    const TCounterValueRec* entry = Entry(number);
    if (!entry || !entry->optionsKnown)
        return false;
    optionA = entry->optionA;
    optionB = entry->optionB;
    return true;
}
