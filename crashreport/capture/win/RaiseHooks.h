#pragma once
// The C++ raise path of the image that links the capture (its link options wrap the runtime's
// throw, rethrow and free routines): every throw is recorded in the thread's raise record and,
// while raise-notification handlers are registered, handed to the sink as a notification.
#include <windows.h>

// The fault that the next throw on this thread turns into an object: its record, address and
// context go into the raise record instead of the thrower's.
void SetPendingFault(const EXCEPTION_RECORD& record, const CONTEXT& context);
