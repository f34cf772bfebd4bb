#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Ordered list of "name=value" lines with typed getters. Names are compared
// exactly or ASCII case-insensitively, as chosen at construction. An absent
// value is std::nullopt; present values are always text.
class TParamSet {
 public:
  explicit TParamSet(bool caseSensitive);

  bool CaseSensitive() const noexcept { return caseSensitive_; }

  // Copies the lines only; the case sensitivity of this set is kept.
  void Assign(const TParamSet& other);
  void Clear() noexcept;

  const std::vector<std::string>& Lines() const noexcept { return lines_; }
  void AddLine(std::string line);

  int ParamCount() const noexcept;
  // First line whose name part equals `name`; -1 when none. A line without
  // "=" has no name part and never matches.
  int IndexOfParam(std::string_view name) const;
  bool HasParam(std::string_view name) const;
  // Empty when the index is out of range or the line has no "=".
  std::string NameByIndex(int index) const;
  // The whole line when it has no "="; nullopt when out of range.
  std::optional<std::string> ValueByIndex(int index) const;

  std::optional<std::string> GetValue(std::string_view name) const;
  std::string GetValueDef(std::string_view name, std::string defaultValue) const;
  // The value with "||" decoded to CR LF and then "/|" to "|"; empty when
  // absent.
  std::string GetText(std::string_view name) const;
  int32_t GetInt(std::string_view name, int32_t defaultValue) const;
  bool GetBool(std::string_view name, bool defaultValue) const;

  // Replaces the first line of that name, or appends one. No encoding: a
  // writer wanting a line break inside a value writes "||" itself.
  void SetValue(std::string_view name, std::string_view value);

 private:
  bool SameName(std::string_view a, std::string_view b) const;

  bool caseSensitive_;
  std::vector<std::string> lines_;
};

// Conversions shared with other text parsers of the library.

// Whole-text conversion to a 32-bit integer: leading spaces, an optional
// sign, then decimal digits or "$"/"0x"/"0X" and hexadecimal digits.
// nullopt when the text does not convert or is outside the int32 range.
std::optional<int32_t> TextToInt32(std::string_view text);

// Whole-text conversion to a boolean: an integer as TextToInt32 reads it
// (nonzero is true) or "true" / "false" in any letter case; nullopt
// otherwise, the empty text included.
std::optional<bool> TextToBool(std::string_view text);

// The same conversions for a value a link's settings give, raising
// EConduvexError "'<text>' is not a valid integer value" (or "... boolean
// value") when the text does not convert.
int32_t SettingToInt32(std::string_view text);
bool SettingToBool(std::string_view text);

// "TRUE" in any letter case or "1", the only texts that switch a link's
// "active" setting on.
bool IsTrueText(std::string_view text);

// A link's settings text split at every ";" into name=value lines of a
// case-insensitive set; values are taken as they stand (no braces, no
// trimming).
TParamSet SplitSettings(std::string_view text);

// Drops leading and trailing characters with codes 0..32 (blanks and
// control characters).
std::string_view TrimBlanks(std::string_view text);

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
