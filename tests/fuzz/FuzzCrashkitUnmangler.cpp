// The name unmangler on arbitrary names, in both widths: no crash, names without the mark
// stay unchanged, and both widths agree on ASCII input.
#include <cstdint>
#include <string>

#include "FuzzProperty.h"
#include "text/Unmangler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string original(reinterpret_cast<const char*>(data), size);
    std::string name = original;
    std::string unit = "stale";
    const bool changed = UnmangleNameA(name, unit);
    Require(changed == (!original.empty() && original[0] == '@'), "result does not follow the mark");
    if (!changed)
        Require(name == original && unit.empty(), "name without the mark changed");
    else
        Require(name.empty() || name.back() != '.', "name ends in a dot");

    bool ascii = true;
    for (const char c : original)
        ascii = ascii && static_cast<unsigned char>(c) < 128;
    if (ascii) {
        std::u16string wide(original.begin(), original.end());
        std::u16string wideUnit;
        Require(UnmangleNameW(wide, wideUnit) == changed, "widths disagree on the result");
        Require(wide == std::u16string(name.begin(), name.end()) &&
                    wideUnit == std::u16string(unit.begin(), unit.end()),
                "widths disagree on the name");
    }
    return 0;
}
