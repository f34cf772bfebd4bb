#include "ParamSet.h"

#include "ConduvexError.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

constexpr char kSeparator = '=';

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLowerText(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), AsciiLower);
  return result;
}

std::string ReplaceAll(std::string_view text, std::string_view from,
                       std::string_view to) {
  std::string result;
  size_t pos = 0;
  for (size_t hit = text.find(from); hit != std::string_view::npos;
       hit = text.find(from, pos)) {
    result.append(text.substr(pos, hit - pos)).append(to);
    pos = hit + from.size();
  }
  result.append(text.substr(pos));
  return result;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = AsciiLower(c);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// Strips a "$", "0x" or "0X" prefix; returns the radix it announced.
int TakeRadix(std::string_view& text) {
  if (!text.empty() && text.front() == '$') {
    text.remove_prefix(1);
    return 16;
  }
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    return 16;
  }
  return 10;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<int32_t> TextToInt32(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const int radix = TakeRadix(text);
  if (text.empty()) return std::nullopt;

  // One past INT32_MAX is allowed for the negative side only.
  const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + (negative ? 1 : 0);
  int64_t magnitude = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || digit >= radix) return std::nullopt;
    magnitude = magnitude * radix + digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::optional<bool> TextToBool(std::string_view text) {
  if (const std::optional<int32_t> number = TextToInt32(text)) return *number != 0;
  const std::string word = AsciiLowerText(text);
  if (word == "true") return true;
  if (word == "false") return false;
  return std::nullopt;
}

int32_t SettingToInt32(std::string_view text) {
  if (const std::optional<int32_t> number = TextToInt32(text)) return *number;
  throw EConduvexError("'" + std::string(text) + "' is not a valid integer value");
}

bool SettingToBool(std::string_view text) {
  if (const std::optional<bool> value = TextToBool(text)) return *value;
  throw EConduvexError("'" + std::string(text) + "' is not a valid boolean value");
}

bool IsTrueText(std::string_view text) { return AsciiLowerText(text) == "true" || text == "1"; }

TParamSet SplitSettings(std::string_view text) {
  TParamSet settings(false);
  for (;;) {
    const size_t end = text.find(';');
    settings.AddLine(std::string(text.substr(0, end)));
    if (end == std::string_view::npos) return settings;
    text.remove_prefix(end + 1);
  }
}

TParamSet::TParamSet(bool caseSensitive) : caseSensitive_(caseSensitive) {}

void TParamSet::Assign(const TParamSet& other) {
  if (&other != this) lines_ = other.lines_;
}

void TParamSet::Clear() noexcept { lines_.clear(); }

void TParamSet::AddLine(std::string line) { lines_.push_back(std::move(line)); }

int TParamSet::ParamCount() const noexcept { return static_cast<int>(lines_.size()); }

bool TParamSet::SameName(std::string_view a, std::string_view b) const {
  if (caseSensitive_) return a == b;
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

int TParamSet::IndexOfParam(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string_view line = lines_[i];
    const size_t separator = line.find(kSeparator);
    if (separator != std::string_view::npos && SameName(line.substr(0, separator), name))
      return static_cast<int>(i);
  }
  return -1;
}

bool TParamSet::HasParam(std::string_view name) const { return IndexOfParam(name) >= 0; }

std::string TParamSet::NameByIndex(int index) const {
  if (index < 0 || index >= ParamCount()) return {};
  const std::string& line = lines_[static_cast<size_t>(index)];
  const size_t separator = line.find(kSeparator);
  return separator == std::string::npos ? std::string{} : line.substr(0, separator);
}

std::optional<std::string> TParamSet::ValueByIndex(int index) const {
  if (index < 0 || index >= ParamCount()) return std::nullopt;
  const std::string& line = lines_[static_cast<size_t>(index)];
  const size_t separator = line.find(kSeparator);
  return separator == std::string::npos ? line : line.substr(separator + 1);
}

std::optional<std::string> TParamSet::GetValue(std::string_view name) const {
  const int index = IndexOfParam(name);
  if (index < 0) return std::nullopt;
  return ValueByIndex(index);
}

std::string TParamSet::GetValueDef(std::string_view name, std::string defaultValue) const {
  return GetValue(name).value_or(std::move(defaultValue));
}

std::string TParamSet::GetText(std::string_view name) const {
  const std::string raw = GetValue(name).value_or(std::string{});
  return ReplaceAll(ReplaceAll(raw, "||", "\r\n"), "/|", "|");
}

int32_t TParamSet::GetInt(std::string_view name, int32_t defaultValue) const {
  const std::optional<std::string> value = GetValue(name);
  if (!value) return defaultValue;
  return TextToInt32(*value).value_or(defaultValue);
}

bool TParamSet::GetBool(std::string_view name, bool defaultValue) const {
  const std::optional<std::string> value = GetValue(name);
  if (!value) return defaultValue;
  const std::string text = AsciiLowerText(TrimBlanks(*value));
  if (text.empty()) return defaultValue;
  if (const std::optional<int32_t> number = TextToInt32(text)) return *number != 0;
  switch (text.front()) {
    case '0': case 'f': case 'n':
      return false;
    case '1': case 'a': case 't': case 'y':
      return true;
    default:
      return defaultValue;
  }
}

void TParamSet::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfParam(name);
  if (index < 0) {
    lines_.emplace_back();
    index = ParamCount() - 1;
  }
  std::string& line = lines_[static_cast<size_t>(index)];
  line.assign(name).push_back(kSeparator);
  line.append(value);
}
