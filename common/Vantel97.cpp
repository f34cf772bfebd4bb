#include "Vantel97.h"

#include <stdexcept>

namespace {

uint8_t ByteAt(std::string_view bytes, size_t index) {
  return static_cast<uint8_t>(bytes[index]);
}

uint16_t CarriedLength(std::string_view frame) {
  return static_cast<uint16_t>(ByteAt(frame, 2) << 8 | ByteAt(frame, 3));
}

bool StartsWithMarks(std::string_view bytes) {
  return ByteAt(bytes, 0) == kVantelPrefix && ByteAt(bytes, 1) == kVantelFormat97;
}

}  // namespace

uint8_t VantelChecksum(std::string_view bytes) {
  uint8_t sum = 0;
  for (const char b : bytes) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(b));
  return static_cast<uint8_t>(255 - sum);
}

std::string BuildVantel97(uint8_t address, uint8_t signature, uint8_t instruction,
                          std::string_view data) {
  if (data.size() > kVantelMaxData) throw std::range_error("Range check error");
  const size_t len = data.size() + 5;
  std::string frame;
  frame.reserve(len + 4);
  for (const uint8_t b : {kVantelPrefix, kVantelFormat97, static_cast<uint8_t>(len >> 8),
                          static_cast<uint8_t>(len & 0xFF), address, signature, instruction})
    frame.push_back(static_cast<char>(b));
  frame.append(data);
  frame.push_back(static_cast<char>(VantelChecksum(frame)));
  frame.push_back(static_cast<char>(kVantelEnd));
  return frame;
}

TVantelFormat97 ParseVantel97(std::string_view frame) {
  if (frame.size() < kVantelMinFrame) throw EVantelPacketError();
  TVantelFormat97 packet;
  packet.length = CarriedLength(frame);
  // The checksum sits at LEN + 2 and the end byte at LEN + 3 (0-based).
  if (size_t{packet.length} + 3 >= frame.size()) throw EVantelPacketError();
  packet.prefix = ByteAt(frame, 0);
  packet.format = ByteAt(frame, 1);
  packet.address = ByteAt(frame, 4);
  packet.signature = ByteAt(frame, 5);
  packet.instruction = ByteAt(frame, 6);
  if (packet.length > 5) packet.data = std::string(frame.substr(7, packet.length - 5));
  packet.checksum = ByteAt(frame, packet.length + 2);
  packet.end = ByteAt(frame, packet.length + 3);
  return packet;
}

uint16_t CheckVantel97(std::string_view frame) {
  if (frame.size() < 8) return kVantelCheckTooShort;
  if (ByteAt(frame, 0) != kVantelPrefix) return kVantelCheckBadPrefix;
  if (ByteAt(frame, 1) != kVantelFormat97) return kVantelCheckBadFormat;
  if (frame.size() - 4 != CarriedLength(frame)) return kVantelCheckBadLength;
  if (VantelChecksum(frame.substr(0, frame.size() - 2)) != ByteAt(frame, frame.size() - 2))
    return kVantelCheckBadChecksum;
  if (ByteAt(frame, frame.size() - 1) != kVantelEnd) return kVantelCheckBadEnd;
  return kVantelCheckOk;
}

uint32_t Vantel97FrameLength(std::string_view buffer) {
  if (buffer.size() < 4 || !StartsWithMarks(buffer)) return 0;
  const uint32_t frameLength = uint32_t{CarriedLength(buffer)} + 4;
  return buffer.size() < frameLength ? 0 : frameLength;
}
