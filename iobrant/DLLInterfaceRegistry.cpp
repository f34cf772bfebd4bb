#include "DLLInterfaceRegistry.h"

#include "CriticalSection.h"
#include "DLLInterface.h"

#include <algorithm>
#include <vector>

namespace {

struct TRegistryState {
    TCriticalSection lock;
    std::vector<TDLLInterface*> adapters;
};

TRegistryState& State()
{
    static TRegistryState state;
    return state;
}

} // namespace

void TDLLInterfaceRegistry::Add(TDLLInterface* adapter)
{
    TRegistryState& state = State();
    TLockGuard guard(state.lock);
    state.adapters.push_back(adapter);
}

void TDLLInterfaceRegistry::Remove(TDLLInterface* adapter)
{
    TRegistryState& state = State();
    TLockGuard guard(state.lock);
    std::erase(state.adapters, adapter);
}

TIntfPtr<TDLLInterface> TDLLInterfaceRegistry::Find(uintptr_t address)
{
    TRegistryState& state = State();
    TLockGuard guard(state.lock);
    // Only the address is compared until it proves to be a registered adapter; the
    // reference is taken under the lock that its destructor must pass to unregister.
    const auto found = std::find_if(state.adapters.begin(), state.adapters.end(), [&](TDLLInterface* adapter) {
        return reinterpret_cast<uintptr_t>(adapter) == address;
    });
    if (found == state.adapters.end() || !(*found)->TryAddRef())
        return nullptr;
    return TIntfPtr<TDLLInterface>::Attach(*found);
}
