#pragma once
// The calibration a module may carry (resource "ZEL"/"CALIBRATE"): five 32-bit values for its
// optional header. The high bit of the first marks a module other than the library's own.
#include <cstdint>
#include <optional>
#include <span>

struct TCalibration {
    uint32_t codeStart;
    uint32_t dataStart;
    uint32_t sizeOfCode;
    uint32_t sizeOfInitializedData;
    uint32_t sizeOfUninitializedData;
    bool otherModule;
};

inline constexpr size_t kCalibrationSize = 20;

// None unless exactly 20 bytes, or when the mark does not fit the module it was found in.
std::optional<TCalibration> ReadCalibration(std::span<const uint8_t> resource, bool ownModule);
