#include "RuntimeRoutines.h"

#include <algorithm>
#include <array>

namespace {

struct TRoleName {
    std::u16string_view name;
    TRuntimeRole role;
};

// GCC's C++ runtime and unwinder (the DWARF, SJLJ and SEH flavours), the library's own wrappers
// of the throw, and the system's routines on the way from a raise or a message to the code.
constexpr std::array<TRoleName, 33> kRoutines = {{
    {u"__cxa_throw", TRuntimeRole::Raises},
    {u"__cxa_rethrow", TRuntimeRole::Raises},
    {u"__wrap___cxa_throw", TRuntimeRole::Raises},
    {u"__wrap___cxa_rethrow", TRuntimeRole::Raises},
    {u"__cxa_throw_bad_array_new_length", TRuntimeRole::Raises},
    {u"__cxa_bad_cast", TRuntimeRole::Raises},
    {u"__cxa_bad_typeid", TRuntimeRole::Raises},
    {u"std::rethrow_exception", TRuntimeRole::Raises},
    {u"_Unwind_RaiseException", TRuntimeRole::Raises},
    {u"_Unwind_Resume", TRuntimeRole::Raises},
    {u"_Unwind_Resume_or_Rethrow", TRuntimeRole::Raises},
    {u"_Unwind_SjLj_RaiseException", TRuntimeRole::Raises},
    {u"_Unwind_SjLj_Resume", TRuntimeRole::Raises},
    {u"_Unwind_SjLj_Resume_or_Rethrow", TRuntimeRole::Raises},
    {u"RaiseException", TRuntimeRole::Raises},
    {u"RtlRaiseException", TRuntimeRole::Raises},
    {u"__gxx_personality_v0", TRuntimeRole::Dispatches},
    {u"__gxx_personality_sj0", TRuntimeRole::Dispatches},
    {u"__gxx_personality_seh0", TRuntimeRole::Dispatches},
    {u"_GCC_specific_handler", TRuntimeRole::Dispatches},
    {u"__cxa_begin_catch", TRuntimeRole::Dispatches},
    {u"__cxa_end_catch", TRuntimeRole::Dispatches},
    {u"__cxa_call_terminate", TRuntimeRole::Dispatches},
    {u"__cxa_call_unexpected", TRuntimeRole::Dispatches},
    {u"std::terminate", TRuntimeRole::Dispatches},
    {u"KiUserExceptionDispatcher", TRuntimeRole::Dispatches},
    {u"KiUserCallbackDispatcher", TRuntimeRole::Dispatches},
    {u"RtlUnwind", TRuntimeRole::Dispatches},
    {u"DispatchMessageW", TRuntimeRole::Dispatches},
    {u"DispatchMessageA", TRuntimeRole::Dispatches},
    {u"CallWindowProcW", TRuntimeRole::Dispatches},
    {u"CallWindowProcA", TRuntimeRole::Dispatches},
    {u"SendMessageW", TRuntimeRole::Dispatches},
}};

// The C++ runtime's helpers that raise its standard exceptions.
constexpr std::array<std::u16string_view, 2> kRaisingPrefixes = {u"std::__throw_", u"__gnu_cxx::__throw_"};

void Insert(std::vector<CodeAddress>& sorted, CodeAddress start)
{
    const auto at = std::lower_bound(sorted.begin(), sorted.end(), start);
    if (at == sorted.end() || *at != start)
        sorted.insert(at, start);
}

bool Holds(const std::vector<CodeAddress>& sorted, CodeAddress start)
{
    return start != 0 && std::binary_search(sorted.begin(), sorted.end(), start);
}

} // namespace

TRuntimeRole RuntimeRoleOf(std::u16string_view name)
{
    name = name.substr(0, name.find(u'('));
    for (const TRoleName& routine : kRoutines) {
        if (routine.name == name)
            return routine.role;
    }
    for (const std::u16string_view prefix : kRaisingPrefixes) {
        if (name.starts_with(prefix))
            return TRuntimeRole::Raises;
    }
    return TRuntimeRole::None;
}

void TKnownRuntime::Add(CodeAddress start, TRuntimeRole role)
{
    if (start == 0 || role == TRuntimeRole::None)
        return;
    Insert(routines_, start);
    if (role == TRuntimeRole::Raises)
        Insert(walk_.raising, start);
}

bool TKnownRuntime::Raises(CodeAddress start) const
{
    return walk_.Raises(start) && start != 0;
}

bool TKnownRuntime::IsRoutine(CodeAddress start) const
{
    return Holds(routines_, start);
}

TKnownRuntime FindKnownRuntime(const ICodeNamer& namer)
{
    TKnownRuntime runtime;
    namer.ForEachFunction([&runtime](std::u16string_view name, TItemAddress start) {
        if (start <= UINT32_MAX)
            runtime.Add(static_cast<CodeAddress>(start), RuntimeRoleOf(name));
    });
    return runtime;
}
