#include "zip/Deflate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zip/Crc32.h"

namespace {

std::string Sample(size_t size)
{
    std::string data;
    uint32_t state = 12345;
    while (data.size() < size) {
        state = state * 1103515245 + 12345;
        // Words from a small vocabulary: compressible, but not trivially.
        data += "alpha beta gamma delta epsilon "[state >> 16 & 0x1F];
    }
    return data;
}

std::string Deflated(const std::string& data)
{
    std::string packed(data.size() + data.size() / 10 + 64, '\0');
    const auto length = Compress(data.data(), packed.data(), data.size(), packed.size());
    EXPECT_TRUE(length.has_value());
    packed.resize(length.value_or(0));
    return packed;
}

// Hands out its data in windows of a chosen size, and can fail or end early.
class TPiecewiseSource : public TStreamSource {
public:
    TPiecewiseSource(std::string data, size_t piece, size_t failAt = SIZE_MAX)
        : data_(std::move(data)), piece_(piece), failAt_(failAt) {}

    bool Next(std::span<const uint8_t>& window) override
    {
        if (position_ >= failAt_)
            return false;
        const size_t length = std::min(piece_, data_.size() - position_);
        window = {reinterpret_cast<const uint8_t*>(data_.data()) + position_, length};
        position_ += length;
        return true;
    }

private:
    std::string data_;
    size_t piece_;
    size_t failAt_;
    size_t position_ = 0;
};

TEST(Deflate, RoundTripsAcrossWindowBoundaries)
{
    for (const size_t size : {size_t{0}, size_t{1}, size_t{100000}, kStreamWindow + 12345}) {
        const std::string data = Sample(size);
        const std::string packed = Deflated(data);
        std::string unpacked(data.size(), '\0');
        uint32_t crc = 0xFFFFFFFF;
        TMemorySource source(packed.data(), packed.size());
        TMemorySink sink(unpacked.data(), unpacked.size());
        const auto length = InflateStream(source, sink, &crc);
        ASSERT_TRUE(length.has_value()) << size;
        EXPECT_EQ(data.size(), *length);
        EXPECT_EQ(data, unpacked);
        EXPECT_EQ(~UpdateCrc32(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size())), ~crc);
    }
}

TEST(Deflate, CompressingAccumulatesTheCrcOfTheInput)
{
    const std::string data = Sample(5000);
    std::string packed(6000, '\0');
    uint32_t crc = 0xFFFFFFFF;
    TPiecewiseSource source(data, 777);
    TMemorySink sink(packed.data(), packed.size());
    ASSERT_TRUE(DeflateStream(source, sink, &crc).has_value());
    EXPECT_EQ(UpdateCrc32(0xFFFFFFFF, data.data(), 5000), crc);
}

TEST(Deflate, SmallWindowsOfInputGiveTheSameData)
{
    const std::string data = Sample(40000);
    const std::string packed = Deflated(data);
    std::string unpacked(data.size(), '\0');
    TPiecewiseSource source(packed, 3);
    TMemorySink sink(unpacked.data(), unpacked.size());
    ASSERT_EQ(std::optional<uint64_t>(data.size()), InflateStream(source, sink));
    EXPECT_EQ(data, unpacked);
}

TEST(Deflate, DestinationTooSmallFailsWithoutWritingBeyondIt)
{
    const std::string data = Sample(10000);
    const std::string packed = Deflated(data);
    std::vector<char> guarded(data.size() + 16, '#');
    EXPECT_FALSE(Uncompress(packed.data(), guarded.data(), packed.size(), data.size() - 1).has_value());
    for (size_t i = data.size() - 1; i < guarded.size(); ++i)
        ASSERT_EQ('#', guarded[i]) << i;

    std::vector<char> small(20, '#');
    EXPECT_FALSE(Compress(data.data(), small.data(), data.size(), 10).has_value());
    EXPECT_EQ(std::string(10, '#'), std::string(small.begin() + 10, small.end()));
}

TEST(Deflate, ExactDestinationIsEnough)
{
    const std::string data = Sample(3000);
    const std::string packed = Deflated(data);
    std::string unpacked(data.size(), '\0');
    EXPECT_EQ(std::optional<uint64_t>(data.size()),
              Uncompress(packed.data(), unpacked.data(), packed.size(), unpacked.size()));
    EXPECT_EQ(data, unpacked);
}

TEST(Deflate, TruncatedOrFailedInputIsAnError)
{
    const std::string data = Sample(50000);
    const std::string packed = Deflated(data);
    std::string unpacked(data.size(), '\0');
    EXPECT_FALSE(Uncompress(packed.data(), unpacked.data(), packed.size() / 2, unpacked.size()).has_value());

    TPiecewiseSource failing(packed, 100, 300);
    TMemorySink sink(unpacked.data(), unpacked.size());
    EXPECT_FALSE(InflateStream(failing, sink).has_value());
}

TEST(Deflate, GarbageIsRefused)
{
    const std::string garbage = "\xFF\xFF\xFF\xFF this is not deflate data";
    std::string out(1000, '\0');
    EXPECT_FALSE(Uncompress(garbage.data(), out.data(), garbage.size(), out.size()).has_value());
}

} // namespace
