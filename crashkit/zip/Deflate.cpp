#include "zip/Deflate.h"

#include <zlib.h>

#include "zip/Crc32.h"

namespace {

constexpr int kWindowBits = 15;
constexpr int kMemoryLevel = 8;

// Feeds the sink's windows to zlib and commits what zlib wrote. When the sink has no room
// left, zlib gets a one-byte scratch window: a run that only finishes its bookkeeping still
// ends, while a byte written there shows that the destination is too small.
class TOutputWindows {
public:
    TOutputWindows(z_stream& stream, TStreamSink& sink, uint32_t* crc) : stream_(stream), sink_(sink), crc_(crc) {}

    // Makes room before a zlib call; false when the scratch byte was used already.
    bool Prepare()
    {
        if (stream_.avail_out != 0)
            return true;
        Commit();
        window_ = sink_.Next();
        if (window_.empty()) {
            if (overflowed_)
                return false;
            window_ = {&scratch_, 1};
            overflowed_ = true;
        }
        stream_.next_out = window_.data();
        stream_.avail_out = static_cast<uInt>(window_.size());
        return true;
    }

    // Commits the filled part of the current window; false when it spilled into scratch.
    bool Commit()
    {
        const size_t used = window_.size() - stream_.avail_out;
        if (overflowed_)
            return used == 0;
        if (used != 0) {
            if (crc_)
                *crc_ = UpdateCrc32(*crc_, window_.data(), static_cast<int64_t>(used));
            sink_.Commit(used);
            total_ += used;
        }
        window_ = window_.subspan(used);
        return true;
    }

    uint64_t Total() const { return total_; }

private:
    z_stream& stream_;
    TStreamSink& sink_;
    uint32_t* crc_;
    std::span<uint8_t> window_;
    uint8_t scratch_ = 0;
    bool overflowed_ = false;
    uint64_t total_ = 0;
};

struct TDeflater {
    z_stream stream{};
    bool ready = false;
    TDeflater() { ready = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -kWindowBits, kMemoryLevel,
                                       Z_DEFAULT_STRATEGY) == Z_OK; }
    ~TDeflater() { if (ready) deflateEnd(&stream); }
};

struct TInflater {
    z_stream stream{};
    bool ready = false;
    TInflater() { ready = inflateInit2(&stream, -kWindowBits) == Z_OK; }
    ~TInflater() { if (ready) inflateEnd(&stream); }
};

} // namespace

std::optional<uint64_t> DeflateStream(TStreamSource& source, TStreamSink& sink, uint32_t* crc)
{
    TDeflater deflater;
    if (!deflater.ready)
        return std::nullopt;
    z_stream& stream = deflater.stream;
    TOutputWindows output(stream, sink, nullptr);
    bool inputEnded = false;
    for (;;) {
        if (stream.avail_in == 0 && !inputEnded) {
            std::span<const uint8_t> window;
            if (!source.Next(window))
                return std::nullopt;
            inputEnded = window.empty();
            if (crc && !inputEnded)
                *crc = UpdateCrc32(*crc, window.data(), static_cast<int64_t>(window.size()));
            stream.next_in = const_cast<Bytef*>(window.data());
            stream.avail_in = static_cast<uInt>(window.size());
        }
        if (!output.Prepare())
            return std::nullopt;
        const int status = deflate(&stream, inputEnded ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR)
            return std::nullopt;
        if (!output.Commit())
            return std::nullopt;
        if (status == Z_STREAM_END)
            return output.Total();
    }
}

std::optional<uint64_t> InflateStream(TStreamSource& source, TStreamSink& sink, uint32_t* crc)
{
    TInflater inflater;
    if (!inflater.ready)
        return std::nullopt;
    z_stream& stream = inflater.stream;
    TOutputWindows output(stream, sink, crc);
    for (;;) {
        if (stream.avail_in == 0) {
            std::span<const uint8_t> window;
            // Input that ends before the deflate stream does is truncated data.
            if (!source.Next(window) || window.empty())
                return std::nullopt;
            stream.next_in = const_cast<Bytef*>(window.data());
            stream.avail_in = static_cast<uInt>(window.size());
        }
        if (!output.Prepare())
            return std::nullopt;
        const int status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return std::nullopt;
        if (!output.Commit())
            return std::nullopt;
        if (status == Z_STREAM_END)
            return output.Total();
    }
}

std::optional<uint64_t> Compress(const void* source, void* destination, uint64_t sourceLength,
                                 uint64_t destinationCapacity)
{
    TMemorySource input(source, sourceLength);
    TMemorySink output(destination, destinationCapacity);
    return DeflateStream(input, output);
}

std::optional<uint64_t> Uncompress(const void* source, void* destination, uint64_t sourceLength,
                                   uint64_t destinationCapacity)
{
    TMemorySource input(source, sourceLength);
    TMemorySink output(destination, destinationCapacity);
    return InflateStream(input, output);
}
