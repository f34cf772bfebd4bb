#include "OptionSet.h"

#include <algorithm>

#include "text/CaseFolding.h"
#include "text/TextEdit.h"
#include "text/TextItems.h"

namespace {

// The part after the last "::" of a qualified name.
std::u16string_view Unqualified(std::u16string_view name)
{
    const size_t separator = name.rfind(u"::");
    return separator == std::u16string_view::npos ? name : name.substr(separator + 2);
}

bool ListNamesChain(const std::vector<UnicodeString>& classChain, std::u16string_view list)
{
    const int count = ItemCountW(list, u',');
    for (int index = 1; index <= count; ++index) {
        const UnicodeString name = TrimW(ItemW(list, index, u','));
        if (name.empty())
            continue;
        if (std::any_of(classChain.begin(), classChain.end(), [&](const UnicodeString& cls) {
                return SameTextW(cls, name) || SameTextW(Unqualified(cls), name);
            }))
            return true;
    }
    return false;
}

} // namespace

TOptionSet ChooseOptionSet(const std::vector<UnicodeString>& classChain, std::u16string_view f1Classes,
                           std::u16string_view f2Classes)
{
    if (ListNamesChain(classChain, f1Classes))
        return TOptionSet::F1;
    if (ListNamesChain(classChain, f2Classes))
        return TOptionSet::F2;
    return TOptionSet::Gn;
}

bool ChainHolds(const std::vector<UnicodeString>& classChain, std::u16string_view name)
{
    return std::any_of(classChain.begin(), classChain.end(),
                       [&](const UnicodeString& cls) { return cls == name || Unqualified(cls) == name; });
}
