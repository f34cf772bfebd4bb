#pragma once
// Both stand-in driver variants stay mapped for the whole test program (PinnedLibrary.h).
#include "conduvex/ftdi/FtdiStandInFiles.h"
#include "support/PinnedLibrary.h"

namespace ftdi_standin {

inline const TPinnedLibrary kPinnedStandIn(DriverPath("standin"));
inline const TPinnedLibrary kPinnedMissing(DriverPath("missing"));

} // namespace ftdi_standin
