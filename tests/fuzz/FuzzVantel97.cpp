// Runs the Vantel 97 routines on arbitrary bytes and on a frame built from
// fuzzer-chosen fields, and checks how their answers relate.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzProperty.h"
#include "Vantel97.h"

namespace {

uint8_t At(std::string_view bytes, size_t index) { return static_cast<uint8_t>(bytes[index]); }

// Properties of the three readers on any input.
void CheckReaders(std::string_view input) {
  const uint16_t check = CheckVantel97(input);
  const uint32_t frameLength = Vantel97FrameLength(input);
  Require(check <= kVantelCheckBadEnd, "check code out of range");

  if (frameLength != 0) {
    Require(frameLength >= 4 && frameLength <= input.size(), "frame length beyond buffer");
    Require(At(input, 0) == kVantelPrefix && At(input, 1) == kVantelFormat97,
            "frame length without marks");
    const std::string_view frame = input.substr(0, frameLength);
    Require(Vantel97FrameLength(frame) == frameLength, "frame length not stable");
    const uint16_t frameCheck = CheckVantel97(frame);
    Require(frameCheck == kVantelCheckOk || frameCheck == kVantelCheckTooShort ||
                frameCheck == kVantelCheckBadChecksum || frameCheck == kVantelCheckBadEnd,
            "complete frame fails a header test");
  }
  // A good frame is exactly LEN + 4 bytes that start with the marks.
  if (check == kVantelCheckOk)
    Require(frameLength == input.size(), "good frame with another length");

  bool parsed = false;
  TVantelFormat97 packet;
  try {
    packet = ParseVantel97(input);
    parsed = true;
  } catch (const EVantelPacketError&) {
  }
  if (parsed) {
    Require(input.size() >= kVantelMinFrame, "parsed a short frame");
    Require(input.size() >= size_t{packet.length} + 4, "parsed beyond the buffer");
    Require(packet.data.size() == (packet.length > 5 ? packet.length - 5u : 0u), "data size");
    Require(packet.checksum == At(input, packet.length + 2u) && packet.end == At(input, packet.length + 3u),
            "trailer position");
  } else {
    const bool longEnough = input.size() >= kVantelMinFrame &&
                            input.size() >= ((size_t{At(input, 2)} << 8 | At(input, 3)) + 4);
    Require(!longEnough, "refused a frame long enough to parse");
  }
  // A good frame of 9 bytes or more is exactly what the builder makes of its fields.
  if (check == kVantelCheckOk && input.size() >= kVantelMinFrame) {
    Require(parsed, "good frame not parsed");
    Require(BuildVantel97(packet.address, packet.signature, packet.instruction, packet.data) == input,
            "good frame differs from rebuilt frame");
  }
}

// A built frame checks good, measures its own size and parses back.
void CheckBuilder(std::string_view input) {
  if (input.size() < 3) return;
  const std::string_view data = input.substr(3);
  const std::string frame = BuildVantel97(At(input, 0), At(input, 1), At(input, 2), data);
  Require(frame.size() == data.size() + 9, "built frame size");
  Require(CheckVantel97(frame) == kVantelCheckOk, "built frame does not check");
  Require(Vantel97FrameLength(frame) == frame.size(), "built frame length");
  const TVantelFormat97 packet = ParseVantel97(frame);
  Require(packet.prefix == kVantelPrefix && packet.format == kVantelFormat97 &&
              packet.length == data.size() + 5 && packet.address == At(input, 0) &&
              packet.signature == At(input, 1) && packet.instruction == At(input, 2) &&
              packet.data == data && packet.end == kVantelEnd,
          "built frame parses to other fields");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckReaders(input);
  if (size <= kVantelMaxData + 3) CheckBuilder(input);
  return 0;
}
