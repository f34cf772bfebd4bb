#pragma once

#include <string>
#include <string_view>

#include "ParamSet.h"

// A case-insensitive parameter set read from and written as the text
// "key=value;key={value;with;separators};...".
class TConnectionString : public TParamSet {
 public:
  TConnectionString();
  explicit TConnectionString(std::string_view text);

  // Replaces the content by the pairs of `text`. Never fails: malformed
  // braces just extend a value; pairs with an empty key are skipped; a
  // repeated key replaces the earlier value in place.
  void SetText(std::string_view text);
  // Pairs joined by ";"; a value that contains ";", "{" or a blank is
  // written inside braces. Reading the text back gives the same lines
  // whenever every value's braces pair up ("}" never closes more than was
  // opened, and all are closed).
  std::string GetText() const;
  using TParamSet::GetText;
};
