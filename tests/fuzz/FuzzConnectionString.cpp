// Parses arbitrary text, prints it and parses the print again.
//
// Checked for every input:
//  - every stored key is non-empty, has no blank at either end, holds no
//    ";" or "=", and no two keys are equal ignoring ASCII case;
//  - when every value's braces pair up (scanning left to right the count of
//    "}" never exceeds the count of "{" before it, and both counts end
//    equal), the reparsed set has exactly the same lines in the same order.
// Values with unpaired braces cannot always be written back ("}{{x;y"
// followed by another pair has no spelling that reads back), so the round
// trip is not claimed for them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ConnectionString.h"

namespace {

void Require(bool condition, const char* what, std::string_view input) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\ninput: [%.*s]\n", what,
               static_cast<int>(input.size()), input.data());
  std::abort();
}

bool BracesPairUp(std::string_view value) {
  int depth = 0;
  for (const char c : value) {
    if (c == '{') ++depth;
    if (c == '}' && --depth < 0) return false;
  }
  return depth == 0;
}

bool KeyIsWellFormed(std::string_view key) {
  return !key.empty() && TrimBlanks(key) == key && key.find_first_of(";=") == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const TConnectionString parsed(input);

  bool allValuesPairUp = true;
  for (int i = 0; i < parsed.ParamCount(); ++i) {
    const std::string key = parsed.NameByIndex(i);
    Require(KeyIsWellFormed(key), "key is malformed", input);
    Require(parsed.IndexOfParam(key) == i, "key is duplicated", input);
    allValuesPairUp = allValuesPairUp && BracesPairUp(parsed.ValueByIndex(i).value_or(""));
  }

  const std::string printed = parsed.GetText();
  const TConnectionString reparsed(printed);
  if (allValuesPairUp)
    Require(reparsed.Lines() == parsed.Lines(), "print and reparse changed the set", input);
  return 0;
}
