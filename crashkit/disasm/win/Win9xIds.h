#pragma once

#include <cstdint>

// Windows 9x hands out thread and process IDs XORed with a per-boot value. The stack tracer
// needs it to find thread records of other threads there.

// The value the IDs are XORed with; 0 on NT (and on x86_64, where there is no Windows 9x).
std::uint32_t GetWin9xIdObfuscator();

// Which of the two thread-record layouts matched (the first: the record right below the
// thread information block).
bool Win9xIdLayoutIsFirst();
