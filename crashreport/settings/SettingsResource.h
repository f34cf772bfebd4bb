#pragma once
// Reader of the settings resource ("TZELEXCEPT"): a streamed property list of one object
// "zelExcept" of class "TZelExcept". Reading never passes the resource's end; it stops at an
// unknown type byte, keeping what was read before.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "settings/SettingKinds.h"

// Turns 8-bit text of the system's ANSI code page into UTF-16.
using TAnsiDecoder = UnicodeString (*)(std::string_view text);

struct TParsedSettings {
    bool headerValid = false;
    std::vector<TSettingValue> records;
    std::optional<uint8_t> badType; // the type byte that stopped the reading
    bool truncated = false;         // the data ended inside an entry or before the list's end
};

// Without a decoder, ANSI texts are taken as Latin-1.
TParsedSettings ParseSettingsResource(std::span<const uint8_t> data, TAnsiDecoder decodeAnsi = nullptr);

// "Internal error: Invalid settings resource ($15)."
AnsiString InvalidSettingsResourceText(uint8_t type);
