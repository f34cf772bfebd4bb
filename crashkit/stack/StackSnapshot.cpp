#include "StackSnapshot.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr CodeAddress kPage = 0x1000;

} // namespace

TStackSnapshot::TStackSnapshot(const IFunctionEnvironment& process, std::size_t capacity)
    : process_(process), capacity_(capacity), copy_(std::make_unique_for_overwrite<std::uint8_t[]>(capacity))
{
}

bool TStackSnapshot::Take(CodeAddress from, CodeAddress top)
{
    start_ = end_ = 0;
    if (from >= top || capacity_ == 0)
        return false;
    base_ = from;
    const CodeAddress end = static_cast<CodeAddress>(std::min<std::uint64_t>(top, std::uint64_t{from} + capacity_));
    // Page by page downwards from the end: the pages nearest the stack pointer are the last
    // to be committed and the likeliest to be missing from a table of readable memory.
    CodeAddress low = end;
    while (low > from) {
        const CodeAddress pieceStart = std::max(from, (low - 1) & ~(kPage - 1));
        if (!process_.Code().Read(pieceStart, copy_.get() + (pieceStart - base_), low - pieceStart))
            break;
        low = pieceStart;
    }
    if (low == end)
        return false;
    start_ = low;
    end_ = end;
    return true;
}

bool TStackSnapshot::TReader::Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const
{
    const ICodeReader& process = owner_.process_.Code();
    const CodeAddress start = owner_.start_;
    const CodeAddress end = owner_.end_;
    const std::uint64_t readEnd = std::uint64_t{address} + count;
    if (start == end || readEnd <= start || address >= end)
        return process.Read(address, buffer, count);
    // The parts below and above the copy come from the process.
    if (address < start && !process.Read(address, buffer, start - address))
        return false;
    if (readEnd > end && !process.Read(end, buffer + (end - address), static_cast<std::size_t>(readEnd - end)))
        return false;
    const CodeAddress inside = std::max(address, start);
    const std::size_t insideCount = static_cast<std::size_t>(std::min<std::uint64_t>(readEnd, end) - inside);
    std::memcpy(buffer + (inside - address), owner_.copy_.get() + (inside - owner_.base_), insideCount);
    return true;
}
