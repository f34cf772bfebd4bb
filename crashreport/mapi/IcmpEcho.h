#pragma once
// The echo request of the reachability test and the check of what comes back.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kEchoRequestSize = 32;
// What one receive takes: an IP header with options and more than the request.
constexpr size_t kEchoReceiveSize = 1044;

// Type 8, code 0, checksum, identifier and sequence (in network order), then six words
// 0xDEADBEEF.
std::array<uint8_t, kEchoRequestSize> EchoRequest(uint16_t identifier, uint16_t sequence);

// Ones' complement of the sum of the 16-bit words, its carry folded in.
uint16_t InternetChecksum(const uint8_t* data, size_t length);

enum class TEchoAnswer {
    Reply,   // the echo reply to our request
    Other,   // some other packet: keep waiting
    Invalid, // too short for an IP header and our request: give up
};

// A packet as a raw socket receives it, IP header first.
TEchoAnswer ClassifyEchoAnswer(const uint8_t* packet, size_t length, uint16_t identifier, uint16_t sequence);
