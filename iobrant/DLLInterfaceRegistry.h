#pragma once
// The adapters alive in the process. Conduvex notifies with a bare pointer (callback user
// data, window value) that may name an adapter already being freed; the registry tells a
// live one and hands out a counted reference for the length of the call.
#include "InterfacedObject.h"

#include <cstdint>

class TDLLInterface;

class TDLLInterfaceRegistry {
public:
    static void Add(TDLLInterface* adapter);
    static void Remove(TDLLInterface* adapter);
    // The adapter at that address while it is registered and not being freed; else null.
    static TIntfPtr<TDLLInterface> Find(uintptr_t address);
};
