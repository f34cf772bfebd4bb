#include "vantel/VantelFrameReader.h"

namespace {

constexpr std::string_view kFrameMark = "*a";
constexpr size_t kHeaderLength = 4;
constexpr uint16_t kSmallestLen = 5;

uint16_t CarriedLen(std::string_view frame)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(frame[2]) << 8 | static_cast<uint8_t>(frame[3]));
}

} // namespace

std::string ExtractVantel97(std::string& buffer, bool remove)
{
    const uint32_t length = Vantel97FrameLength(buffer);
    if (length == 0)
        return {};
    std::string frame = buffer.substr(0, length);
    if (remove)
        buffer.erase(0, length);
    return frame;
}

bool IsGoodVantel97(std::string_view frame)
{
    return CheckVantel97(frame) == kVantelCheckOk && CarriedLen(frame) >= kSmallestLen;
}

void TVantelFrameReader::Append(std::string_view bytes)
{
    buffer_.append(bytes);
    if (buffer_.size() > kCapacity)
        DropFront(buffer_.size() - kCapacity);
}

void TVantelFrameReader::DropFront(size_t count)
{
    buffer_.erase(0, count);
}

size_t TVantelFrameReader::FindCompleteGoodFrame(size_t from) const
{
    for (size_t at = buffer_.find(kFrameMark, from); at != std::string::npos; at = buffer_.find(kFrameMark, at + 1)) {
        const std::string_view rest = std::string_view(buffer_).substr(at);
        const uint32_t length = Vantel97FrameLength(rest);
        if (length != 0 && IsGoodVantel97(rest.substr(0, length)))
            return at;
    }
    return std::string::npos;
}

std::optional<std::string> TVantelFrameReader::NextFrame()
{
    for (;;) {
        const size_t mark = buffer_.find(kFrameMark);
        if (mark == std::string::npos) {
            // Only a last "*" may still become the start of a frame.
            const bool keepLastStar = !buffer_.empty() && buffer_.back() == kFrameMark[0];
            DropFront(buffer_.size() - (keepLastStar ? 1 : 0));
            return std::nullopt;
        }
        DropFront(mark);
        const std::string frame = ExtractVantel97(buffer_, false);
        if (frame.empty()) {
            const size_t later = buffer_.size() > kHeaderLength ? FindCompleteGoodFrame(1) : std::string::npos;
            if (later == std::string::npos)
                return std::nullopt;
            DropFront(later);
            continue;
        }
        if (IsGoodVantel97(frame)) {
            DropFront(frame.size());
            return frame;
        }
        // A bad frame goes up to its next "*", where a real frame may hide.
        const size_t nextStar = frame.find(kFrameMark[0], 1);
        DropFront(nextStar == std::string::npos ? frame.size() : nextStar);
    }
}

std::string TVantelFrameReader::TakeRest()
{
    std::string rest;
    rest.swap(buffer_);
    return rest;
}
