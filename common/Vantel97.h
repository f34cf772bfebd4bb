#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ConduvexError.h"

// Vantel format 97 frame, multi-byte values high byte first:
//   "*" "a" LEN(2) address signature instruction data(L) checksum CR
// with LEN = L + 5, so the whole frame is LEN + 4 = L + 9 bytes.
// Byte strings are std::string holding raw 8-bit bytes.

constexpr uint8_t kVantelPrefix = '*';
constexpr uint8_t kVantelFormat97 = 'a';
constexpr uint8_t kVantelEnd = 0x0D;
constexpr size_t kVantelMaxData = 65530;
constexpr size_t kVantelMinFrame = 9;

struct TVantelFormat97 {
  uint8_t prefix = 0;
  uint8_t format = 0;
  uint16_t length = 0;  // LEN as carried by the frame
  uint8_t address = 0;
  uint8_t signature = 0;
  uint8_t instruction = 0;  // acknowledgement code in an answer
  std::string data;
  uint8_t checksum = 0;  // as received
  uint8_t end = 0;       // as received

  bool operator==(const TVantelFormat97&) const = default;
};

class EVantelPacketError : public EConduvexError {
 public:
  EVantelPacketError() : EConduvexError("Incorrect PACKET (Vantel format 97)!") {}
};

// 255 minus the 8-bit sum of the bytes.
uint8_t VantelChecksum(std::string_view bytes);

// Throws std::range_error when data exceeds kVantelMaxData bytes.
std::string BuildVantel97(uint8_t address, uint8_t signature, uint8_t instruction,
                          std::string_view data);

// Splits a frame into its fields without judging prefix, format, checksum or
// end byte (CheckVantel97 does that). Throws EVantelPacketError when the
// frame is shorter than 9 bytes or than its LEN + 4.
TVantelFormat97 ParseVantel97(std::string_view frame);

// Validity of a whole frame; the first failing test wins.
enum : uint16_t {
  kVantelCheckOk = 0,
  kVantelCheckTooShort = 1,  // fewer than 8 bytes
  kVantelCheckBadPrefix = 2,
  kVantelCheckBadFormat = 3,
  kVantelCheckBadLength = 4,  // size - 4 differs from LEN
  kVantelCheckBadChecksum = 5,
  kVantelCheckBadEnd = 6,
};
uint16_t CheckVantel97(std::string_view frame);

// Length (LEN + 4) of the frame at the start of `buffer` once it is all
// there; 0 when the buffer is shorter or does not start with "*a". Neither
// checksum nor end byte are looked at.
uint32_t Vantel97FrameLength(std::string_view buffer);
