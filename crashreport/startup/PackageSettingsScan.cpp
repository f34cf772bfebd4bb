#include "PackageSettingsScan.h"

#include <algorithm>

namespace {

constexpr size_t kUnsearchedTail = 16;
constexpr uint8_t kTrueBoolean = 0x09;

} // namespace

bool ResourceSettingTrue(std::span<const uint8_t> resource, std::string_view name)
{
    if (name.empty() || resource.size() <= kUnsearchedTail)
        return false;
    const std::span<const uint8_t> searched = resource.first(resource.size() - kUnsearchedTail);
    for (auto at = searched.begin();; ++at) {
        at = std::search(at, searched.end(), name.begin(), name.end(),
                         [](uint8_t byte, char wanted) { return byte == static_cast<uint8_t>(wanted); });
        if (at == searched.end())
            return false;
        const auto after = at + static_cast<std::ptrdiff_t>(name.size());
        if (after != searched.end() && *after == kTrueBoolean)
            return true;
    }
}
