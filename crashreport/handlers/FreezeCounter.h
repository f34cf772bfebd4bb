#pragma once
// The freeze watchdog's arithmetic: the ping interval (a tenth of the freeze time-out, at least
// 1 ms), the count of unanswered pings, and the longer interval after each freeze report.
#include <atomic>
#include <cstdint>

class TFreezeCounter {
public:
    static constexpr uint32_t kMissesPerReport = 10;
    // Below the waits' "no limit" value however often it grows.
    static constexpr uint32_t kLongestInterval = 0x7FFFFFFE;

    explicit TFreezeCounter(int32_t freezeTimeoutMs);

    uint32_t Interval() const { return interval_; }
    uint32_t Misses() const { return misses_; }

    // One more unanswered ping. True when that makes a freeze report due; the count then starts
    // over and the interval grows by half.
    bool Missed();
    // The main thread answered: count and interval start over.
    void Answered();
    // Handling of an exception began or ended: pings missed meanwhile do not count.
    void ClearMisses() { misses_ = 0; }

private:
    uint32_t baseInterval_;
    std::atomic<uint32_t> interval_;
    std::atomic<uint32_t> misses_{0};
};
