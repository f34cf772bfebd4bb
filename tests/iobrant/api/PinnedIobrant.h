#pragma once
// Iobrant, and with it Conduvex, stays mapped for the whole host test program
// (PinnedLibrary.h); a child process tests loading and unloading itself and does without.
#include "iobrant/api/IobrantHost.h"
#include "support/ChildSuite.h"
#include "support/PinnedLibrary.h"

#include <cstdlib>

inline const TPinnedLibrary kPinnedIobrant = std::getenv(child_suite::kChildVariable)
                                                 ? TPinnedLibrary()
                                                 : TPinnedLibrary(Beside("Iobrant.dll"));
