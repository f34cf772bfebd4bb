#include "capture/win/ClassChain.h"

#include <cxxabi.h>

#include <algorithm>

#include "capture/win/RaiseRecord.h"
#include "engine/win/LiveObjectCheck.h"
#include "text/CaseFolding.h"

namespace {

void AddWithBases(const std::type_info* type, std::vector<const std::type_info*>& chain)
{
    if (!type || std::find(chain.begin(), chain.end(), type) != chain.end())
        return;
    chain.push_back(type);
    if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(type)) {
        AddWithBases(single->__base_type, chain);
    } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(type)) {
        for (unsigned i = 0; i < multiple->__base_count; ++i)
            AddWithBases(multiple->__base_info[i].__base_type, chain);
    }
}

std::string_view Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view Unqualified(std::string_view name)
{
    const size_t colons = name.rfind("::");
    return colons == std::string_view::npos ? name : name.substr(colons + 2);
}

// Calls visit for every non-empty name of the list until it returns true.
template <class Visit>
bool AnyName(std::string_view names, Visit&& visit)
{
    while (!names.empty()) {
        const size_t comma = names.find(',');
        const std::string_view name = Trimmed(names.substr(0, comma));
        if (!name.empty() && visit(name))
            return true;
        if (comma == std::string_view::npos)
            break;
        names.remove_prefix(comma + 1);
    }
    return false;
}

} // namespace

std::vector<AnsiString> ThrownClassChain(const std::type_info* type)
{
    std::vector<const std::type_info*> chain;
    AddWithBases(type, chain);
    std::vector<AnsiString> names;
    for (const std::type_info* each : chain)
        names.push_back(ThrownClassName(each));
    return names;
}

bool ClassMatchesList(const std::type_info* type, std::string_view names)
{
    const std::vector<AnsiString> chain = ThrownClassChain(type);
    return AnyName(names, [&chain](std::string_view wanted) {
        return std::any_of(chain.begin(), chain.end(), [wanted](const AnsiString& name) {
            return SameTextA(name, wanted) || SameTextA(Unqualified(name), wanted);
        });
    });
}

bool RuntimeObjectMatchesList(const void* object, std::string_view names)
{
    return object && AnyName(names, [object](std::string_view wanted) {
               return IsValidObject(object, wanted).has_value();
           });
}
