// The resource directory of any bytes taken as a PE file: every entry and offset the data
// claims is checked by the reads, so nothing is read outside the data and no walk runs away.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/PeResources.h"
#include "settings/SettingsResource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TBufferReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return 0;
    const TFileImage image(reader, 0, *headers);
    const auto resource = FindResourceData(image, kRcDataType, u"TZELEXCEPT");
    if (resource)
        ParseSettingsResource({reinterpret_cast<const uint8_t*>(resource->data()), resource->size()});
    return 0;
}
