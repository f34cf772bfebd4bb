#pragma once
// The arrays and records that describe a Tarvo module's I/O and settings. Element 0 of an
// I/O or counter array is I/O (counter) number 1.
#include <cstdint>
#include <vector>

using TTarvoIOArray = std::vector<bool>;
using TTarvoCounterArray = std::vector<uint32_t>;
// Values in half steps (instruction 0x36).
using ASingle = std::vector<float>;
// Channel numbers of thermostat settings.
using AInteger = std::vector<int32_t>;
// Raw bytes (instruction 0x38).
using AByte = std::vector<uint8_t>;

// One thermostat channel's setting; eight bytes on the wire with the channel first.
struct TTarvoThermostatSetting {
    bool flagA = false;
    uint8_t mode = 0;    // 0-3
    bool flagB = false;
    uint8_t subMode = 0; // 0-15
    float value1 = 0;    // tenths on the wire
    float value2 = 0;    // tenths on the wire
    float value3 = 0;    // halves on the wire
    uint8_t extra = 0;

    friend bool operator==(const TTarvoThermostatSetting&, const TTarvoThermostatSetting&) = default;
};
using ATarvoThermostatSettings = std::vector<TTarvoThermostatSetting>;

// A channel's mode byte (instruction 0x38), taken apart.
struct TTarvoMode {
    uint8_t kind = 0;    // bit 7
    uint8_t mode = 0;    // kind 1: bits 5-6; kind 0: bits 0-1
    uint8_t subMode = 0; // kind 1, mode 1: bits 1-2
    uint8_t flag = 0;    // kind 1, mode 1: bit 0

    friend bool operator==(const TTarvoMode&, const TTarvoMode&) = default;
};
