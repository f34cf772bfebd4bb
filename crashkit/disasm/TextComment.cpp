#include "TextComment.h"

#include <cstdint>

namespace {

bool EndsText(std::uint8_t byte) { return byte == 0 || byte == 10 || byte == 12; }

bool IsPlain(std::uint8_t byte) {
  return byte == ' ' || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool IsSeparator(std::uint8_t byte) { return byte == ',' || byte == '.' || byte == ':' || byte == '\\'; }

}  // namespace

std::optional<std::string> TextAt(const ICodeReader& reader, CodeAddress address) {
  std::string text;
  unsigned plain = 0, separators = 0, punctuation = 0, other = 0;
  for (unsigned i = 0; i < kTextCommentLength; ++i) {
    std::uint8_t byte;
    if (!reader.Read(address + i, &byte, 1) || EndsText(byte)) break;
    if (IsPlain(byte))
      ++plain;
    else if (IsSeparator(byte))
      ++separators;
    else if (byte >= '!' && byte <= ']')
      ++punctuation;
    else if (byte < 32)
      return std::nullopt;
    else
      ++other;
    text += static_cast<char>(byte);
  }
  const bool looksLikeText = text.size() >= 4 && 2 * plain > 5 * separators &&
                             plain + separators / 2 > 8 * punctuation &&
                             plain + separators / 2 + punctuation / 4 > 10 * other;
  if (!looksLikeText) return std::nullopt;
  return text;
}
