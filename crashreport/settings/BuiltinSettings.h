#pragma once
// The built-in settings: what every module's own list lacks is answered from here.
#include <cstdint>
#include <span>
#include <string_view>

#include "settings/SettingKinds.h"

struct TBuiltinSetting {
    const char* name;
    TSettingKind kind;
    bool boolean;
    int32_t integer;
    const char* text; // ANSI; null for an empty text
};

constexpr size_t kBuiltinSettingCount = 137;

std::span<const TBuiltinSetting> BuiltinSettings();
// The record of that name (compared exactly), or null.
const TBuiltinSetting* FindBuiltinSetting(std::string_view name);
