#include "net/MimeBoundary.h"

#include <cstdio>
#include <random>

namespace {

// 64 random bits: content made to hold the usual boundary cannot aim at this one as well.
AnsiString RandomBoundary()
{
    static std::random_device source;
    const uint64_t bits = static_cast<uint64_t>(source()) << 32 | source();
    char suffix[24];
    std::snprintf(suffix, sizeof(suffix), "_%016llX", static_cast<unsigned long long>(bits));
    return AnsiString(kMultipartBoundary) + suffix;
}

} // namespace

AnsiString ChooseBoundary(const TBoundaryTest& contentHolds)
{
    AnsiString boundary(kMultipartBoundary);
    while (contentHolds(boundary))
        boundary = RandomBoundary();
    return boundary;
}

void TTextSearch::Feed(std::string_view piece)
{
    if (found_)
        return;
    tail_ += piece;
    found_ = tail_.find(wanted_) != AnsiString::npos;
    if (tail_.size() >= wanted_.size())
        tail_.erase(0, tail_.size() - (wanted_.size() - 1));
}
