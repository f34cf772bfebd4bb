#include "ConnectionString.h"

#include <algorithm>

namespace {

struct TPairScan {
  std::string_view key;
  std::string_view value;
  size_t stop;  // index of the ";" that ended the pair, or the text size
};

std::string_view StripOuterBraces(std::string_view value) {
  if (value.size() >= 2 && value.front() == '{' && value.back() == '}')
    return value.substr(1, value.size() - 2);
  return value;
}

// Reads one pair starting at `start` (< text size). Braces count only
// after the first "=", so that ";" and "=" inside "{...}" belong to the
// value and text after the closing brace up to the next ";" is ignored.
TPairScan ReadPair(std::string_view text, size_t start) {
  constexpr size_t kUnset = std::string_view::npos;
  size_t split = kUnset;
  size_t valueEnd = kUnset;  // exclusive
  int depth = 0;
  size_t pos = start;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == ';' && depth <= 0) {
      break;
    } else if (c == '=' && split == kUnset) {
      split = pos;
    } else if (c == '{' && split != kUnset) {
      ++depth;
    } else if (c == '}' && split != kUnset) {
      --depth;
      if (depth == 0 && valueEnd == kUnset) valueEnd = pos + 1;
    }
  }
  if (valueEnd == kUnset) valueEnd = pos;

  if (split == kUnset) return {TrimBlanks(text.substr(start, pos - start)), {}, pos};
  return {TrimBlanks(text.substr(start, split - start)),
          StripOuterBraces(TrimBlanks(text.substr(split + 1, valueEnd - split - 1))),
          pos};
}

// A "{" anywhere needs braces too: unbraced, "x{y}z" would read back as
// "x{y}" and "{x}" as "x". With them, every value whose braces pair up
// reads back unchanged.
bool NeedsBraces(std::string_view value) {
  return std::any_of(value.begin(), value.end(),
                     [](char c) { return c == ';' || c == '{' || IsBlank(c); });
}

}  // namespace

TConnectionString::TConnectionString() : TParamSet(false) {}

TConnectionString::TConnectionString(std::string_view text) : TConnectionString() {
  SetText(text);
}

void TConnectionString::SetText(std::string_view text) {
  Clear();
  for (size_t start = 0; start < text.size();) {
    const TPairScan pair = ReadPair(text, start);
    if (!pair.key.empty()) SetValue(pair.key, pair.value);
    start = pair.stop + 1;
  }
}

std::string TConnectionString::GetText() const {
  std::string result;
  for (int i = 0; i < ParamCount(); ++i) {
    if (i > 0) result.push_back(';');
    const std::string value = ValueByIndex(i).value_or(std::string{});
    result.append(NameByIndex(i)).push_back('=');
    if (NeedsBraces(value))
      result.append("{").append(value).append("}");
    else
      result.append(value);
  }
  return result;
}
