#pragma once

#include <cstddef>

// Copies bytes; false when a fault interrupted the copy. Faults of other code pass through.
bool CopyUnderFaultGuard(void* destination, const void* source, std::size_t count);
