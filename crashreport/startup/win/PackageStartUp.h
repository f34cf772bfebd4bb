#pragma once
// The start-up of a library that runs as a runtime package (its module exports the package's
// initialisation routine): the checkers of every loaded module whose settings resource asks for
// them are started before the settings are loaded.
#include <windows.h>

#include <vector>

#include "startup/win/LeakCheckLibrary.h"

bool RunsAsRuntimePackage(HMODULE library);

// For each module with a settings resource: the buffer checks when CrashOnBuffer is true (on
// the blocks' ends unless CrashOnUnderrun is true), leak checking when ReportLeaks is true.
void StartPackageCheckers(const std::vector<HMODULE>& modules, TLeakCheckLibrary& checker);
