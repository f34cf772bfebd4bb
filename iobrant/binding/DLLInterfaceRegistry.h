#pragma once
// The adapters alive in the process. Conduvex notifies with a bare 32-bit value (callback
// user data, window value) that may name an adapter already being freed; the registry
// gives each adapter a key of its own for that value (a pointer does not fit on x86_64),
// tells a live one and hands out a counted reference for the length of the call.
#include "InterfacedObject.h"

#include <cstdint>

class TDLLInterface;

class TDLLInterfaceRegistry {
public:
    // A key no live adapter has; never 0.
    static uint32_t NewKey();
    static void Add(TDLLInterface* adapter);
    static void Remove(TDLLInterface* adapter);
    // The adapter with that key while it is registered and not being freed; else null.
    static TIntfPtr<TDLLInterface> Find(uint32_t key);
};
