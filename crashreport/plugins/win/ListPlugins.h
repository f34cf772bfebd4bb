#pragma once
// The list sections of the bug report: installed hardware, running processes and loaded
// modules, each produced on demand as wide text and registered as a section plug-in.
#include <vector>

#include "plugins/ModuleList.h"
#include "plugins/ProcessList.h"
#include "text/ZelTypes.h"

UnicodeString ListHardware();
UnicodeString ListProcesses();
UnicodeString ListModules();

// What the process and module lists are made of, in listing order.
std::vector<TProcessRecord> CollectProcesses();
std::vector<TModuleRecord> CollectModules();

// Registers "hardware", "processes" and "modules" (at library start) and removes them by name
// (at library end).
void RegisterListPlugins();
void UnregisterListPlugins();
