// Property streams of arbitrary bytes: no crash, every value lies inside the data, and the
// reader always moves on or stops, so walking nested objects ends.
#include <cstdint>
#include <span>
#include <string_view>

#include "FuzzProperty.h"
#include "props/PropertyStream.h"

namespace {

bool Inside(std::string_view part, std::span<const uint8_t> data)
{
    const auto* first = reinterpret_cast<const char*>(data.data());
    return part.empty() || (part.data() >= first && part.data() + part.size() <= first + data.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    TPropertyStream stream(bytes);
    if (!stream.ReadSignature())
        return 0;
    // An object: two names, properties, then child objects; depth counts open objects.
    size_t depth = 0;
    for (;;) {
        if (depth > 0 && stream.ReadListEnd()) {
            --depth;
            continue;
        }
        std::string_view className;
        std::string_view objectName;
        if (!stream.ReadShortString(className) || !stream.ReadShortString(objectName))
            return 0;
        Require(Inside(className, bytes) && Inside(objectName, bytes), "names inside the data");
        ++depth;
        TStreamProperty property;
        TPropertyRead read;
        size_t before = stream.Position();
        while ((read = stream.ReadProperty(property)) == TPropertyRead::Property) {
            Require(stream.Position() > before, "a property consumes bytes");
            Require(!property.name.empty(), "a property has a name");
            Require(Inside(property.name, bytes) && Inside(property.text, bytes), "values inside the data");
            (void)property.WideText();
            before = stream.Position();
        }
        Require(stream.Position() <= size, "position inside the data");
        if (read != TPropertyRead::ListEnd)
            return 0;
    }
}
