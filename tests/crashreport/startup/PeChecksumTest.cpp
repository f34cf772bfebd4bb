#include <gtest/gtest.h>

#include <vector>

#include "startup/PeChecksum.h"

namespace {

constexpr size_t kPeHeader = 0x80;
constexpr size_t kChecksumField = kPeHeader + 4 + 20 + 64;

void Put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (int byte = 0; byte < 4; ++byte)
        bytes[offset + byte] = static_cast<uint8_t>(value >> (8 * byte));
}

// A minimal image: the DOS header's pointer, the signature and an optional header's worth of
// bytes, with some content after it.
std::vector<uint8_t> Image(size_t size = 0x200)
{
    std::vector<uint8_t> bytes(size);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, kPeHeader);
    bytes[kPeHeader] = 'P';
    bytes[kPeHeader + 1] = 'E';
    for (size_t offset = kChecksumField + 4; offset < size; ++offset)
        bytes[offset] = static_cast<uint8_t>(offset * 7 + 3);
    return bytes;
}

TEST(PeChecksum, FindsTheFieldOnlyInWellFormedHeaders)
{
    EXPECT_EQ(PeChecksumOffset(Image()), kChecksumField);
    std::vector<uint8_t> noMz = Image();
    noMz[0] = 'X';
    EXPECT_FALSE(PeChecksumOffset(noMz));
    std::vector<uint8_t> noPe = Image();
    noPe[kPeHeader + 2] = 'X';
    EXPECT_FALSE(PeChecksumOffset(noPe));
    const std::vector<uint8_t> whole = Image();
    EXPECT_FALSE(PeChecksumOffset(std::vector<uint8_t>(whole.begin(), whole.begin() + kChecksumField + 3)))
        << "a field cut short";
    std::vector<uint8_t> farPointer = Image();
    Put32(farPointer, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(PeChecksumOffset(farPointer)) << "a pointer beyond the file, near the top of the range";
    EXPECT_FALSE(PeChecksumOffset({}));
}

TEST(PeChecksum, SumFoldsCarriesSkipsTheFieldAndAddsTheLength)
{
    // Words of 0xFFFF and 0x0001 carry out of 16 bits; the field's own bytes do not count.
    std::vector<uint8_t> bytes(12, 0);
    bytes[0] = bytes[1] = 0xFF;
    bytes[2] = 0x01;
    bytes[4] = bytes[5] = bytes[6] = bytes[7] = 0xEE; // the field
    bytes[8] = 0x02;
    // 0xFFFF + 1 = 0x10000 -> folded 0x0001; + 2 = 3; + length 12.
    EXPECT_EQ(ComputePeChecksum(bytes, 4), 3u + 12u);
    bytes.push_back(0x05); // an odd last byte counts as a word of its own
    EXPECT_EQ(ComputePeChecksum(bytes, 4), 8u + 13u);
}

TEST(PeChecksum, VerdictsForStoredZeroMatchAndMismatch)
{
    std::vector<uint8_t> image = Image();
    EXPECT_EQ(CheckPeChecksum(image), TChecksumVerdict::NoChecksum) << "0 is never checked";
    Put32(image, kChecksumField, ComputePeChecksum(image, kChecksumField));
    EXPECT_EQ(CheckPeChecksum(image), TChecksumVerdict::Match);
    image.back() ^= 0x40;
    EXPECT_EQ(CheckPeChecksum(image), TChecksumVerdict::Mismatch);
    EXPECT_EQ(CheckPeChecksum(std::vector<uint8_t>(10, 0)), TChecksumVerdict::NotAnImage);
}

} // namespace
