#include "ResultCodes.h"

#include <algorithm>

std::string_view ResultCodeText(uint32_t code) {
  const auto entry =
      std::find_if(kResultCodeTable.begin(), kResultCodeTable.end(),
                   [code](const TResultCodeEntry& e) { return e.code == code; });
  return entry == kResultCodeTable.end() ? std::string_view{} : entry->text;
}
