#include <gtest/gtest.h>

#include <stdexcept>

#include "Vantel97.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

constexpr const char* kParseMessage = "Incorrect PACKET (Vantel format 97)!";

void ExpectParseFailure(std::string_view frame) {
  try {
    ParseVantel97(frame);
    ADD_FAILURE() << "parsed " << frame.size() << " bytes";
  } catch (const EVantelPacketError& e) {
    EXPECT_STREQ(e.what(), kParseMessage);
    EXPECT_EQ(e.Code(), kErrException);
  }
}

TEST(Vantel97Test, BuildsFrameWithoutData) {
  EXPECT_EQ(BuildVantel97(0xFE, 0x01, 0xF3, ""),
            Bytes({0x2A, 0x61, 0x00, 0x05, 0xFE, 0x01, 0xF3, 0x7D, 0x0D}));
}

TEST(Vantel97Test, LengthIsHighByteFirst) {
  const std::string frame = BuildVantel97(1, 2, 3, std::string(300, 'x'));
  ASSERT_EQ(frame.size(), 309u);
  EXPECT_EQ(static_cast<uint8_t>(frame[2]), 0x01);
  EXPECT_EQ(static_cast<uint8_t>(frame[3]), 0x31);
}

TEST(Vantel97Test, ChecksumIsComplementOfByteSum) {
  EXPECT_EQ(VantelChecksum(""), 0xFF);
  EXPECT_EQ(VantelChecksum(Bytes({0xFF, 0x01})), 0xFF);
  EXPECT_EQ(VantelChecksum(Bytes({0x80, 0x7F})), 0x00);
  // No size limit: 70,000 bytes of 0x01 sum to 70,000 mod 256 = 0x70.
  EXPECT_EQ(VantelChecksum(std::string(70000, '\x01')), 0xFF - 0x70);
}

TEST(Vantel97Test, LargestFrameBuildsChecksAndParses) {
  for (const size_t size : {size_t{65529}, kVantelMaxData}) {
    const std::string data(size, '\xA5');
    const std::string frame = BuildVantel97(7, 8, 9, data);
    ASSERT_EQ(frame.size(), size + 9);
    EXPECT_EQ(CheckVantel97(frame), kVantelCheckOk);
    EXPECT_EQ(Vantel97FrameLength(frame), frame.size());
    const TVantelFormat97 packet = ParseVantel97(frame);
    EXPECT_EQ(packet.length, size + 5);
    EXPECT_EQ(packet.data, data);
  }
}

TEST(Vantel97Test, OversizedDataIsRefused) {
  EXPECT_THROW(BuildVantel97(0, 0, 0, std::string(kVantelMaxData + 1, 'x')), std::range_error);
}

TEST(Vantel97Test, ParseSplitsAllFields) {
  const std::string frame = BuildVantel97(0x10, 0x20, 0x30, Bytes({0x00, 0xFF, 0x0D}));
  const TVantelFormat97 expected{'*', 'a', 8, 0x10, 0x20, 0x30, Bytes({0x00, 0xFF, 0x0D}),
                                 static_cast<uint8_t>(frame[10]), 0x0D};
  EXPECT_EQ(ParseVantel97(frame), expected);
  // Bytes after the frame are ignored.
  EXPECT_EQ(ParseVantel97(frame + "*a"), expected);
}

TEST(Vantel97Test, ParseJudgesOnlyTheLength) {
  std::string frame = BuildVantel97(1, 2, 3, "ab");
  frame[0] = 'X';
  frame[1] = 'Y';
  frame[frame.size() - 2] ^= 0x55;
  frame.back() = '!';
  const TVantelFormat97 packet = ParseVantel97(frame);
  EXPECT_EQ(packet.prefix, 'X');
  EXPECT_EQ(packet.format, 'Y');
  EXPECT_EQ(packet.data, "ab");
  EXPECT_EQ(packet.end, '!');
}

TEST(Vantel97Test, ParseWithLenBelowFiveReadsTrailerInsideHeader) {
  const std::string frame = Bytes({0x2A, 0x61, 0x00, 0x02, 1, 2, 3, 4, 5});
  const TVantelFormat97 packet = ParseVantel97(frame);
  EXPECT_EQ(packet.length, 2);
  EXPECT_TRUE(packet.data.empty());
  EXPECT_EQ(packet.checksum, 1);  // byte LEN + 3 (1-based)
  EXPECT_EQ(packet.end, 2);
}

TEST(Vantel97Test, ParseRefusesShortFrames) {
  const std::string eightBytes = Bytes({0x2A, 0x61, 0x00, 0x04, 0xFE, 0x01, 0, 0x0D});
  std::string good = eightBytes;
  good[6] = static_cast<char>(VantelChecksum(good.substr(0, 6)));
  ASSERT_EQ(CheckVantel97(good), kVantelCheckOk);
  ExpectParseFailure(good);
  ExpectParseFailure("");

  const std::string frame = BuildVantel97(1, 2, 3, "abc");
  ExpectParseFailure(std::string_view(frame).substr(0, frame.size() - 1));
}

TEST(Vantel97Test, CheckReportsFirstFailingTest) {
  const std::string good = BuildVantel97(0xFE, 1, 0xF3, "xyz");
  ASSERT_EQ(CheckVantel97(good), kVantelCheckOk);

  EXPECT_EQ(CheckVantel97(good.substr(0, 7)), kVantelCheckTooShort);
  std::string bad = good;
  bad[0] = '#';
  bad[1] = 'b';
  EXPECT_EQ(CheckVantel97(bad), kVantelCheckBadPrefix);
  bad = good;
  bad[1] = 'b';
  EXPECT_EQ(CheckVantel97(bad), kVantelCheckBadFormat);
  EXPECT_EQ(CheckVantel97(good + "\x0D"), kVantelCheckBadLength);
  bad = good;
  bad[8] ^= 0x01;
  bad.back() = 0;
  EXPECT_EQ(CheckVantel97(bad), kVantelCheckBadChecksum);
  bad = good;
  bad.back() = '\n';
  EXPECT_EQ(CheckVantel97(bad), kVantelCheckBadEnd);
}

TEST(Vantel97Test, FrameLengthOfBufferedFrames) {
  const std::string first = BuildVantel97(1, 2, 3, "data");
  const std::string second = BuildVantel97(4, 5, 6, "");
  EXPECT_EQ(Vantel97FrameLength(first), first.size());
  EXPECT_EQ(Vantel97FrameLength(first + second.substr(0, 5)), first.size());
  EXPECT_EQ(Vantel97FrameLength(std::string_view(first).substr(0, first.size() - 1)), 0u);
  EXPECT_EQ(Vantel97FrameLength("*a\x00"), 0u);
  EXPECT_EQ(Vantel97FrameLength(std::string("*a\x00\x00", 4)), 4u);
  EXPECT_EQ(Vantel97FrameLength("*b" + first.substr(2)), 0u);
}

TEST(Vantel97Test, FrameLengthIgnoresChecksumAndEnd) {
  std::string frame = BuildVantel97(1, 2, 3, "q");
  frame[frame.size() - 2] ^= 0x01;
  frame.back() = 'z';
  EXPECT_EQ(Vantel97FrameLength(frame), frame.size());
}

}  // namespace
