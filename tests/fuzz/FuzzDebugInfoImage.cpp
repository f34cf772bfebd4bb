// A module image's headers and resource tree as the debug-information reader walks them: the
// code and data layout, and the own debug-information resource.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "debuginfo/ModuleLayout.h"
#include "debuginfo/ResourceLookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TBufferReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::optional<TPeHeaders> headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return 0;
    const TFileImage image(reader, 0, *headers);
    ReadModuleLayout(image, 0x400000);
    PreferredImageBase(image);
    FindResourceData(image, u"ZEL", u"EXCEPT");
    FindResourceData(image, u"#10", u"TZELEXCEPT");
    return 0;
}
