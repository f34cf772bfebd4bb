// A module's export table as the stack tracer names code without debug information from it:
// any image gives a table, and every code address its nearest export, the entry point or none.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "ExportTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TBufferReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::optional<TPeHeaders> headers = ReadPeHeaders(reader, 0);
    if (!headers)
        return 0;
    const TFileImage image(reader, 0, *headers);
    TModuleLayout layout;
    layout.codeStart = 0x1000;
    layout.codeEnd = 0x40000;
    layout.entryPoint = 0x2000;
    const TExportTable table(image, 0, layout);
    for (uint64_t address = 0; address < layout.codeEnd + 0x1000; address += 0x3F1)
        table.FunctionAt(address);
    return 0;
}
