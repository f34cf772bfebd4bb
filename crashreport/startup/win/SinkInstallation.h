#pragma once
#include <cstdint>

// HandleException as the sink of every capture point, with the handling thread behind it.
void StartExceptionDispatch();
void StopExceptionDispatch();
// The freeze watchdog over the main thread's handler window; a freeze becomes a request.
bool StartFreezeWatch(int32_t freezeTimeoutMs);
