#include "mapi/IcmpEcho.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Reply(uint8_t type, uint16_t identifier, uint16_t sequence, size_t headerWords = 5)
{
    std::vector<uint8_t> packet(headerWords * 4, 0);
    packet[0] = static_cast<uint8_t>(0x40 | headerWords);
    const auto icmp = EchoRequest(identifier, sequence);
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    packet[headerWords * 4] = type;
    return packet;
}

TEST(IcmpEcho, RequestCarriesItsFieldsAndAChecksumThatVerifies)
{
    const auto request = EchoRequest(0x1234, 0xABCD);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_EQ(request[4], 0x12);
    EXPECT_EQ(request[5], 0x34);
    EXPECT_EQ(request[6], 0xAB);
    EXPECT_EQ(request[7], 0xCD);
    for (size_t at = 8; at < request.size(); at += 4) {
        EXPECT_EQ(request[at], 0xDE);
        EXPECT_EQ(request[at + 3], 0xEF);
    }
    // A packet with its own checksum in place sums to zero.
    EXPECT_EQ(InternetChecksum(request.data(), request.size()), 0);
}

TEST(IcmpEcho, ChecksumFoldsTheCarryAndPadsAnOddByte)
{
    const uint8_t words[] = {0xFF, 0xFF, 0x00, 0x02};
    EXPECT_EQ(InternetChecksum(words, sizeof(words)), static_cast<uint16_t>(~0x0002));
    const uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(InternetChecksum(odd, sizeof(odd)), static_cast<uint16_t>(~(0x0102 + 0x0300)));
}

TEST(IcmpEcho, OnlyTheReplyToOurRequestCounts)
{
    auto packet = Reply(0, 7, 9);
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 7, 9), TEchoAnswer::Reply);
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 7, 10), TEchoAnswer::Other);
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 8, 9), TEchoAnswer::Other);
    packet = Reply(8, 7, 9); // our own request seen on the loopback
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 7, 9), TEchoAnswer::Other);
    packet = Reply(0, 7, 9, 15); // an IP header with options
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 7, 9), TEchoAnswer::Reply);
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size() - 1, 7, 9), TEchoAnswer::Invalid);
    packet[0] = 0x44; // a header length below the minimum
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), packet.size(), 7, 9), TEchoAnswer::Invalid);
    EXPECT_EQ(ClassifyEchoAnswer(packet.data(), 0, 7, 9), TEchoAnswer::Invalid);
}

} // namespace
