#pragma once
// The work of a progress alert divided into areas, each with a text and a 64-bit weight; the
// caller reports 0..1000 inside the current area and the bar shows the overall progress.
#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

class TProgressAreas {
public:
    static constexpr int32_t kFull = 1000;

    // An empty text on any area but the first takes the previous area's text.
    void Add(const UnicodeString& text, uint64_t weight);
    void Clear();
    size_t Count() const { return areas_.size(); }

    int32_t Current() const { return current_; }
    int32_t Position() const { return position_; }
    void SetPosition(int32_t position) { position_ = position; }
    // The count itself means all done: the last area at 1000. False (nothing changes) for the
    // current index, a negative one or one beyond the count.
    bool SetArea(int64_t index);

    // 0..1000 over all areas: p alone when there is no weight at all.
    int32_t BarValue() const;
    // Empty when there is no area.
    UnicodeString CurrentText() const;
    // The texts of the current and later areas.
    std::vector<UnicodeString> TextsFromCurrent() const;

private:
    struct TArea {
        uint64_t start = 0; // the sum of the weights before it
        uint64_t weight = 0;
        UnicodeString text;
    };

    std::vector<TArea> areas_;
    uint64_t total_ = 0;
    int32_t current_ = 0;
    int32_t position_ = 0;
};
