#pragma once
// The provider name a link reports to hosts (ciGetProvider).
#include "ICommunicationInterface.h"

#include <string>

// "<unknown>" unless the link answers one of the providers' interfaces. They are asked
// from the most general to the most specific and the last answer wins, so a provider that
// extends another (an FTDI converter is also a serial port) reports its own name.
std::string ProviderNameOf(ICommunicationInterface& link);
