// Wizard form resources of arbitrary bytes: no crash or hang; a form read to its end names
// only item classes the engine knows, and a bad type byte is one the stream does not define.
#include <cstdint>
#include <span>

#include "FuzzProperty.h"
#include "wizard/FormSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TFormSource form = ParseFormSource(std::span<const uint8_t>(data, size));
    if (form.end == TFormSourceEnd::NoSignature)
        Require(form.items.empty() && form.properties.empty(), "nothing read without the signature");
    if (form.end == TFormSourceEnd::BadType) {
        for (const int known : {2, 3, 4, 6, 7, 8, 9, 12, 18, 20})
            Require(form.badType != known, "a known type is never bad");
    }
    for (const TItemSource& item : form.items)
        Require(item.name != u"AbortBtn", "AbortBtn is read as CancelBtn");
    (void)BadResourceMessage(form.badType);
    return 0;
}
