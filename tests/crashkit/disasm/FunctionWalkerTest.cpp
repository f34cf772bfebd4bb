#include "FunctionWalker.h"

#include <gtest/gtest.h>

#include "FunctionFixture.h"

namespace {

constexpr CodeAddress A(std::uint32_t offset) { return kCodeBase + offset; }

TFunctionInfo Walk(const TFixtureProcess& process, const TRuntimeRoutines& routines = {}) {
  TFunctionInfo info;
  ParseFunction(process, kCodeBase, routines, info);
  return info;
}

const TFunctionArea* AreaAt(const TFunctionInfo& info, CodeAddress start) {
  for (const TFunctionArea& area : info.areas)
    if (area.start == start) return &area;
  return nullptr;
}

TEST(ParseFunction, StraightFunction) {
  // push ebp; mov ebp, esp; sub esp, $10; mov esp, ebp; pop ebp; ret
  const TFixtureProcess process({0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x8B, 0xE5, 0x5D, 0xC3});
  const TFunctionInfo info = Walk(process);
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_EQ(kCodeBase, info.entry);
  ASSERT_EQ(1u, info.areas.size());
  EXPECT_EQ(A(9), info.areas[0].end);
  EXPECT_EQ(kCodeBase, info.lowAddress);
  EXPECT_EQ(10u, info.codeSize);
  EXPECT_TRUE(info.patchable);
  EXPECT_TRUE(info.copyInfo.walked);
  EXPECT_EQ(14u, info.copyInfo.copySize);
  EXPECT_TRUE(info.outsideCalls.empty());
  EXPECT_TRUE(info.unresolvedBranches.empty());
}

TEST(ParseFunction, BranchesMakeAreas) {
  // test eax, eax; jz +3; xor eax, eax; ret; mov al, 1; ret
  const TFixtureProcess process({0x85, 0xC0, 0x74, 0x03, 0x31, 0xC0, 0xC3, 0xB0, 0x01, 0xC3});
  const TFunctionInfo info = Walk(process);
  ASSERT_TRUE(info.valid);
  ASSERT_EQ(2u, info.areas.size());
  const TFunctionArea* target = AreaAt(info, A(7));
  ASSERT_NE(nullptr, target);
  EXPECT_EQ(A(9), target->end);
  EXPECT_EQ(A(2), target->origin);
  EXPECT_EQ(0u, info.areas[0].origin);
  EXPECT_EQ(10u, info.codeSize);
}

TEST(ParseFunction, NearGapsAreCodeFarGapsAreNot) {
  std::vector<std::uint8_t> near = {0x74, 0x0E, 0xC3};  // jz $10; ret; nops; ret
  near.resize(0x10, 0x90);
  near.push_back(0xC3);
  TFunctionInfo info = Walk(TFixtureProcess(near));
  ASSERT_TRUE(info.valid);
  EXPECT_EQ(3u, info.areas.size());
  EXPECT_NE(nullptr, AreaAt(info, A(3)));
  EXPECT_EQ(0x11u, info.codeSize);

  // jz over 1,100 bytes of undecodable filler: the gap lies too far below the target's end
  std::vector<std::uint8_t> far = {0x0F, 0x84, 0x4C, 0x04, 0, 0, 0xC3};  // jz $452
  far.resize(0x452, 0xFF);
  far.push_back(0xC3);
  info = Walk(TFixtureProcess(far));
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_EQ(2u, info.areas.size());

  // the same filler 1,000 bytes long is parsed and fails the walk
  std::vector<std::uint8_t> within = {0x0F, 0x84, 0xE8, 0x03, 0, 0, 0xC3};  // jz $3ee
  within.resize(0x3EE, 0xFF);
  within.push_back(0xC3);
  info = Walk(TFixtureProcess(within));
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(A(7), info.errorAddress);
}

std::vector<std::uint8_t> CaseTableCode(std::uint8_t condition) {
  // cmp eax, 2; j(n)a(e) default; jmp dword ptr [eax*4+table]; table; cases; default
  return {0x83, 0xF8, 0x02, condition, 0x16, 0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00,
          0x18, 0x10, 0x40, 0x00, 0x19, 0x10, 0x40, 0x00, 0x1A, 0x10, 0x40, 0x00,
          0xC3, 0xC3, 0xC3, 0xC3};
}

TEST(ParseFunction, CaseTableAfterJa) {
  const TFunctionInfo info = Walk(TFixtureProcess(CaseTableCode(0x77)));
  ASSERT_TRUE(info.valid) << info.errorText;
  const TFunctionArea* table = AreaAt(info, A(0x0C));
  ASSERT_NE(nullptr, table);
  EXPECT_TRUE(table->isCaseTable);
  EXPECT_EQ(A(0x17), table->end);
  for (std::uint32_t offset : {0x18u, 0x19u, 0x1Au, 0x1Bu}) EXPECT_NE(nullptr, AreaAt(info, A(offset)));
  EXPECT_EQ(A(5), AreaAt(info, A(0x18))->origin);
  EXPECT_EQ(A(0x0B), AreaAt(info, kCodeBase)->end);
  EXPECT_TRUE(info.unresolvedBranches.empty());
  EXPECT_EQ(0x1Cu, info.codeSize);
}

TEST(ParseFunction, CaseTableAfterJaeHasTheComparedCount) {
  std::vector<std::uint8_t> code = CaseTableCode(0x73);
  std::fill(code.begin() + 0x14, code.begin() + 0x18, 0x90);  // the third dword is no entry
  const TFunctionInfo info = Walk(TFixtureProcess(code));
  ASSERT_TRUE(info.valid) << info.errorText;
  const TFunctionArea* table = AreaAt(info, A(0x0C));
  ASSERT_NE(nullptr, table);
  EXPECT_EQ(A(0x13), table->end);
  EXPECT_NE(nullptr, AreaAt(info, A(0x18)));
  EXPECT_NE(nullptr, AreaAt(info, A(0x19)));
  // Behind the table the walk fills the gaps with code, not with case entries.
  ASSERT_NE(nullptr, AreaAt(info, A(0x14)));
  EXPECT_EQ(0u, AreaAt(info, A(0x14))->origin);
  ASSERT_NE(nullptr, AreaAt(info, A(0x1A)));
  EXPECT_EQ(0u, AreaAt(info, A(0x1A))->origin);
}

TEST(ParseFunction, ExceptionFrameHandlers) {
  // push $401020; push dword ptr fs:[0]; ret ... handler: ret
  std::vector<std::uint8_t> code = {0x68, 0x20, 0x10, 0x40, 0x00, 0x64, 0xFF, 0x35, 0, 0, 0, 0, 0xC3};
  code.resize(0x20, 0x90);
  code.push_back(0xC3);
  TFunctionInfo info = Walk(TFixtureProcess(code));
  ASSERT_TRUE(info.valid);
  EXPECT_NE(nullptr, AreaAt(info, A(0x20)));

  // xor eax, eax; push $401030; push dword ptr fs:[eax]; ret ... handler far behind the ret
  std::vector<std::uint8_t> throughRegister = {0x31, 0xC0, 0x68, 0x30, 0x14, 0x40, 0x00, 0x64, 0xFF, 0x30, 0xC3};
  throughRegister.resize(0x430, 0xFF);
  throughRegister.push_back(0xC3);
  info = Walk(TFixtureProcess(throughRegister));
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_NE(nullptr, AreaAt(info, A(0x430)));

  // a push that no frame follows is no handler
  std::vector<std::uint8_t> plainPush = {0x68, 0x30, 0x14, 0x40, 0x00, 0x58, 0xC3};
  info = Walk(TFixtureProcess(plainPush));
  ASSERT_TRUE(info.valid);
  EXPECT_EQ(1u, info.areas.size());
}

TEST(ParseFunction, HandlerTableOfTheOnExceptionRoutine) {
  TRuntimeRoutines routines;
  routines.onException = 0x500000;
  // jmp onException; count 2; {class $402000, handler +$1c}, {nil, +$1d}; handlers
  TFixtureProcess process({0xE9, 0xFB, 0xEF, 0x0F, 0x00});
  process.PlaceDword(A(5), 2);
  process.PlaceDword(A(9), 0x402000);
  process.PlaceDword(A(0x0D), A(0x1C));
  process.PlaceDword(A(0x11), 0);
  process.PlaceDword(A(0x15), A(0x1D));
  process.Place(A(0x19), {0x90, 0x90, 0x90, 0xC3, 0xC3});
  const TFunctionInfo info = Walk(process, routines);
  ASSERT_TRUE(info.valid) << info.errorText;
  const TFunctionArea* table = AreaAt(info, A(5));
  ASSERT_NE(nullptr, table);
  EXPECT_TRUE(table->isHandlerTable);
  EXPECT_EQ(A(0x18), table->end);
  EXPECT_NE(nullptr, AreaAt(info, A(0x1C)));
  EXPECT_NE(nullptr, AreaAt(info, A(0x1D)));
  EXPECT_TRUE(info.outsideCalls.empty());
}

TEST(ParseFunction, RoutinesThatDoNotReturnEndTheArea) {
  TFixtureProcess process({0xE8, 0xFB, 0xEF, 0x0F, 0x00, 0x0F, 0x0B});  // call $500000; ud2
  EXPECT_FALSE(Walk(process).valid);
  process.throwRoutine = 0x500000;
  TFunctionInfo info = Walk(process);
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_EQ(A(4), info.areas[0].end);
  process.throwRoutine = 0;
  info = Walk(process, TRuntimeRoutines{.raise = 0x500000});
  EXPECT_TRUE(info.valid);
}

TEST(ParseFunction, AnyExceptionAndFinallyRoutines) {
  // push $401020; call finally; ret ... $401020: ret
  std::vector<std::uint8_t> code = {0x68, 0x20, 0x10, 0x40, 0x00, 0xE8, 0xF6, 0xEF, 0x0F, 0x00, 0xC3};
  TFixtureProcess process(code);
  process.Place(A(0x20), {0xC3});
  TFunctionInfo info = Walk(process, TRuntimeRoutines{.finally = 0x500000});
  ASSERT_TRUE(info.valid) << info.errorText;
  EXPECT_NE(nullptr, AreaAt(info, A(0x20)));
  EXPECT_NE(nullptr, AreaAt(info, A(0x0A)));
  info = Walk(process, TRuntimeRoutines{.anyException = 0x500000});
  EXPECT_NE(nullptr, AreaAt(info, A(0x0A)));
  EXPECT_EQ(nullptr, AreaAt(info, A(0x20)));
}

TEST(ParseFunction, KnownRegisterValuesStartNewAreas) {
  // mov eax, $402010; jmp eax
  const TFunctionInfo info = Walk(TFixtureProcess({0xB8, 0x10, 0x20, 0x40, 0x00, 0xFF, 0xE0}));
  ASSERT_TRUE(info.valid);
  ASSERT_EQ(2u, info.areas.size());
  const TFunctionArea* second = AreaAt(info, A(5));
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(0x402010u, second->registers.value[kEax]);
  EXPECT_EQ(A(0), second->origin);
  ASSERT_EQ(1u, info.unresolvedBranches.size());
  EXPECT_FALSE(info.unresolvedBranches[0].isCall);
  EXPECT_EQ(A(5), info.unresolvedBranches[0].start);
  EXPECT_EQ(A(7), info.unresolvedBranches[0].next);
}

TEST(ParseFunction, OutsideCalls) {
  // call $500000; call dword ptr [$403000]; call thunk; call eax; ret
  TFixtureProcess process({0xE8, 0xFB, 0xEF, 0x0F, 0x00, 0xFF, 0x15, 0x00, 0x30, 0x40, 0x00,
                           0xE8, 0xF0, 0x0F, 0x00, 0x00, 0xFF, 0xD0, 0xC3});
  process.PlaceDword(0x403000, 0x70001000);
  process.PlaceDword(0x403004, 0x70002000);
  process.Place(0x402000, {0xFF, 0x25, 0x04, 0x30, 0x40, 0x00});  // jmp dword ptr [$403004]
  const TFunctionInfo info = Walk(process);
  ASSERT_TRUE(info.valid) << info.errorText;
  ASSERT_EQ(3u, info.outsideCalls.size());
  EXPECT_TRUE(info.outsideCalls[0].isCall);
  EXPECT_TRUE(info.outsideCalls[0].relativeTarget);
  EXPECT_EQ(0x500000u, info.outsideCalls[0].target);
  EXPECT_EQ(A(1), info.outsideCalls[0].displacementAt);
  EXPECT_EQ(0x403000u, info.outsideCalls[1].pointerCell);
  EXPECT_EQ(0x70001000u, info.outsideCalls[1].target);
  EXPECT_EQ(0x70002000u, info.outsideCalls[2].target);  // through the import thunk
  ASSERT_EQ(1u, info.unresolvedBranches.size());
  EXPECT_TRUE(info.unresolvedBranches[0].isCall);
  EXPECT_EQ(info.codeSize + 4 + 4, info.copyInfo.copySize);
}

TEST(ParseFunction, Failures) {
  TFunctionInfo info;
  const TFixtureProcess process({0x90, 0x0F, 0x0B});
  ParseFunction(process, 0x300000, info);
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(87u, info.errorCode);
  EXPECT_EQ(0x300000u, info.errorAddress);
  EXPECT_EQ("The parameter is incorrect.", info.errorText);

  info = Walk(process);
  EXPECT_FALSE(info.valid);
  EXPECT_EQ(0x770001u, info.errorCode);
  EXPECT_EQ(A(1), info.errorAddress);
  EXPECT_EQ("Invalid code!", info.errorText);
}

TEST(ParseFunction, Patchability) {
  EXPECT_FALSE(Walk(TFixtureProcess({0xC3})).patchable);                               // too short
  EXPECT_TRUE(Walk(TFixtureProcess({0x6A, 0x00, 0x6A, 0x01, 0x58, 0x58, 0xC3})).patchable);
  EXPECT_FALSE(Walk(TFixtureProcess({0xE3, 0x05, 0x90, 0x90, 0x90, 0x90, 0x90, 0xC3})).patchable);  // jecxz
  EXPECT_TRUE(Walk(TFixtureProcess({0x74, 0x05, 0x90, 0x90, 0x90, 0x90, 0x90, 0xC3})).patchable);   // jz widens
  // push 0; dec ecx; jnz back to the dec: a jump target inside the first bytes
  EXPECT_FALSE(Walk(TFixtureProcess({0x6A, 0x00, 0x49, 0x75, 0xFD, 0x58, 0xC3})).patchable);
}

}  // namespace
