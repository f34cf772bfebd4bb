#include "Calibration.h"

namespace {

constexpr uint32_t kOtherModuleMark = 0x80000000u;

uint32_t Value(std::span<const uint8_t> bytes, size_t index)
{
    const size_t at = index * 4;
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

} // namespace

std::optional<TCalibration> ReadCalibration(std::span<const uint8_t> resource, bool ownModule)
{
    if (resource.size() != kCalibrationSize)
        return std::nullopt;
    const uint32_t first = Value(resource, 0);
    const bool otherModule = (first & kOtherModuleMark) != 0;
    if (otherModule == ownModule)
        return std::nullopt;
    return TCalibration{first & ~kOtherModuleMark, Value(resource, 1), Value(resource, 2), Value(resource, 3),
                        Value(resource, 4), otherModule};
}
