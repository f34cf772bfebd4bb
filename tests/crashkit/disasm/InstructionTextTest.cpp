#include "InstructionText.h"

#include <gtest/gtest.h>

#include <vector>

#include "BufferCodeReader.h"
#include "NumberText.h"

namespace {

constexpr CodeAddress kBase = 0x401000;

std::string Text(std::vector<std::uint8_t> bytes, const TBranchLabeler& labeler = {}) {
  const TBufferCodeReader reader(bytes, kBase);
  const TDecodedInstruction instruction = DecodeInstruction(reader, kBase);
  if (!instruction.info.valid) return "(invalid)";
  return InstructionText(instruction, labeler);
}

TEST(NumberText, SmallNumbersAreDecimalOthersDollarHex) {
  EXPECT_EQ("0", NumberText::Operand(0));
  EXPECT_EQ("9", NumberText::Operand(9));
  EXPECT_EQ("-9", NumberText::Operand(-9));
  EXPECT_EQ("$a", NumberText::Operand(10));
  EXPECT_EQ("-$a", NumberText::Operand(-10));
  EXPECT_EQ("$ffffffff", NumberText::Operand(0xFFFFFFFFu));
  EXPECT_EQ("-$80000000", NumberText::Operand(INT32_MIN));
  EXPECT_EQ("+8", NumberText::SignedOffset(8));
  EXPECT_EQ("+$1c", NumberText::SignedOffset(0x1C));
  EXPECT_EQ("-$1c", NumberText::SignedOffset(-0x1C));
  EXPECT_EQ("0040100a", NumberText::Hex8(0x40100A));
  EXPECT_EQ("40100a", NumberText::Hex(0x40100A));
  EXPECT_EQ("0", NumberText::Hex(0));
}

TEST(InstructionText, GeneralInstructions) {
  EXPECT_EQ("push ebp", Text({0x55}));
  EXPECT_EQ("mov ebp, esp", Text({0x8B, 0xEC}));
  EXPECT_EQ("sub esp, $10", Text({0x83, 0xEC, 0x10}));
  EXPECT_EQ("and esp, -$10", Text({0x83, 0xE4, 0xF0}));
  EXPECT_EQ("mov eax, dword ptr [ebp-$1c]", Text({0x8B, 0x45, 0xE4}));
  EXPECT_EQ("mov eax, dword ptr [ebp+8]", Text({0x8B, 0x45, 0x08}));
  EXPECT_EQ("lea esi, [esi+0]", Text({0x8D, 0x76, 0x00}));
  EXPECT_EQ("mov dword ptr [eax+ecx*4+$10], edx", Text({0x89, 0x54, 0x88, 0x10}));
  EXPECT_EQ("jmp dword ptr [eax*4+$401000]", Text({0xFF, 0x24, 0x85, 0x00, 0x10, 0x40, 0x00}));
  EXPECT_EQ("mov eax, dword ptr fs:[$18]", Text({0x64, 0xA1, 0x18, 0, 0, 0}));
  EXPECT_EQ("push dword ptr fs:[0]", Text({0x64, 0xFF, 0x35, 0, 0, 0, 0}));
  EXPECT_EQ("mov ax, word ptr [bx+si+2]", Text({0x66, 0x67, 0x8B, 0x40, 0x02}));
  EXPECT_EQ("movzx eax, byte ptr [ecx]", Text({0x0F, 0xB6, 0x01}));
  EXPECT_EQ("push -1", Text({0x6A, 0xFF}));
  EXPECT_EQ("push $401000", Text({0x68, 0x00, 0x10, 0x40, 0x00}));
  EXPECT_EQ("ret 8", Text({0xC2, 0x08, 0x00}));
  EXPECT_EQ("enter $10, 1", Text({0xC8, 0x10, 0x00, 0x01}));
  EXPECT_EQ("lock cmpxchg dword ptr [ecx], edx", Text({0xF0, 0x0F, 0xB1, 0x11}));
  EXPECT_EQ("rep movs dword ptr es:[edi], dword ptr [esi]", Text({0xF3, 0xA5}));
  EXPECT_EQ("repne scas al, byte ptr es:[edi]", Text({0xF2, 0xAE}));
  EXPECT_EQ("cwde", Text({0x98}));
  EXPECT_EQ("cbw", Text({0x66, 0x98}));
  EXPECT_EQ("pushad", Text({0x60}));
  EXPECT_EQ("pause", Text({0xF3, 0x90}));
  EXPECT_EQ("jmp $1b:$401000", Text({0xEA, 0x00, 0x10, 0x40, 0x00, 0x1B, 0x00}));
  EXPECT_EQ("jmp fword ptr [eax]", Text({0xFF, 0x28}));
  EXPECT_EQ("in al, dx", Text({0xEC}));
  EXPECT_EQ("out $80, al", Text({0xE6, 0x80}));
  EXPECT_EQ("mov word ptr [eax], es", Text({0x8C, 0x00}));
  EXPECT_EQ("mov eax, cr0", Text({0x0F, 0x20, 0xC0}));
  EXPECT_EQ("aam", Text({0xD4, 0x0A}));
  EXPECT_EQ("aam $10", Text({0xD4, 0x10}));
}

TEST(InstructionText, ShiftsNameTheirCount) {
  EXPECT_EQ("shl eax, 1", Text({0xD1, 0xE0}));
  EXPECT_EQ("sar byte ptr [ecx], cl", Text({0xD2, 0x39}));
  EXPECT_EQ("shrd eax, edx, cl", Text({0x0F, 0xAD, 0xD0}));
  EXPECT_EQ("shld eax, edx, cl", Text({0x0F, 0xA5, 0xD0}));
  EXPECT_EQ("rol ecx, 3", Text({0xC1, 0xC1, 0x03}));
}

TEST(InstructionText, RelativeBranches) {
  EXPECT_EQ("jmp $10 ($401012)", Text({0xEB, 0x10}));
  EXPECT_EQ("jz -2 ($401000)", Text({0x74, 0xFE}));
  EXPECT_EQ("jnb $100 ($401106)", Text({0x0F, 0x83, 0x00, 0x01, 0x00, 0x00}));
  EXPECT_EQ("call 0 ($401005)", Text({0xE8, 0, 0, 0, 0}));
  EXPECT_EQ("jecxz 3 ($401005)", Text({0xE3, 0x03}));
  const TBranchLabeler labeler = [](CodeAddress target) {
    return target == 0x401012 ? std::string("loc_401012") : std::string();
  };
  EXPECT_EQ("jmp loc_401012", Text({0xEB, 0x10}, labeler));
  EXPECT_EQ("jz -2 ($401000)", Text({0x74, 0xFE}, labeler));
}

// D8 follows Intel's order; DC and DE swap sub/subr and div/divr in their register forms.
TEST(InstructionText, X87) {
  EXPECT_EQ("fadd st, st(1)", Text({0xD8, 0xC1}));
  EXPECT_EQ("fsub st, st(1)", Text({0xD8, 0xE1}));
  EXPECT_EQ("fsubr st, st(1)", Text({0xD8, 0xE9}));
  EXPECT_EQ("fdiv st, st(1)", Text({0xD8, 0xF1}));
  EXPECT_EQ("fdivr st, st(1)", Text({0xD8, 0xF9}));
  EXPECT_EQ("fsubr st(1), st", Text({0xDC, 0xE1}));
  EXPECT_EQ("fsub st(1), st", Text({0xDC, 0xE9}));
  EXPECT_EQ("fdivr st(1), st", Text({0xDC, 0xF1}));
  EXPECT_EQ("fdiv st(1), st", Text({0xDC, 0xF9}));
  EXPECT_EQ("fsubrp st(1), st", Text({0xDE, 0xE1}));
  EXPECT_EQ("fsubp st(1), st", Text({0xDE, 0xE9}));
  EXPECT_EQ("fdivp st(1), st", Text({0xDE, 0xF9}));
  EXPECT_EQ("fld qword ptr [ebp-8]", Text({0xDD, 0x45, 0xF8}));
  EXPECT_EQ("fstp st", Text({0xDD, 0xD8}));
  EXPECT_EQ("fld tbyte ptr [eax]", Text({0xDB, 0x28}));
  EXPECT_EQ("fild word ptr [eax]", Text({0xDF, 0x00}));
  EXPECT_EQ("fnstcw word ptr [eax]", Text({0xD9, 0x38}));
  EXPECT_EQ("fnstenv [eax]", Text({0xD9, 0x30}));
  EXPECT_EQ("fnstsw ax", Text({0xDF, 0xE0}));
  EXPECT_EQ("fchs", Text({0xD9, 0xE0}));
  EXPECT_EQ("fldpi", Text({0xD9, 0xEB}));
  EXPECT_EQ("fucompp", Text({0xDA, 0xE9}));
  EXPECT_EQ("fcmovbe st, st(2)", Text({0xDA, 0xD2}));
  EXPECT_EQ("fisttp dword ptr [eax]", Text({0xDB, 0x08}));
  EXPECT_EQ("(invalid)", Text({0xD9, 0xE2}));
  EXPECT_EQ("(invalid)", Text({0xD9, 0x08}));
}

TEST(InstructionText, MmxSseAnd3DNow) {
  EXPECT_EQ("movups xmm0, oword ptr [eax]", Text({0x0F, 0x10, 0x00}));
  EXPECT_EQ("movupd xmm0, oword ptr [eax]", Text({0x66, 0x0F, 0x10, 0x00}));
  EXPECT_EQ("movss xmm0, dword ptr [eax]", Text({0xF3, 0x0F, 0x10, 0x00}));
  EXPECT_EQ("movsd qword ptr [eax], xmm1", Text({0xF2, 0x0F, 0x11, 0x08}));
  EXPECT_EQ("addsd xmm0, xmm1", Text({0xF2, 0x0F, 0x58, 0xC1}));
  EXPECT_EQ("xorps xmm0, xmm0", Text({0x0F, 0x57, 0xC0}));
  EXPECT_EQ("cvttsd2si eax, qword ptr [esp+4]", Text({0xF2, 0x0F, 0x2C, 0x44, 0x24, 0x04}));
  EXPECT_EQ("cvtsi2sd xmm0, eax", Text({0xF2, 0x0F, 0x2A, 0xC0}));
  EXPECT_EQ("movhlps xmm0, xmm1", Text({0x0F, 0x12, 0xC1}));
  EXPECT_EQ("movlps xmm0, qword ptr [eax]", Text({0x0F, 0x12, 0x00}));
  EXPECT_EQ("cmpps xmm0, xmm1, 1", Text({0x0F, 0xC2, 0xC1, 0x01}));
  EXPECT_EQ("paddb mm0, qword ptr [eax]", Text({0x0F, 0xFC, 0x00}));
  EXPECT_EQ("paddb xmm0, oword ptr [eax]", Text({0x66, 0x0F, 0xFC, 0x00}));
  EXPECT_EQ("punpcklbw mm1, dword ptr [eax]", Text({0x0F, 0x60, 0x08}));
  EXPECT_EQ("movd mm0, eax", Text({0x0F, 0x6E, 0xC0}));
  EXPECT_EQ("movd xmm0, eax", Text({0x66, 0x0F, 0x6E, 0xC0}));
  EXPECT_EQ("movd eax, xmm0", Text({0x66, 0x0F, 0x7E, 0xC0}));
  EXPECT_EQ("movq xmm0, qword ptr [eax]", Text({0xF3, 0x0F, 0x7E, 0x00}));
  EXPECT_EQ("movdqa oword ptr [eax], xmm2", Text({0x66, 0x0F, 0x7F, 0x10}));
  EXPECT_EQ("psrlq mm1, 4", Text({0x0F, 0x73, 0xD1, 0x04}));
  EXPECT_EQ("psrldq xmm1, 4", Text({0x66, 0x0F, 0x73, 0xD9, 0x04}));
  EXPECT_EQ("(invalid)", Text({0x0F, 0x73, 0xD9, 0x04}));  // psrldq needs 66
  EXPECT_EQ("pshufd xmm0, xmm1, $1b", Text({0x66, 0x0F, 0x70, 0xC1, 0x1B}));
  EXPECT_EQ("haddps xmm0, xmm1", Text({0xF2, 0x0F, 0x7C, 0xC1}));
  EXPECT_EQ("lddqu xmm0, [eax]", Text({0xF2, 0x0F, 0xF0, 0x00}));
  EXPECT_EQ("sfence", Text({0x0F, 0xAE, 0xF8}));
  EXPECT_EQ("clflush byte ptr [eax]", Text({0x0F, 0xAE, 0x38}));
  EXPECT_EQ("pfadd mm0, mm1", Text({0x0F, 0x0F, 0xC1, 0x9E}));
  EXPECT_EQ("pswapd mm2, qword ptr [eax]", Text({0x0F, 0x0F, 0x10, 0xBB}));
  EXPECT_EQ("femms", Text({0x0F, 0x0E}));
  EXPECT_EQ("monitor", Text({0x0F, 0x01, 0xC8}));
  EXPECT_EQ("cmovz eax, ecx", Text({0x0F, 0x44, 0xC1}));
  EXPECT_EQ("setnz al", Text({0x0F, 0x95, 0xC0}));
}

TEST(InstructionText, UndecodableByte) { EXPECT_EQ("db 0f", DataByteText(0x0F)); }

}  // namespace
