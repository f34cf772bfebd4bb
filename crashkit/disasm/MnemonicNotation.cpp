#include "MnemonicNotation.h"

namespace {

// The index-th of the fields separated by separator; empty when there are fewer.
std::string_view Field(std::string_view text, char separator, unsigned index) {
  for (unsigned i = 0; i < index; ++i) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) return {};
    text.remove_prefix(at + 1);
  }
  return text.substr(0, text.find(separator));
}

bool Holds(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

}  // namespace

namespace MnemonicNotation {

bool HasAlternatives(std::string_view notation) { return Holds(notation, '/'); }

std::string_view Select(std::string_view notation, bool hasModRm, bool isX87, unsigned reg,
                        bool registerForm, unsigned rm, unsigned alternative) {
  std::string_view name = notation;
  if (hasModRm && Holds(name, '|')) name = Field(name, '|', isX87 && registerForm ? reg + 8 : reg);
  if (Holds(name, '/')) name = Field(name, '/', alternative);
  if (Holds(name, ':')) name = Field(name, ':', registerForm ? 0 : 1);
  if (registerForm && Holds(name, '-')) name = Field(name, '-', rm);
  return name;
}

}  // namespace MnemonicNotation
