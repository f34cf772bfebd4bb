#include "handlers/FreezeCounter.h"

#include <algorithm>

namespace {

uint32_t BaseIntervalOf(int32_t freezeTimeoutMs)
{
    return static_cast<uint32_t>(std::max<int32_t>(freezeTimeoutMs / 10, 1));
}

} // namespace

TFreezeCounter::TFreezeCounter(int32_t freezeTimeoutMs)
    : baseInterval_(BaseIntervalOf(freezeTimeoutMs)), interval_(baseInterval_)
{
}

bool TFreezeCounter::Missed()
{
    if (++misses_ < kMissesPerReport)
        return false;
    misses_ = 0;
    const uint32_t interval = interval_;
    interval_ = interval + std::min(interval / 2, kLongestInterval - interval);
    return true;
}

void TFreezeCounter::Answered()
{
    misses_ = 0;
    interval_ = baseInterval_;
}
