#pragma once
// The contact form's checks and results on the user's e-mail address.
#include <optional>
#include <string_view>

#include "text/ZelTypes.h"

// One "@" (not first), at least one "." after it (not right after it), no "." at either
// end, no blanks around it, and otherwise only ASCII letters, digits, "'", "+", "-", "_".
bool IsValidEmail(std::u16string_view address);

// The sender a report goes out as: "name <address>", or the address alone without a name;
// nothing without an address.
std::optional<UnicodeString> ContactMailFrom(std::u16string_view name, std::u16string_view address);
