#pragma once
// Link creation from a host's connection string: picks the provider, checks the keys it
// cannot do without, applies the optional ones, puts the link into the global handle
// table, registers the host's notification and opens the link when "ACTIVE" asks for it.
#include "HandledIntfObject.h"

#include <windows.h>

#include <cstdint>

// The new link's handle, or 0 with the last error set. Whatever is thrown after the link
// entered the table (opening it, for example) is reported in the last error while the
// link stays in the table and its handle is returned.
uint32_t CreateCommInterface(const char* text, HWND window, UINT message,
                             TCiNotifyCallback callback, bool send, uint32_t userData);
