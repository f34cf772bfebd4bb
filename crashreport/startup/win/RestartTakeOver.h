#pragma once
// A process started by a restart takes over from its predecessor: it waits for the old process
// to end and takes the history of exceptions from the hand-over mapping named after itself.
#include <array>
#include <cstdint>
#include <optional>

// The history state when this process was started by a restart; none otherwise.
std::optional<std::array<uint8_t, 80>> TakeOverRestart();
// Whether this process was started by a restart (known after TakeOverRestart).
bool WasRestarted();
