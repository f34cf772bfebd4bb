#include "progress/ProgressAreas.h"

void TProgressAreas::Add(const UnicodeString& text, uint64_t weight)
{
    TArea area{total_, weight, text};
    if (area.text.empty() && !areas_.empty())
        area.text = areas_.back().text;
    areas_.push_back(std::move(area));
    total_ += weight;
}

void TProgressAreas::Clear()
{
    areas_.clear();
    total_ = 0;
    current_ = 0;
    position_ = 0;
}

bool TProgressAreas::SetArea(int64_t index)
{
    const auto count = static_cast<int64_t>(areas_.size());
    if (index == current_ || index < 0 || index > count)
        return false;
    if (index == count) {
        current_ = static_cast<int32_t>(count - 1);
        position_ = kFull;
    } else {
        current_ = static_cast<int32_t>(index);
        position_ = 0;
    }
    return true;
}

int32_t TProgressAreas::BarValue() const
{
    if (static_cast<int64_t>(total_) <= 0 || current_ < 0 || static_cast<size_t>(current_) >= areas_.size())
        return position_;
    const TArea& area = areas_[static_cast<size_t>(current_)];
    const auto position = static_cast<uint64_t>(position_ < 0 ? 0 : position_ > kFull ? kFull : position_);
    // weight x p / 1000 without overflow: the whole thousands and the rest apart.
    const uint64_t done = area.weight / kFull * position + area.weight % kFull * position / kFull + area.start;
    if (total_ <= UINT64_MAX / kFull)
        return static_cast<int32_t>(done * kFull / total_);
    // Weights beyond 2^54 in all: a long double's 64-bit mantissa keeps the ratio.
    return static_cast<int32_t>(static_cast<long double>(done) * kFull / static_cast<long double>(total_));
}

UnicodeString TProgressAreas::CurrentText() const
{
    if (current_ < 0 || static_cast<size_t>(current_) >= areas_.size())
        return {};
    return areas_[static_cast<size_t>(current_)].text;
}

std::vector<UnicodeString> TProgressAreas::TextsFromCurrent() const
{
    std::vector<UnicodeString> texts;
    for (size_t i = static_cast<size_t>(current_ < 0 ? 0 : current_); i < areas_.size(); ++i)
        texts.push_back(areas_[i].text);
    return texts;
}
