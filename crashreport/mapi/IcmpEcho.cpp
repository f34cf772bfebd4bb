#include "mapi/IcmpEcho.h"

namespace {

constexpr uint8_t kEchoRequestType = 8;
constexpr uint8_t kEchoReplyType = 0;
constexpr uint32_t kFiller = 0xDEADBEEF;

void PutBigEndian16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

} // namespace

uint16_t InternetChecksum(const uint8_t* data, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += BigEndian16(data + i);
    if (length % 2 != 0)
        sum += static_cast<uint32_t>(data[length - 1]) << 8;
    sum = (sum >> 16) + (sum & 0xFFFF);
    sum += sum >> 16;
    return static_cast<uint16_t>(~sum);
}

std::array<uint8_t, kEchoRequestSize> EchoRequest(uint16_t identifier, uint16_t sequence)
{
    std::array<uint8_t, kEchoRequestSize> packet{};
    packet[0] = kEchoRequestType;
    PutBigEndian16(&packet[4], identifier);
    PutBigEndian16(&packet[6], sequence);
    for (size_t at = 8; at < packet.size(); at += 4) {
        packet[at] = static_cast<uint8_t>(kFiller >> 24);
        packet[at + 1] = static_cast<uint8_t>(kFiller >> 16);
        packet[at + 2] = static_cast<uint8_t>(kFiller >> 8);
        packet[at + 3] = static_cast<uint8_t>(kFiller);
    }
    PutBigEndian16(&packet[2], InternetChecksum(packet.data(), packet.size()));
    return packet;
}

TEchoAnswer ClassifyEchoAnswer(const uint8_t* packet, size_t length, uint16_t identifier, uint16_t sequence)
{
    if (length < 1)
        return TEchoAnswer::Invalid;
    const size_t headerLength = static_cast<size_t>(packet[0] & 0x0F) * 4;
    if (headerLength < 20 || length < headerLength + kEchoRequestSize)
        return TEchoAnswer::Invalid;
    const uint8_t* icmp = packet + headerLength;
    if (icmp[0] != kEchoReplyType || BigEndian16(icmp + 4) != identifier || BigEndian16(icmp + 6) != sequence)
        return TEchoAnswer::Other;
    return TEchoAnswer::Reply;
}
