#include "LiveProcess.h"

#include <windows.h>

#include "ImageCodeBounds.h"

namespace {

bool Query(CodeAddress address, MEMORY_BASIC_INFORMATION& region) {
  return VirtualQuery(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address)), &region, sizeof region) ==
         sizeof region;
}

CodeAddress LowAddress(const void* pointer) {
  const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(pointer);
  return value > UINT32_MAX ? 0 : static_cast<CodeAddress>(value);
}

}  // namespace

bool TLiveCodeReader::Read(CodeAddress address, std::uint8_t* buffer, std::size_t count) const {
  return TryRead(address, buffer, count, table_);
}

bool TLiveProcess::IsCommitted(CodeAddress address) const {
  MEMORY_BASIC_INFORMATION region{};
  return Query(address, region) && region.State == MEM_COMMIT;
}

TCodeBounds TLiveProcess::CodeBounds(CodeAddress entry) const {
  MEMORY_BASIC_INFORMATION region{};
  if (!Query(entry, region)) return {};
  const CodeAddress allocation = LowAddress(region.AllocationBase);
  if (allocation != 0)
    if (const std::optional<TCodeBounds> bounds = ImageCodeBounds(reader_, allocation)) return *bounds;
  const CodeAddress low = LowAddress(region.BaseAddress);
  const std::uint64_t high = static_cast<std::uint64_t>(low) + region.RegionSize;
  return {low, high > UINT32_MAX ? UINT32_MAX : static_cast<CodeAddress>(high)};
}

CodeAddress TLiveProcess::CxxThrowRoutine() const {
  const HMODULE runtime = GetModuleHandleA("msvcrt.dll");
  if (!runtime) return 0;
  return LowAddress(reinterpret_cast<const void*>(GetProcAddress(runtime, "_CxxThrowException")));
}

std::string TLiveProcess::SystemMessage(std::uint32_t code) const {
  char buffer[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                sizeof buffer, nullptr);
  while (length > 0 && (buffer[length - 1] == '\r' || buffer[length - 1] == '\n' || buffer[length - 1] == ' '))
    --length;
  return std::string(buffer, length);
}
