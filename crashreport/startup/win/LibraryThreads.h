#pragma once
// The crash library's own threads (the handling thread, the freeze watchdog), which reports
// leave out.
#include <cstdint>
#include <vector>

std::vector<uint32_t> LibraryThreadIds();
