#pragma once
// How a module's settings resource is read before the settings are loaded: a setting is taken as
// true when its name is followed by the type byte of a true boolean.
#include <cstdint>
#include <span>
#include <string_view>

// Searches every byte but the last 16 of the resource.
bool ResourceSettingTrue(std::span<const uint8_t> resource, std::string_view name);
