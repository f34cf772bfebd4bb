#pragma once

#include <cstddef>
#include <cstdint>

// Runs code that may raise a structured exception; false when one that `caught` accepts
// interrupted it, which then resumes at this call's landing point. Guards nest; C++
// exceptions and exceptions `caught` refuses pass through. The code must not hold locks of
// ours or own resources when it is interrupted.
bool RunUnderFaultGuard(bool (*caught)(uint32_t code), void (*body)(void*), void* context);

// Copies bytes; false when a fault interrupted the copy. Faults of other code pass through.
bool CopyUnderFaultGuard(void* destination, const void* source, std::size_t count);
