#pragma once
// The check of a module's file against the checksum in its header.
#include <windows.h>

// True when the module's file carries a checksum that does not match (a checksum of 0 and a
// file that cannot be read are never reported).
bool IsModuleFileCorrupt(HMODULE module);
