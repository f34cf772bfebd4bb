#include "ClassChain.h"

#include <cxxabi.h>

#include "capture/win/RaiseRecord.h"
#include "settings/win/DualText.h"

namespace {

void AddWithBases(const std::type_info* type, std::vector<UnicodeString>& chain)
{
    if (!type)
        return;
    chain.push_back(SystemAnsiToWide(ThrownClassName(type)));
    if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(type)) {
        AddWithBases(single->__base_type, chain);
    } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(type)) {
        for (unsigned index = 0; index < multiple->__base_count; ++index)
            AddWithBases(multiple->__base_info[index].__base_type, chain);
    }
}

} // namespace

std::vector<UnicodeString> ClassChainOf(const std::type_info* type)
{
    std::vector<UnicodeString> chain;
    AddWithBases(type, chain);
    return chain;
}
