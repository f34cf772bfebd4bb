#pragma once
// Deadlines on the 32-bit millisecond tick counter, by elapsed-time arithmetic so that
// they survive the counter's wrap after 49.7 days.
#include <cstdint>

class TTickDeadline {
public:
    TTickDeadline() = default;
    TTickDeadline(uint32_t now, uint32_t span) { Restart(now, span); }

    void Restart(uint32_t now, uint32_t span)
    {
        start_ = now;
        span_ = span;
    }
    // True once strictly more than the span has passed since the start.
    bool Passed(uint32_t now) const { return static_cast<uint32_t>(now - start_) > span_; }
    uint32_t Remaining(uint32_t now) const
    {
        const uint32_t elapsed = now - start_;
        return elapsed >= span_ ? 0 : span_ - elapsed;
    }
    // Milliseconds until Passed turns true (at least 1 while it is false); saturates.
    uint32_t UntilPassed(uint32_t now) const
    {
        if (Passed(now))
            return 0;
        const uint32_t remaining = Remaining(now);
        return remaining == UINT32_MAX ? remaining : remaining + 1;
    }

private:
    uint32_t start_ = 0;
    uint32_t span_ = 0;
};
