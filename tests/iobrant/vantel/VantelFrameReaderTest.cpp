#include "vantel/VantelFrameReader.h"

#include <gtest/gtest.h>

namespace {

const std::string kFirst = BuildVantel97(3, 1, 0, "abc");
const std::string kSecond = BuildVantel97(4, 2, 13, std::string("\x01\x02", 2));

std::vector<std::string> AllFrames(TVantelFrameReader& reader)
{
    std::vector<std::string> frames;
    while (const auto frame = reader.NextFrame())
        frames.push_back(*frame);
    return frames;
}

std::string WithByte(std::string frame, size_t index, char value)
{
    frame[index] = value;
    return frame;
}

TEST(VantelFrameReader, ExtractTakesOnlyACompleteFrameAtTheStart)
{
    std::string buffer = kFirst + "*a";
    EXPECT_EQ(ExtractVantel97(buffer, false), kFirst);
    EXPECT_EQ(buffer, kFirst + "*a");
    EXPECT_EQ(ExtractVantel97(buffer, true), kFirst);
    EXPECT_EQ(buffer, "*a");
    EXPECT_EQ(ExtractVantel97(buffer, true), "");
    std::string shifted = "x" + kFirst;
    EXPECT_EQ(ExtractVantel97(shifted, true), "");
}

TEST(VantelFrameReader, AGoodFrameNeedsTheFiveHeaderBytesItsLengthCounts)
{
    EXPECT_TRUE(IsGoodVantel97(kFirst));
    // LEN 4 passes the frame check with 8 bytes, but no parse takes it.
    std::string short8 = std::string("*a\x00\x04\x03\x01", 6);
    short8 += static_cast<char>(VantelChecksum(short8));
    short8 += '\r';
    ASSERT_EQ(CheckVantel97(short8), kVantelCheckOk);
    EXPECT_FALSE(IsGoodVantel97(short8));

    TVantelFrameReader reader;
    reader.Append(short8 + kFirst);
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kFirst});
}

TEST(VantelFrameReader, FramesInOneDeliveryAndAcrossDeliveries)
{
    TVantelFrameReader reader;
    reader.Append(kFirst + kSecond.substr(0, 5));
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kFirst});
    EXPECT_EQ(reader.Size(), 5u);
    reader.Append(kSecond.substr(5));
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kSecond});
    EXPECT_EQ(reader.Size(), 0u);
}

TEST(VantelFrameReader, NoiseBeforeAndBetweenFramesIsDropped)
{
    TVantelFrameReader reader;
    reader.Append("\x00zz*" + kFirst + "**a" + kSecond + "tail*");
    EXPECT_EQ(AllFrames(reader), (std::vector<std::string>{kFirst, kSecond}));
    // Only a last "*" may still start a frame.
    EXPECT_EQ(reader.TakeRest(), "*");
}

TEST(VantelFrameReader, ABadFrameIsDroppedUpToItsNextStar)
{
    TVantelFrameReader reader;
    // A corrupt frame that hides a good one behind a "*" inside it.
    std::string corrupt = std::string("*a\x00\x12\x01\x01\x00", 7) + kFirst + "xyz";
    ASSERT_EQ(Vantel97FrameLength(corrupt), corrupt.size());
    reader.Append(corrupt + kSecond);
    EXPECT_EQ(AllFrames(reader), (std::vector<std::string>{kFirst, kSecond}));

    reader.Append(WithByte(kFirst, 8, 'Q') + kSecond);
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kSecond});
    reader.Append(WithByte(kFirst, kFirst.size() - 1, '\n') + kSecond);
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kSecond});
}

TEST(VantelFrameReader, AnIncompleteFrameWaitsUnlessACompleteOneFollowsIt)
{
    TVantelFrameReader reader;
    reader.Append(kFirst.substr(0, kFirst.size() - 1));
    EXPECT_FALSE(reader.NextFrame());
    EXPECT_EQ(reader.Size(), kFirst.size() - 1);
    reader.Append(kFirst.substr(kFirst.size() - 1));
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kFirst});

    // A header that promises far more bytes than follow is noise once a whole frame is there.
    reader.Append(std::string("*a\x40\x00", 4) + kSecond);
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kSecond});
}

TEST(VantelFrameReader, TheBufferIsCapped)
{
    TVantelFrameReader reader;
    reader.Append(std::string("*a\xFF\xFF", 4));
    reader.Append(std::string(TVantelFrameReader::kCapacity, 'n'));
    EXPECT_EQ(reader.Size(), TVantelFrameReader::kCapacity);
    EXPECT_FALSE(reader.NextFrame());
    reader.Append(kFirst);
    EXPECT_EQ(AllFrames(reader), std::vector<std::string>{kFirst});
}

} // namespace
