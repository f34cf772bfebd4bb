#include "binding/DLLInterfaceRegistry.h"

#include "CriticalSection.h"
#include "binding/DLLInterface.h"

#include <algorithm>
#include <vector>

namespace {

struct TRegistryState {
    TCriticalSection lock;
    std::vector<TDLLInterface*> adapters;
    uint32_t lastKey = 0;
};

TRegistryState& State()
{
    static TRegistryState state;
    return state;
}

} // namespace

uint32_t TDLLInterfaceRegistry::NewKey()
{
    TRegistryState& state = State();
    TLockGuard guard(state.lock);
    // Keys count up; after a wrap a key still held by a live adapter is passed over.
    const auto taken = [&](uint32_t key) {
        return std::any_of(state.adapters.begin(), state.adapters.end(),
                           [key](TDLLInterface* adapter) { return adapter->RegistryKey() == key; });
    };
    do
        ++state.lastKey;
    while (state.lastKey == 0 || taken(state.lastKey));
    return state.lastKey;
}

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

TIntfPtr<TDLLInterface> TDLLInterfaceRegistry::Find(uint32_t key)
{
    TRegistryState& state = State();
    TLockGuard guard(state.lock);
    // The reference is taken under the lock that the adapter's destructor must pass to
    // unregister.
    const auto found = std::find_if(state.adapters.begin(), state.adapters.end(), [&](TDLLInterface* adapter) {
        return adapter->RegistryKey() == key;
    });
    if (found == state.adapters.end() || !(*found)->TryAddRef())
        return nullptr;
    return TIntfPtr<TDLLInterface>::Attach(*found);
}
