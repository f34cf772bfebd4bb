#include "Win9xIds.h"

#include <windows.h>

#include "GuardedRead.h"

namespace {

struct TWin9xIds {
  std::uint32_t obfuscator = 0;
  bool layoutIsFirst = false;
};

#if defined(__i386__)
constexpr std::uint32_t kRecordBelowTib = 16;
constexpr std::uint32_t kFirstLayoutProcessAt = 8;
constexpr std::uint32_t kSecondLayoutProcessAt = 56;

std::uint32_t DwordAt(std::uint32_t address) {
  std::uint32_t value = 0;
  return TryRead(address, &value, sizeof value) ? value : 0;
}

// A candidate is right when the thread record its thread ID points to names our process.
bool Matches(std::uint32_t candidate, std::uint32_t processAt) {
  const std::uint32_t record = GetCurrentThreadId() ^ candidate;
  return DwordAt(record + processAt) == (GetCurrentProcessId() ^ candidate);
}

// The thread information block's pointer to itself, FS:[0x18].
std::uint32_t ThreadInformationBlock() {
  std::uint32_t tib;
  asm("movl %%fs:0x18, %0" : "=r"(tib));
  return tib;
}

TWin9xIds Compute() {
  const std::uint32_t tib = ThreadInformationBlock();
  const std::uint32_t first = (tib - kRecordBelowTib) ^ GetCurrentThreadId();
  if (Matches(first, kFirstLayoutProcessAt)) return {first, true};
  const std::uint32_t processDatabase = DwordAt(tib + 0x30);
  const std::uint32_t second = processDatabase ^ GetCurrentProcessId();
  if (Matches(second, kSecondLayoutProcessAt)) return {second, false};
  return {};
}
#else
TWin9xIds Compute() { return {}; }
#endif

// Computed once; the first callers may race, and all compute the same.
const TWin9xIds& Ids() {
  static const TWin9xIds ids = Compute();
  return ids;
}

}  // namespace

std::uint32_t GetWin9xIdObfuscator() { return Ids().obfuscator; }

bool Win9xIdLayoutIsFirst() { return Ids().layoutIsFirst; }
