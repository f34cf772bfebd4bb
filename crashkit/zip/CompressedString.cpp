#include "zip/CompressedString.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "zip/Crc32.h"
#include "zip/Deflate.h"

namespace {

constexpr size_t kHeaderSize = 12;
// Deflate cannot expand its input by more than this factor (258 bytes from 2 bits at best).
constexpr uint64_t kMaxInflateRatio = 1032;

uint32_t ReadLe32(std::string_view bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + i]);
    return value;
}

void AppendLe32(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

uint32_t Crc32Of(std::string_view data)
{
    return ~UpdateCrc32(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
}

// Output into a growing string, no further than a limit, so that a header claiming a huge
// length costs only what the data really inflates to.
class TBoundedStringSink : public TStreamSink {
public:
    TBoundedStringSink(std::string& out, uint64_t limit) : out_(out), limit_(limit) {}

    std::span<uint8_t> Next() override
    {
        const uint64_t room = std::min<uint64_t>(kStreamWindow, limit_ - written_);
        out_.resize(static_cast<size_t>(written_ + room));
        return {reinterpret_cast<uint8_t*>(out_.data()) + written_, static_cast<size_t>(room)};
    }

    void Commit(size_t used) override { written_ += used; }
    uint64_t Written() const { return written_; }

private:
    std::string& out_;
    uint64_t limit_;
    uint64_t written_ = 0;
};

} // namespace

std::string CompressStr(std::string_view data)
{
    if (data.size() > UINT32_MAX)
        return {};
    std::string out;
    AppendLe32(out, static_cast<uint32_t>(data.size()));
    AppendLe32(out, 0);
    AppendLe32(out, Crc32Of(data));
    out.resize(kHeaderSize + data.size() + data.size() / 10 + 64);
    const std::optional<uint64_t> packed =
        Compress(data.data(), out.data() + kHeaderSize, data.size(), out.size() - kHeaderSize);
    if (!packed)
        return {};
    out.resize(kHeaderSize + static_cast<size_t>(*packed));
    return out;
}

std::string UncompressStr(std::string_view compressed)
{
    if (compressed.size() <= kHeaderSize)
        return {};
    const std::string_view deflated = compressed.substr(kHeaderSize);
    const uint64_t limit = std::min<uint64_t>(ReadLe32(compressed, 0), deflated.size() * kMaxInflateRatio);
    std::string out;
    TBoundedStringSink sink(out, limit);
    TMemorySource source(deflated.data(), deflated.size());
    if (!InflateStream(source, sink))
        return {};
    out.resize(static_cast<size_t>(sink.Written()));
    if (!out.empty() && Crc32Of(out) != ReadLe32(compressed, 8))
        return {};
    return out;
}
