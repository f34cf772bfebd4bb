#pragma once
// What one setting holds, and its value as read.
#include <cstdint>
#include <string>

#include "text/ZelTypes.h"

// Stored as a byte in the records shared between the library's copies.
enum class TSettingKind : uint8_t { Text = 0, Integer = 1, Boolean = 2 };

struct TSettingValue {
    std::string name;
    TSettingKind kind = TSettingKind::Boolean;
    bool boolean = false;
    int32_t integer = 0;
    UnicodeString text;
};
