#pragma once
// The assembled report text and the counter of report changes, under one lock; with the update
// nesting that folds the changes between BeginUpdate and EndUpdate into one announcement.
// A text assembled while the counter moved is not cached, so a reader never keeps a stale one.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "text/ZelTypes.h"

class TReportTextCache {
public:
    struct TSnapshot {
        uint64_t changeCounter = 0;
        UnicodeString text;
    };

    TSnapshot Read() const;
    uint64_t ChangeCounter() const;
    // Caches the text only when no change came since the snapshot of that counter.
    bool StoreIfUnchanged(uint64_t changeCounter, const UnicodeString& text);
    // A text set from outside: cached as it is.
    void Replace(const UnicodeString& text);

    void BeginUpdate();
    // True when the outermost update ended with a change pending: the caller announces it.
    bool EndUpdate();
    // A change of the report. True when it is to be announced now (the counter moved and the
    // cached text is gone); false while an update is open (the change waits for its end).
    bool Change();
    int UpdateDepth() const { return updateCount_.load(); }

private:
    void Invalidate();

    mutable std::mutex lock_;
    UnicodeString text_;
    uint64_t changeCounter_ = 0;
    std::atomic<int32_t> updateCount_{0};
    std::atomic<bool> changePending_{false};
};
