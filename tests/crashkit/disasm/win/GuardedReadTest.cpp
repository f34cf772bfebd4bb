#include "GuardedRead.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "FunctionWalker.h"
#include "InstructionDecoder.h"
#include "LiveProcess.h"

namespace {

// Pages of our own, freed at the end of the test.
class TPages {
 public:
  TPages(std::size_t count, DWORD protection) : size_(count * PageSize()) {
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, protection));
  }
  ~TPages() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
  }
  TPages(const TPages&) = delete;
  TPages& operator=(const TPages&) = delete;

  static std::size_t PageSize() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwPageSize;
  }
  unsigned char* Page(std::size_t index) const { return base_ + index * PageSize(); }
  std::uintptr_t Address(std::size_t offset = 0) const { return reinterpret_cast<std::uintptr_t>(base_) + offset; }
  void Protect(std::size_t index, DWORD protection) const {
    DWORD old = 0;
    ASSERT_TRUE(VirtualProtect(Page(index), PageSize(), protection, &old));
  }
  DWORD Protection(std::size_t index) const {
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(Page(index), &region, sizeof region);
    return region.Protect;
  }

 private:
  std::size_t size_;
  unsigned char* base_ = nullptr;
};

TEST(TryRead, CopiesReadableMemory) {
  const char text[] = "readable bytes";
  char copy[sizeof text] = {};
  EXPECT_TRUE(TryRead(reinterpret_cast<std::uintptr_t>(text), copy, sizeof text));
  EXPECT_STREQ(text, copy);
  EXPECT_TRUE(TryRead(reinterpret_cast<std::uintptr_t>(text), copy, 0));
}

TEST(TryRead, RefusesWhatIsNotReadable) {
  char byte = 0;
  EXPECT_FALSE(TryRead(0, &byte, 1));
  EXPECT_FALSE(TryRead(0x10, &byte, 1));
  const TPages noAccess(1, PAGE_NOACCESS);
  EXPECT_FALSE(TryRead(noAccess.Address(), &byte, 1));
  void* reserved = VirtualAlloc(nullptr, TPages::PageSize(), MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(nullptr, reserved);
  EXPECT_FALSE(TryRead(reinterpret_cast<std::uintptr_t>(reserved), &byte, 1));
  VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST(TryRead, LeavesGuardPagesAlone) {
  const TPages pages(1, PAGE_READWRITE | PAGE_GUARD);
  char byte = 0;
  EXPECT_FALSE(TryRead(pages.Address(), &byte, 1));
  EXPECT_TRUE(pages.Protection(0) & PAGE_GUARD);  // a touch would have cleared it
}

// A span that starts readable and runs into a no-access page is refused as a whole.
TEST(TryRead, JudgesEveryPageOfTheSpan) {
  const TPages pages(2, PAGE_READWRITE);
  pages.Protect(1, PAGE_NOACCESS);
  std::array<unsigned char, 8> bytes{};
  EXPECT_TRUE(TryRead(pages.Address(TPages::PageSize() - 8), bytes.data(), 8));
  EXPECT_FALSE(TryRead(pages.Address(TPages::PageSize() - 4), bytes.data(), 8));
}

// A table that claims too much still cannot make the copy fault.
TEST(TryRead, AFaultDuringTheCopyIsCaught) {
  const TPages pages(1, PAGE_NOACCESS);
  const TDATryRead lying = {{pages.Address(), pages.Address(TPages::PageSize()), kReadable}};
  std::array<unsigned char, 4> bytes{};
  EXPECT_FALSE(TryRead(pages.Address(), bytes.data(), bytes.size(), &lying));
  EXPECT_FALSE(TryRead(pages.Address(), bytes.data(), bytes.size(), &lying));  // and again
  const char text[] = "abc";
  EXPECT_TRUE(TryRead(reinterpret_cast<std::uintptr_t>(text), bytes.data(), 4));
  EXPECT_EQ('a', bytes[0]);
}

TEST(TryRead, ExecuteOnlyPagesAreReadAndKeepTheirProtection) {
  const TPages pages(1, PAGE_READWRITE);
  std::memcpy(pages.Page(0), "\x55\x8B\xEC\xC3", 4);
  pages.Protect(0, PAGE_EXECUTE);
  std::array<unsigned char, 4> bytes{};
  EXPECT_TRUE(TryRead(pages.Address(), bytes.data(), bytes.size()));
  EXPECT_EQ(0x55, bytes[0]);
  EXPECT_EQ(0xC3, bytes[3]);
  EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE), pages.Protection(0));
}

TEST(GetReadableRanges, CoversTheUserAddressSpaceInOrder) {
  const TPages readable(1, PAGE_READWRITE);
  const TPages noAccess(1, PAGE_NOACCESS);
  const TPages executeOnly(1, PAGE_EXECUTE);
  const TDATryRead table = GetReadableRanges();
  ASSERT_FALSE(table.empty());
  EXPECT_EQ(0u, table.front().start);
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_EQ(table[i - 1].end, table[i].start);
    EXPECT_NE(table[i - 1].kind, table[i].kind);  // neighbours of one class are merged
  }
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  EXPECT_GT(table.back().end, reinterpret_cast<std::uintptr_t>(system.lpMaximumApplicationAddress));
  EXPECT_EQ(kReadable, ClassInTable(table, readable.Address(), TPages::PageSize()));
  EXPECT_EQ(kNotReadable, ClassInTable(table, noAccess.Address(), 1));
  EXPECT_EQ(kExecuteOnly, ClassInTable(table, executeOnly.Address(), 1));
  char byte = 0;
  EXPECT_TRUE(TryRead(readable.Address(), &byte, 1, &table));
  EXPECT_FALSE(TryRead(noAccess.Address(), &byte, 1, &table));
}

// The decoder and the walk on code in our own memory, read through the guarded reads.
TEST(LiveProcess, WalksCodeInMemory) {
  const TPages pages(2, PAGE_EXECUTE_READWRITE);
  if (pages.Address() > UINT32_MAX - 2 * TPages::PageSize()) GTEST_SKIP() << "no memory below 4 GB";
  // push ebp; mov ebp, esp; jz +1; nop; pop ebp; ret
  std::memcpy(pages.Page(0), "\x55\x8B\xEC\x74\x01\x90\x5D\xC3", 8);
  const CodeAddress entry = static_cast<CodeAddress>(pages.Address());
  const TLiveProcess process;
  const TInstructionInfo jump = ParseCode(process.Code(), entry + 3);
  EXPECT_TRUE(jump.isJump);
  EXPECT_EQ(entry + 6, jump.target);
  TFunctionInfo info;
  ParseFunction(process, entry, info);
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_EQ(8u, info.codeSize);
  EXPECT_TRUE(info.patchable);
  // The last readable byte ends the code: an instruction cut by a no-access page is invalid.
  pages.Protect(1, PAGE_NOACCESS);
  std::memcpy(pages.Page(1) - 2, "\xE8\x00", 2);
  EXPECT_FALSE(ParseCode(process.Code(), static_cast<CodeAddress>(pages.Address(TPages::PageSize() - 2))).valid);
  TFunctionInfo outside;
  ParseFunction(process, static_cast<CodeAddress>(pages.Address(TPages::PageSize())), outside);
  EXPECT_FALSE(outside.valid);
  EXPECT_EQ(0x770001u, outside.errorCode);  // committed, but nothing can be read
}

TEST(LiveProcess, InvalidParameterHasTheSystemText) {
  TFunctionInfo info;
  ParseFunction(TLiveProcess(), 0x10, info);
  EXPECT_EQ(87u, info.errorCode);
  EXPECT_FALSE(info.errorText.empty());
}

}  // namespace
