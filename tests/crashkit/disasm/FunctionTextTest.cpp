#include "FunctionText.h"

#include <gtest/gtest.h>

#include "FunctionFixture.h"

namespace {

constexpr CodeAddress A(std::uint32_t offset) { return kCodeBase + offset; }

TDisAsmOptions Unlimited() {
  TDisAsmOptions options;
  options.maxLines = 0;
  return options;
}

std::string Compose(const TFixtureProcess& process, const TDisAsmOptions& options = Unlimited()) {
  TFunctionInfo info;
  return DisAsmFunction(process, process, kCodeBase, options, info);
}

// test eax, eax; jz +3; xor eax, eax; ret; mov al, 1; ret
const std::vector<std::uint8_t> kBranchy = {0x85, 0xC0, 0x74, 0x03, 0x31, 0xC0, 0xC3, 0xB0, 0x01, 0xC3};

TEST(DisAsmFunction, PlainLines) {
  EXPECT_EQ("00401000   test eax, eax\r\n"
            "00401002   jz loc_401007\r\n"
            "00401004   xor eax, eax\r\n"
            "00401006   ret\r\n"
            "00401007   mov al, 1\r\n"
            "00401009   ret",
            Compose(TFixtureProcess(kBranchy)));
}

TEST(DisAsmFunction, FormattedWithLabelsSeparatorsAndCrashMarker) {
  TDisAsmOptions options = Unlimited();
  options.formatted = true;
  options.crashAddress = A(5);
  EXPECT_EQ("\r\n"
            "sub_401000:  ; function entry point\r\n"
            "00401000   test eax, eax\r\n"
            "00401002   jz loc_401007\r\n"
            "00401004 > xor eax, eax\r\n"
            "00401006   ret\r\n"
            "; ---------------------------------------------------------\r\n"
            "\r\n"
            "loc_401007:\r\n"
            "00401007   mov al, 1\r\n"
            "00401009   ret\r\n"
            "; ---------------------------------------------------------",
            Compose(TFixtureProcess(kBranchy), options));
}

TEST(DisAsmFunction, NamesAndComments) {
  // push $401100 (text); call dword ptr [$403000] (an export elsewhere); call $401000 (itself); ret
  TFixtureProcess process({0x68, 0x00, 0x11, 0x40, 0x00, 0xFF, 0x15, 0x00, 0x30, 0x40, 0x00,
                           0xE8, 0xF0, 0xFF, 0xFF, 0xFF, 0xC3});
  process.PlaceText(A(0x100), "Cannot open the port");
  process.PlaceDword(0x403000, 0x70001000);
  process.names[kCodeBase] = "TPort.Open";
  process.names[0x70001000] = "GetLastError";
  EXPECT_EQ("00401000   push $401100                   ; 'Cannot open the port'\r\n"
            "00401005   call dword ptr [$403000]       ; GetLastError (kernel32.dll)\r\n"
            "0040100b   call public TPort.Open\r\n"
            "00401010   ret",
            Compose(process));
}

TEST(DisAsmFunction, TextCommentsNeedTextLikeBytes) {
  TFixtureProcess process({0x68, 0x00, 0x11, 0x40, 0x00, 0xC3});
  process.PlaceText(A(0x100), "{}[]()<>!?");
  EXPECT_EQ("00401000   push $401100\r\n00401005   ret", Compose(process));
  process.PlaceText(A(0x100), "abc");
  EXPECT_EQ("00401000   push $401100\r\n00401005   ret", Compose(process));
  process.Place(A(0x100), {'a', 'b', 'c', 'd', 7, 'e', 0});
  EXPECT_EQ("00401000   push $401100\r\n00401005   ret", Compose(process));
  process.PlaceText(A(0x100), "C:\\temp\\x.log");  // too much punctuation
  EXPECT_EQ("00401000   push $401100\r\n00401005   ret", Compose(process));
  process.PlaceText(A(0x100), "Error in C:\\temp");
  EXPECT_EQ("00401000   push $401100                   ; 'Error in C:\\temp'\r\n00401005   ret", Compose(process));
}

TEST(DisAsmFunction, CaseTables) {
  const std::vector<std::uint8_t> code = {0x83, 0xF8, 0x01, 0x77, 0x11, 0xFF, 0x24, 0x85, 0x0C, 0x10, 0x40, 0x00,
                                          0x14, 0x10, 0x40, 0x00, 0x15, 0x10, 0x40, 0x00, 0xC3, 0xC3, 0xC3};
  EXPECT_EQ("00401000   cmp eax, 1\r\n"
            "00401003   ja loc_401016\r\n"
            "00401005   jmp dword ptr [eax*4+$40100c]\r\n"
            "0040100c  dd loc_401014                   ; case jump table\r\n"
            "00401010  dd loc_401015\r\n"
            "00401014   ret\r\n"
            "00401015   ret\r\n"
            "00401016   ret",
            Compose(TFixtureProcess(code)));
}

TEST(DisAsmFunction, HandlerTables) {
  TDisAsmOptions options = Unlimited();
  options.routines.onException = 0x500000;
  TFixtureProcess process({0xE9, 0xFB, 0xEF, 0x0F, 0x00});
  process.PlaceDword(A(5), 3);
  process.PlaceDword(A(9), 0x402000);
  process.PlaceDword(A(0x0D), A(0x21));
  process.PlaceDword(A(0x11), 0x402100);
  process.PlaceDword(A(0x15), A(0x21));
  process.PlaceDword(A(0x19), 0);
  process.PlaceDword(A(0x1D), A(0x22));
  process.Place(A(0x21), {0xC3, 0xC3});
  process.classNames[0x402000] = "EAccessViolation";
  const std::string text = Compose(process, options);
  EXPECT_NE(std::string::npos, text.find("00401009  on EAccessViolation do loc_401021\r\n"));
  EXPECT_NE(std::string::npos, text.find("00401011  on EUnknown do loc_401021\r\n"));
  EXPECT_NE(std::string::npos, text.find("00401019  else loc_401022\r\n"));
}

TEST(DisAsmFunction, SourceLineColumn) {
  TFixtureProcess process(kBranchy);
  process.lines = {{A(0), 98}, {A(2), 98}, {A(4), 99}, {A(6), 100}, {A(7), 102}, {A(9), 102}};
  EXPECT_EQ(" 98 00401000   test eax, eax\r\n"
            "    00401002   jz loc_401007\r\n"
            " 99 00401004   xor eax, eax\r\n"
            "100 00401006   ret\r\n"
            "102 00401007   mov al, 1\r\n"
            "    00401009   ret",
            Compose(process));
}

TEST(DisAsmFunction, LineLimitKeepsTheCrashInView) {
  std::vector<std::uint8_t> code(20, 0x90);
  code.push_back(0xC3);
  TDisAsmOptions options;
  options.maxLines = 4;
  options.crashAddress = A(10);
  EXPECT_EQ("[...]\r\n"
            "00401008   nop\r\n"
            "00401009   nop\r\n"
            "0040100a > nop\r\n"
            "0040100b   nop\r\n"
            "[...]",
            Compose(TFixtureProcess(code), options));
  options.crashAddress = A(20);
  const std::string tail = Compose(TFixtureProcess(code), options);
  EXPECT_EQ(0u, tail.find("[...]\r\n00401011   nop"));
  EXPECT_EQ(tail.size() - 14, tail.find("00401014 > ret"));
  // few lines stay whole: 4 x 12 / 10 = 4
  options.maxLines = 5;
  EXPECT_EQ(std::string::npos, Compose(TFixtureProcess({0x90, 0x90, 0x90, 0x90, 0x90, 0xC3}), options).find("[...]"));
}

// Bytes the walk leaves between areas (too far below the last area to be taken for code).
TEST(DisAsmFunction, UndecodableBytesBetweenAreas) {
  std::vector<std::uint8_t> code = {0x0F, 0x84, 0x03, 0x00, 0x00, 0x00, 0xC3, 0xFF, 0xFF};  // jz $9; ret
  code.resize(0x411, 0x90);
  code.push_back(0xC3);
  const std::string text = Compose(TFixtureProcess(code));
  EXPECT_EQ(0u, text.find("00401000   jz loc_401009\r\n00401006   ret\r\n00401007   db ff\r\n00401008   db ff\r\n"
                          "00401009   nop\r\n"));
  EXPECT_EQ(text.size() - 14, text.find("00401411   ret"));

  // A far gap is one cut mark.
  std::vector<std::uint8_t> far = {0x0F, 0x84, 0x02, 0x04, 0x00, 0x00, 0xC3};  // jz $408; ret
  far.resize(0x408, 0xFF);
  far.push_back(0xC3);
  EXPECT_EQ("00401000   jz loc_401408\r\n00401006   ret\r\n[...]\r\n00401408   ret", Compose(TFixtureProcess(far)));
}

TEST(DisAsmFunction, FailedWalkGivesNoText) {
  TFunctionInfo info;
  const TFixtureProcess process({0x0F, 0x0B});
  EXPECT_EQ("", DisAsmFunction(process, process, kCodeBase, {}, info));
  EXPECT_EQ(0x770001u, info.errorCode);
}

}  // namespace
