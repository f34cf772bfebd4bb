// The settings resource reader over any bytes: it must stop at the data's end or a bad type
// without reading past it, whatever the lengths claim. The input is read as it is and behind a
// valid header, so that the entries are reached.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/SettingsResource.h"

namespace {

constexpr uint8_t kHeader[] = {'T', 'P', 'F', '0', 10, 'T', 'Z', 'e', 'l', 'E', 'x', 'c', 'e',
                               'p', 't', 9, 'z', 'e', 'l', 'E', 'x', 'c', 'e', 'p', 't'};

void Check(std::span<const uint8_t> data)
{
    const TParsedSettings parsed = ParseSettingsResource(data);
    if (!parsed.headerValid && !parsed.records.empty())
        __builtin_trap();
    if (parsed.badType)
        InvalidSettingsResourceText(*parsed.badType);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check({data, size});
    std::vector<uint8_t> withHeader(std::begin(kHeader), std::end(kHeader));
    withHeader.insert(withHeader.end(), data, data + size);
    Check(withHeader);
    return 0;
}
