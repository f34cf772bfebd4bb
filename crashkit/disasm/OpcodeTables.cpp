#include "OpcodeTables.h"

namespace {

// ModRM forms.
constexpr unsigned FB = 2, FW = 3, FV = 4, FD = 5, FM = 6, FX = 7;
// Immediate sizes.
constexpr std::uint16_t I8 = 0x400, I16 = 0x800, IV = 0xC00;
constexpr std::uint16_t REL = kRelative;
constexpr std::uint16_t WREG = kWritesReg, WRM = kWritesRm, WOP = kWritesOpcodeReg, WEAX = kWritesEax,
                        WREGRM = kWritesRegRm, WEAXRM = kWritesEaxRm, WEAXOP = kWritesEaxOpcodeReg;

constexpr std::uint16_t E(Kind kind, unsigned form = 0, std::uint16_t extra = 0) {
  return static_cast<std::uint16_t>((kind & 7) | (form << 3) | ((kind >> 3) << 6) | extra);
}
constexpr std::uint16_t GROUP = E(kImmOnly, kFormGroup);
constexpr std::uint16_t BAD = kInvalidEncoding;
constexpr TOpcodeRow X{BAD, ""};

constexpr std::array<TOperandKind, 128> BuildKinds() {
  std::array<TOperandKind, 128> k{};
  using A = Arg;
  k[kImmOnly] = {A::Imm};
  k[kEvGv] = {A::Ev, A::Gv};
  k[kGbEb] = {A::Gb, A::Eb};
  k[kALIb] = {A::AL, A::Ib};
  k[keAXIv] = {A::eAX, A::Iv};
  k[kSeg] = {A::Seg};
  k[kZv] = {A::Zv};
  k[kGvMa] = {A::Gv, A::Ma};
  k[kEwGw] = {A::Ew, A::Gw};
  k[kGvEvIv] = {A::Gv, A::Ev, A::Iv};
  k[kGvEvIbs] = {A::Gv, A::Ev, A::Ibs};
  k[kYbDX] = {A::Yb, A::DX};
  k[kYvDX] = {A::Yv, A::DX};
  k[kDXXb] = {A::DX, A::Xb};
  k[kDXXv] = {A::DX, A::Xv};
  k[kEbIb] = {A::Eb, A::Ib};
  k[kEvIv] = {A::Ev, A::Iv};
  k[kEvIbs] = {A::Ev, A::Ibs};
  k[kEswSw] = {A::Esw, A::Sw};
  k[kSwEsw] = {A::Sw, A::Esw};
  k[kZveAX] = {A::Zv, A::eAX};
  k[kAp] = {A::Ap};
  k[kALOb] = {A::AL, A::Ob};
  k[keAXOv] = {A::eAX, A::Ov};
  k[kObAL] = {A::Ob, A::AL};
  k[kOveAX] = {A::Ov, A::eAX};
  k[kYbXb] = {A::Yb, A::Xb};
  k[kYvXv] = {A::Yv, A::Xv};
  k[kGvEv] = {A::Gv, A::Ev};
  k[kXbYb] = {A::Xb, A::Yb};
  k[kXvYv] = {A::Xv, A::Yv};
  k[kYbAL] = {A::Yb, A::AL};
  k[kYveAX] = {A::Yv, A::eAX};
  k[kALXb] = {A::AL, A::Xb};
  k[keAXXv] = {A::eAX, A::Xv};
  k[kALYb] = {A::AL, A::Yb};
  k[keAXYv] = {A::eAX, A::Yv};
  k[kZbIb] = {A::Zb, A::Ib};
  k[kZvIv] = {A::Zv, A::Iv};
  k[kEvIb] = {A::Ev, A::Ib};
  k[kGvMp] = {A::Gv, A::Mp};
  k[kEnter] = {A::Iw, A::Ib2};
  k[kIb] = {A::Ib};
  k[kEbOne] = {A::Eb, A::One};
  k[kGvEb] = {A::Gv, A::Eb};
  k[kEvOne] = {A::Ev, A::One};
  k[kEbCL] = {A::Eb, A::CL};
  k[kEvCL] = {A::Ev, A::CL};
  k[kEv] = {A::Ev};
  k[kXlat] = {A::Xlat};
  k[keAXIb] = {A::eAX, A::Ib};
  k[kIbAL] = {A::Ib, A::AL};
  k[kIbeAX] = {A::Ib, A::eAX};
  k[kALDX] = {A::AL, A::DX};
  k[keAXDX] = {A::eAX, A::DX};
  k[kDXAL] = {A::DX, A::AL};
  k[kDXeAX] = {A::DX, A::eAX};
  k[kEb] = {A::Eb};
  k[kGvEw] = {A::Gv, A::Ew};
  k[kRdCd] = {A::Rd, A::Cd};
  k[kRdDd] = {A::Rd, A::Dd};
  k[kCdRd] = {A::Cd, A::Rd};
  k[kDdRd] = {A::Dd, A::Rd};
  k[kVoWps] = {A::Vo, A::Wps};
  k[kWpsVo] = {A::Wps, A::Vo};
  k[kEbGb] = {A::Eb, A::Gb};
  k[kPqQq] = {A::Pq, A::Qq};
  k[kPqQd] = {A::Pq, A::Qd};
  k[kMqVo] = {A::Mq, A::Vo};
  k[kVoWq] = {A::Vo, A::Wq};
  k[kWqVo] = {A::Wq, A::Vo};
  k[kVoQq] = {A::Vo, A::Qq};
  k[kPqWq] = {A::Pq, A::Wq};
  k[kGdWd] = {A::Gd, A::Wd};
  k[kGdWq] = {A::Gd, A::Wq};
  k[kMoVo] = {A::Mo, A::Vo};
  k[kVoWd] = {A::Vo, A::Wd};
  k[kVoEd] = {A::Vo, A::Ed};
  k[kPqEd] = {A::Pq, A::Ed};
  k[kEdPq] = {A::Ed, A::Pq};
  k[kEdVo] = {A::Ed, A::Vo};
  k[kQqPq] = {A::Qq, A::Pq};
  k[kWoVo] = {A::Wo, A::Vo};
  k[kVoWo] = {A::Vo, A::Wo};
  k[kPqQqIb] = {A::Pq, A::Qq, A::Ib};
  k[kNqIb] = {A::Nq, A::Ib};
  k[kEvGvIb] = {A::Ev, A::Gv, A::Ib};
  k[kEvGvCL] = {A::Ev, A::Gv, A::CL};
  k[kVoWpsIb] = {A::Vo, A::Wps, A::Ib};
  k[kMdGd] = {A::Md, A::Gd};
  k[kPqEswIb] = {A::Pq, A::Esw, A::Ib};
  k[kGdNqIb] = {A::Gd, A::Nq, A::Ib};
  k[kGdNq] = {A::Gd, A::Nq};
  k[kGdUo] = {A::Gd, A::Uo};
  k[kMqPq] = {A::Mq, A::Pq};
  k[kPqNq] = {A::Pq, A::Nq};
  k[kPqUo] = {A::Pq, A::Uo};
  k[kVoNq] = {A::Vo, A::Nq};
  k[kVoMo] = {A::Vo, A::M};
  k[kMd] = {A::Md};
  k[kMq] = {A::Mq};
  k[kMw] = {A::Mw};
  k[kMt] = {A::Mt};
  k[kM] = {A::M};
  k[kST0STi] = {A::ST0, A::STi};
  k[kSTiST0] = {A::STi, A::ST0};
  k[kSTi] = {A::STi};
  k[kAX] = {A::AX};
  k[kMb] = {A::Mb};
  k[kEw] = {A::Ew};
  k[kPqWo] = {A::Pq, A::Wo};
  k[kGvEsw] = {A::Gv, A::Esw};
  return k;
}

}  // namespace

const std::array<TOperandKind, 128> kOperandKinds = BuildKinds();

const std::array<TOpcodeRow, 256> kOneByteMap = {{
    // 00
    {E(kEbGb, FB, WRM), "add"}, {E(kEvGv, FV, WRM), "add"}, {E(kGbEb, FB, WREG), "add"},
    {E(kGvEv, FV, WREG), "add"}, {E(kALIb, 0, I8 | WEAX), "add"}, {E(keAXIv, 0, IV | WEAX), "add"},
    {E(kSeg), "push"}, {E(kSeg), "pop"},
    {E(kEbGb, FB, WRM), "or"}, {E(kEvGv, FV, WRM), "or"}, {E(kGbEb, FB, WREG), "or"},
    {E(kGvEv, FV, WREG), "or"}, {E(kALIb, 0, I8 | WEAX), "or"}, {E(keAXIv, 0, IV | WEAX), "or"},
    {E(kSeg), "push"}, X,
    // 10
    {E(kEbGb, FB, WRM), "adc"}, {E(kEvGv, FV, WRM), "adc"}, {E(kGbEb, FB, WREG), "adc"},
    {E(kGvEv, FV, WREG), "adc"}, {E(kALIb, 0, I8 | WEAX), "adc"}, {E(keAXIv, 0, IV | WEAX), "adc"},
    {E(kSeg), "push"}, {E(kSeg), "pop"},
    {E(kEbGb, FB, WRM), "sbb"}, {E(kEvGv, FV, WRM), "sbb"}, {E(kGbEb, FB, WREG), "sbb"},
    {E(kGvEv, FV, WREG), "sbb"}, {E(kALIb, 0, I8 | WEAX), "sbb"}, {E(keAXIv, 0, IV | WEAX), "sbb"},
    {E(kSeg), "push"}, {E(kSeg), "pop"},
    // 20
    {E(kEbGb, FB, WRM), "and"}, {E(kEvGv, FV, WRM), "and"}, {E(kGbEb, FB, WREG), "and"},
    {E(kGvEv, FV, WREG), "and"}, {E(kALIb, 0, I8 | WEAX), "and"}, {E(keAXIv, 0, IV | WEAX), "and"},
    X, {E(kImmOnly, 0, WEAX), "daa"},
    {E(kEbGb, FB, WRM), "sub"}, {E(kEvGv, FV, WRM), "sub"}, {E(kGbEb, FB, WREG), "sub"},
    {E(kGvEv, FV, WREG), "sub"}, {E(kALIb, 0, I8 | WEAX), "sub"}, {E(keAXIv, 0, IV | WEAX), "sub"},
    X, {E(kImmOnly, 0, WEAX), "das"},
    // 30
    {E(kEbGb, FB, WRM), "xor"}, {E(kEvGv, FV, WRM), "xor"}, {E(kGbEb, FB, WREG), "xor"},
    {E(kGvEv, FV, WREG), "xor"}, {E(kALIb, 0, I8 | WEAX), "xor"}, {E(keAXIv, 0, IV | WEAX), "xor"},
    X, {E(kImmOnly, 0, WEAX), "aaa"},
    {E(kEbGb, FB), "cmp"}, {E(kEvGv, FV), "cmp"}, {E(kGbEb, FB), "cmp"},
    {E(kGvEv, FV), "cmp"}, {E(kALIb, 0, I8), "cmp"}, {E(keAXIv, 0, IV), "cmp"},
    X, {E(kImmOnly, 0, WEAX), "aas"},
    // 40
    {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"},
    {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"}, {E(kZv, 0, WOP), "inc"},
    {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"},
    {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"}, {E(kZv, 0, WOP), "dec"},
    // 50
    {E(kZv), "push"}, {E(kZv), "push"}, {E(kZv), "push"}, {E(kZv), "push"},
    {E(kZv), "push"}, {E(kZv), "push"}, {E(kZv), "push"}, {E(kZv), "push"},
    {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"},
    {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"}, {E(kZv, 0, WOP), "pop"},
    // 60
    {E(kImmOnly), "pushad/pusha"}, {E(kImmOnly), "popad/popa"}, {E(kGvMa, FX), "bound"},
    {E(kEwGw, FW, WRM), "arpl"}, X, X, X, X,
    {E(kImmOnly, 0, IV), "push"}, {E(kGvEvIv, FV, IV | WREG), "imul"}, {E(kImmOnly, 0, I8), "push"},
    {E(kGvEvIbs, FV, I8 | WREG), "imul"}, {E(kYbDX), "ins"}, {E(kYvDX), "ins"}, {E(kDXXb), "outs"},
    {E(kDXXv), "outs"},
    // 70
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    {E(kImmOnly, 0, I8 | REL), "j%cc"}, {E(kImmOnly, 0, I8 | REL), "j%cc"},
    // 80
    {E(kEbIb, FB, I8), "add|or|adc|sbb|and|sub|xor|cmp"},
    {E(kEvIv, FV, IV), "add|or|adc|sbb|and|sub|xor|cmp"},
    {E(kEbIb, FB, I8), "add|or|adc|sbb|and|sub|xor|cmp"},
    {E(kEvIbs, FV, I8), "add|or|adc|sbb|and|sub|xor|cmp"},
    {E(kEbGb, FB), "test"}, {E(kEvGv, FV), "test"}, {E(kEbGb, FB, WREGRM), "xchg"},
    {E(kEvGv, FV, WREGRM), "xchg"},
    {E(kEbGb, FB, WRM), "mov"}, {E(kEvGv, FV, WRM), "mov"}, {E(kGbEb, FB, WREG), "mov"},
    {E(kGvEv, FV, WREG), "mov"}, {E(kEswSw, FV, WRM), "mov"}, {E(kGvEv, FV, WREG), "lea"},
    {E(kSwEsw, FV), "mov"}, {E(kEv, FV, WRM), "pop|||||||"},
    // 90
    {E(kImmOnly), "nop"}, {E(kZveAX, 0, WEAXOP), "xchg"}, {E(kZveAX, 0, WEAXOP), "xchg"},
    {E(kZveAX, 0, WEAXOP), "xchg"}, {E(kZveAX, 0, WEAXOP), "xchg"}, {E(kZveAX, 0, WEAXOP), "xchg"},
    {E(kZveAX, 0, WEAXOP), "xchg"}, {E(kZveAX, 0, WEAXOP), "xchg"},
    {E(kImmOnly, 0, WEAX), "cwde/cbw"}, {E(kImmOnly), "cdq/cwd"}, {E(kAp), "call"}, {E(kImmOnly), "wait"},
    {E(kImmOnly), "pushfd/pushf"}, {E(kImmOnly), "popfd/popf"}, {E(kImmOnly), "sahf"},
    {E(kImmOnly, 0, WEAX), "lahf"},
    // A0
    {E(kALOb, 0, WEAX), "mov"}, {E(keAXOv, 0, WEAX), "mov"}, {E(kObAL), "mov"}, {E(kOveAX), "mov"},
    {E(kYbXb), "movs"}, {E(kYvXv), "movs"}, {E(kXbYb), "cmps"}, {E(kXvYv), "cmps"},
    {E(kALIb, 0, I8), "test"}, {E(keAXIv, 0, IV), "test"}, {E(kYbAL), "stos"}, {E(kYveAX), "stos"},
    {E(kALXb, 0, WEAX), "lods"}, {E(keAXXv, 0, WEAX), "lods"}, {E(kALYb), "scas"}, {E(keAXYv), "scas"},
    // B0
    {E(kZbIb, 0, I8 | WOP), "mov"}, {E(kZbIb, 0, I8 | WOP), "mov"}, {E(kZbIb, 0, I8 | WOP), "mov"},
    {E(kZbIb, 0, I8 | WOP), "mov"}, {E(kZbIb, 0, I8 | WOP), "mov"}, {E(kZbIb, 0, I8 | WOP), "mov"},
    {E(kZbIb, 0, I8 | WOP), "mov"}, {E(kZbIb, 0, I8 | WOP), "mov"},
    {E(kZvIv, 0, IV | WOP), "mov"}, {E(kZvIv, 0, IV | WOP), "mov"}, {E(kZvIv, 0, IV | WOP), "mov"},
    {E(kZvIv, 0, IV | WOP), "mov"}, {E(kZvIv, 0, IV | WOP), "mov"}, {E(kZvIv, 0, IV | WOP), "mov"},
    {E(kZvIv, 0, IV | WOP), "mov"}, {E(kZvIv, 0, IV | WOP), "mov"},
    // C0
    {E(kEbIb, FB, I8 | WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kEvIb, FV, I8 | WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kImmOnly, 0, I16), "ret"}, {E(kImmOnly), "ret"}, {E(kGvMp, FX, WREG), "les"},
    {E(kGvMp, FX, WREG), "lds"}, {E(kEbIb, FB, I8 | WRM), "mov|||||||"},
    {E(kEvIv, FV, IV | WRM), "mov|||||||"},
    {E(kEnter), "enter"}, {E(kImmOnly), "leave"}, {E(kImmOnly, 0, I16), "retf"}, {E(kImmOnly), "retf"},
    {E(kImmOnly), "int3"}, {E(kIb, 0, I8), "int"}, {E(kImmOnly), "into"}, {E(kImmOnly), "iretd/iret"},
    // D0
    {E(kEbOne, FB, WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kEvOne, FV, WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kEbCL, FB, WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kEvCL, FV, WRM), "rol|ror|rcl|rcr|shl|shr|sal|sar"},
    {E(kIb, 0, I8 | WEAX), "aam"}, {E(kIb, 0, I8 | WEAX), "aad"}, X, {E(kXlat, 0, WEAX), "xlat"},
    {GROUP, "add|mul|com|comp|sub|subr|div|divr|add|mul|com|comp|sub|subr|div|divr"},
    {GROUP,
     "ld||st|stp|ldenv|ldcw|nstenv|nstcw|ld|xch|nop-------|"
     "|chs-abs---tst-xam--|ld1-ldl2t-ldl2e-ldpi-ldlg2-ldln2-ldz-"
     "|2xm1-yl2x-ptan-patan-xtract-prem1-decstp-incstp|prem-yl2xp1-sqrt-sincos-rndint-scale-sin-cos"},
    {GROUP, "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|cmovb|cmove|cmovbe|cmovu||-ucompp------||"},
    {GROUP, "ild|isttp|ist|istp||ld||stp|cmovnb|cmovne|cmovnbe|cmovnu|--nclex-ninit----|ucomi|comi|"},
    {GROUP, "add|mul|com|comp|sub|subr|div|divr|add|mul|||subr|sub|divr|div"},
    {GROUP, "ld|isttp|st|stp|rstor||nsave|nstsw|free||st|stp|ucom|ucomp||"},
    {GROUP, "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|addp|mulp||-compp------|subrp|subp|divrp|divp"},
    {GROUP, "ild|isttp|ist|istp|bld|ild|bstp|istp|freep||||nstsw-------|ucomip|comip|"},
    // E0
    {E(kImmOnly, 0, I8 | REL), "loopne"}, {E(kImmOnly, 0, I8 | REL), "loope"},
    {E(kImmOnly, 0, I8 | REL), "loop"}, {E(kImmOnly, 0, I8 | REL), "jecxz/jcxz"},
    {E(kALIb, 0, I8 | WEAX), "in"}, {E(keAXIb, 0, I8 | WEAX), "in"}, {E(kIbAL, 0, I8), "out"},
    {E(kIbeAX, 0, I8), "out"},
    {E(kImmOnly, 0, IV | REL), "call"}, {E(kImmOnly, 0, IV | REL), "jmp"}, {E(kAp), "jmp"},
    {E(kImmOnly, 0, I8 | REL), "jmp"}, {E(kALDX, 0, WEAX), "in"}, {E(keAXDX, 0, WEAX), "in"},
    {E(kDXAL), "out"}, {E(kDXeAX), "out"},
    // F0
    X, {E(kImmOnly), "int1"}, X, X, {E(kImmOnly), "hlt"}, {E(kImmOnly), "cmc"}, {GROUP, "test||not|neg|mul|imul|div|idiv"},
    {GROUP, "test||not|neg|mul|imul|div|idiv"},
    {E(kImmOnly), "clc"}, {E(kImmOnly), "stc"}, {E(kImmOnly), "cli"}, {E(kImmOnly), "sti"},
    {E(kImmOnly), "cld"}, {E(kImmOnly), "std"}, {E(kEb, FB, WRM), "inc|dec||||||"},
    {E(kEv, FV), "inc|dec|call|:call|jmp|:jmp|push|"},
}};

const std::array<TOpcodeRow, 256> kTwoByteMap = {{
    // 0F 00
    {GROUP, "sldt|str|lldt|ltr|verr|verw||"}, {GROUP, "sgdt|monitor-mwait------:sidt|lgdt|lidt|smsw||lmsw|invlpg"},
    {E(kGvEsw, FW, WREG), "lar"}, {E(kGvEsw, FW, WREG), "lsl"}, X, X, {E(kImmOnly), "clts"}, X,
    {E(kImmOnly), "invd"}, {E(kImmOnly), "wbinvd"}, X, X, X, {E(kMb, FX), "prefetch|prefetchw||||||"},
    {E(kImmOnly), "femms"}, {E(kPqQq, FM, I8), ""},
    // 0F 10
    {E(kVoWps, FX), "movuPS/movuPS/movS/movS"}, {E(kWpsVo, FX), "movuPS/movuPS/movS/movS"},
    {E(kVoWq, FX), "movhlps:movlps/:movlpd/movsldup/movddup"}, {E(kMqVo, FX), "movlps/movlpd//"},
    {E(kVoWps, FX), "unpcklPS/unpcklPS//"}, {E(kVoWps, FX), "unpckhPS/unpckhPS//"},
    {E(kVoWq, FX), "movlhps:movhps/:movhpd/movshdup/"}, {E(kMqVo, FX), "movhps/movhpd//"},
    {GROUP, "prefetchnta|prefetcht0|prefetcht1|prefetcht2|nop|nop|nop|nop"}, {E(kEv, FV), "nop"},
    {E(kEv, FV), "nop"}, {E(kEv, FV), "nop"}, {E(kEv, FV), "nop"}, {E(kEv, FV), "nop"},
    {E(kEv, FV), "nop"}, {E(kEv, FV), "nop"},
    // 0F 20
    {E(kRdCd, FD, WRM), "mov"}, {E(kRdDd, FD, WRM), "mov"}, {E(kCdRd, FD), "mov"}, {E(kDdRd, FD), "mov"},
    X, X, X, X,
    {E(kVoWps, FX), "movaPS/movaPS//"}, {E(kWpsVo, FX), "movaPS/movaPS//"},
    {E(kVoQq, FX), "cvtpi2ps/cvtpi2pd/cvtsi2ss/cvtsi2sd"}, {E(kMoVo, FX), "movntPS/movntPS//"},
    {E(kPqWq, FX), "cvttps2pi/cvttpd2pi/cvttss2si/cvttsd2si"},
    {E(kPqWq, FX), "cvtps2pi/cvtpd2pi/cvtss2si/cvtsd2si"},
    {E(kVoWd, FX), "ucomiss/ucomisd//"}, {E(kVoWd, FX), "comiss/comisd//"},
    // 0F 30
    {E(kImmOnly), "wrmsr"}, {E(kImmOnly, 0, WEAX), "rdtsc"}, {E(kImmOnly, 0, WEAX), "rdmsr"}, {E(kImmOnly, 0, WEAX), "rdpmc"},
    {E(kImmOnly), "sysenter"}, {E(kImmOnly), "sysexit"}, X, X, X, X, X, X, X, X, X, X,
    // 0F 40
    {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"},
    {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"},
    {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"},
    {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"},
    {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"}, {E(kGvEv, FV, WREG), "cmov%cc"},
    {E(kGvEv, FV, WREG), "cmov%cc"},
    // 0F 50
    {E(kGdUo, FX, WREG), "movmskPS/movmskPS//"}, {E(kVoWps, FX), "sqrtPS/sqrtPS/sqrtS/sqrtS"},
    {E(kVoWps, FX), "rsqrtPS//rsqrtS/"}, {E(kVoWps, FX), "rcpPS//rcpS/"},
    {E(kVoWps, FX), "andPS/andPS//"}, {E(kVoWps, FX), "andnPS/andnPS//"}, {E(kVoWps, FX), "orPS/orPS//"},
    {E(kVoWps, FX), "xorPS/xorPS//"},
    {E(kVoWps, FX), "addPS/addPS/addS/addS"}, {E(kVoWps, FX), "mulPS/mulPS/mulS/mulS"},
    {E(kVoWq, FX), "cvtps2pd/cvtpd2ps/cvtss2sd/cvtsd2ss"}, {E(kVoWo, FX), "cvtdq2ps/cvtps2dq/cvttps2dq/"},
    {E(kVoWps, FX), "subPS/subPS/subS/subS"}, {E(kVoWps, FX), "minPS/minPS/minS/minS"},
    {E(kVoWps, FX), "divPS/divPS/divS/divS"}, {E(kVoWps, FX), "maxPS/maxPS/maxS/maxS"},
    // 0F 60
    {E(kPqQd, FM), "punpcklbw/punpcklbw"}, {E(kPqQd, FM), "punpcklwd/punpcklwd"},
    {E(kPqQd, FM), "punpckldq/punpckldq"}, {E(kPqQq, FM), "packsswb/packsswb"},
    {E(kPqQq, FM), "pcmpgtb/pcmpgtb"}, {E(kPqQq, FM), "pcmpgtw/pcmpgtw"}, {E(kPqQq, FM), "pcmpgtd/pcmpgtd"},
    {E(kPqQq, FM), "packuswb/packuswb"},
    {E(kPqQq, FM), "punpckhbw/punpckhbw"}, {E(kPqQq, FM), "punpckhwd/punpckhwd"},
    {E(kPqQq, FM), "punpckhdq/punpckhdq"}, {E(kPqQq, FM), "packssdw/packssdw"},
    {E(kVoWo, FX), "/punpcklqdq"}, {E(kVoWo, FX), "/punpckhqdq"}, {E(kPqEd, FM), "movd/movd"},
    {E(kPqQq, FM), "movq/movdqa/movdqu/"},
    // 0F 70
    {E(kPqQqIb, FM, I8), "pshufw/pshufd/pshufhw/pshuflw"},
    {E(kNqIb, FM, I8), "||psrlw:/psrlw:||psraw:/psraw:||psllw:/psllw:|"},
    {E(kNqIb, FM, I8), "||psrld:/psrld:||psrad:/psrad:||pslld:/pslld:|"},
    {E(kNqIb, FM, I8), "||psrlq:/psrlq:|/psrldq:|||psllq:/psllq:|/pslldq:"},
    {E(kPqQq, FM), "pcmpeqb/pcmpeqb"}, {E(kPqQq, FM), "pcmpeqw/pcmpeqw"}, {E(kPqQq, FM), "pcmpeqd/pcmpeqd"},
    {E(kImmOnly), "emms"}, X, X, X, X,
    {E(kVoWo, FX), "/haddpd//haddps"}, {E(kVoWo, FX), "/hsubpd//hsubps"},
    {E(kEdPq, FM, WRM), "movd/movd/movq/"}, {E(kQqPq, FM), "movq/movdqa/movdqu/"},
    // 0F 80
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    {E(kImmOnly, 0, IV | REL), "j%cc"}, {E(kImmOnly, 0, IV | REL), "j%cc"},
    // 0F 90
    {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"},
    {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"},
    {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"},
    {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"},
    {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"}, {E(kEb, FB, WRM), "set%cc"},
    {E(kEb, FB, WRM), "set%cc"},
    // 0F A0
    {E(kSeg), "push"}, {E(kSeg), "pop"}, {E(kImmOnly), "cpuid"}, {E(kEvGv, FV), "bt"},
    {E(kEvGvIb, FV, I8 | WRM), "shld"}, {E(kEvGvCL, FV, WRM), "shld"}, X, X,
    {E(kSeg), "push"}, {E(kSeg), "pop"}, {E(kImmOnly), "rsm"}, {E(kEvGv, FV, WRM), "bts"},
    {E(kEvGvIb, FV, I8 | WRM), "shrd"}, {E(kEvGvCL, FV, WRM), "shrd"},
    {GROUP, "fxsave|fxrstor|ldmxcsr|stmxcsr||lfence:|mfence:|sfence:clflush"},
    {E(kGvEv, FV, WREG), "imul"},
    // 0F B0
    {E(kEbGb, FB, WEAXRM), "cmpxchg"}, {E(kEvGv, FV, WEAXRM), "cmpxchg"}, {E(kGvMp, FX, WREG), "lss"},
    {E(kEvGv, FV, WRM), "btr"}, {E(kGvMp, FX, WREG), "lfs"}, {E(kGvMp, FX, WREG), "lgs"},
    {E(kGvEb, FB, WREG), "movzx"}, {E(kGvEw, FW, WREG), "movzx"},
    X, X, {E(kEvIb, FV, I8), "||||bt|bts|btr|btc"}, {E(kEvGv, FV, WRM), "btc"},
    {E(kGvEv, FV, WREG), "bsf"}, {E(kGvEv, FV, WREG), "bsr"}, {E(kGvEb, FB, WREG), "movsx"},
    {E(kGvEw, FW, WREG), "movsx"},
    // 0F C0
    {E(kEbGb, FB, WREGRM), "xadd"}, {E(kEvGv, FV, WREGRM), "xadd"},
    {E(kVoWpsIb, FX, I8), "cmpPS/cmpPS/cmpS/cmpS"}, {E(kMdGd, FX), "movnti"},
    {E(kPqEswIb, FM, I8), "pinsrw/pinsrw"}, {E(kGdNqIb, FM, I8 | WREG), "pextrw/pextrw"},
    {E(kVoWpsIb, FX, I8), "shufPS/shufPS//"}, {GROUP, "|cmpxchg8b||||||"},
    {E(kZv, 0, WOP), "bswap"}, {E(kZv, 0, WOP), "bswap"}, {E(kZv, 0, WOP), "bswap"},
    {E(kZv, 0, WOP), "bswap"}, {E(kZv, 0, WOP), "bswap"}, {E(kZv, 0, WOP), "bswap"},
    {E(kZv, 0, WOP), "bswap"}, {E(kZv, 0, WOP), "bswap"},
    // 0F D0
    {E(kVoWo, FX), "/addsubpd//addsubps"}, {E(kPqQq, FM), "psrlw/psrlw"}, {E(kPqQq, FM), "psrld/psrld"},
    {E(kPqQq, FM), "psrlq/psrlq"}, {E(kPqQq, FM), "paddq/paddq"}, {E(kPqQq, FM), "pmullw/pmullw"},
    {E(kWqVo, FX), "/movq/movq2dq/movdq2q"}, {E(kGdNq, FM, WREG), "pmovmskb/pmovmskb"},
    {E(kPqQq, FM), "psubusb/psubusb"}, {E(kPqQq, FM), "psubusw/psubusw"}, {E(kPqQq, FM), "pminub/pminub"},
    {E(kPqQq, FM), "pand/pand"}, {E(kPqQq, FM), "paddusb/paddusb"}, {E(kPqQq, FM), "paddusw/paddusw"},
    {E(kPqQq, FM), "pmaxub/pmaxub"}, {E(kPqQq, FM), "pandn/pandn"},
    // 0F E0
    {E(kPqQq, FM), "pavgb/pavgb"}, {E(kPqQq, FM), "psraw/psraw"}, {E(kPqQq, FM), "psrad/psrad"},
    {E(kPqQq, FM), "pavgw/pavgw"}, {E(kPqQq, FM), "pmulhuw/pmulhuw"}, {E(kPqQq, FM), "pmulhw/pmulhw"},
    {E(kVoWo, FX), "/cvttpd2dq/cvtdq2pd/cvtpd2dq"}, {E(kMqPq, FM), "movntq/movntdq"},
    {E(kPqQq, FM), "psubsb/psubsb"}, {E(kPqQq, FM), "psubsw/psubsw"}, {E(kPqQq, FM), "pminsw/pminsw"},
    {E(kPqQq, FM), "por/por"}, {E(kPqQq, FM), "paddsb/paddsb"}, {E(kPqQq, FM), "paddsw/paddsw"},
    {E(kPqQq, FM), "pmaxsw/pmaxsw"}, {E(kPqQq, FM), "pxor/pxor"},
    // 0F F0
    {E(kVoMo, FX), "///lddqu"}, {E(kPqQq, FM), "psllw/psllw"}, {E(kPqQq, FM), "pslld/pslld"},
    {E(kPqQq, FM), "psllq/psllq"}, {E(kPqQq, FM), "pmuludq/pmuludq"}, {E(kPqQq, FM), "pmaddwd/pmaddwd"},
    {E(kPqQq, FM), "psadbw/psadbw"}, {E(kPqNq, FM), "maskmovq/maskmovdqu"},
    {E(kPqQq, FM), "psubb/psubb"}, {E(kPqQq, FM), "psubw/psubw"}, {E(kPqQq, FM), "psubd/psubd"},
    {E(kPqQq, FM), "psubq/psubq"}, {E(kPqQq, FM), "paddb/paddb"}, {E(kPqQq, FM), "paddw/paddw"},
    {E(kPqQq, FM), "paddd/paddd"}, X,
}};

namespace {

// x87 memory operands by their size; register forms with st(0) first or last.
constexpr std::uint16_t MD = E(kMd, FX), MQ = E(kMq, FX), MW = E(kMw, FX), MT = E(kMt, FX), MM = E(kM, FX);
constexpr std::uint16_t STST = E(kST0STi, FX), STIST = E(kSTiST0, FX), STI = E(kSTi, FX), NONE = E(kImmOnly, FX);

}  // namespace

const std::array<TModRmGroup, 15> kModRmGroups = {{
    {0xF6,
     {E(kEbIb, FB, I8), BAD, E(kEb, FB, WRM), E(kEb, FB, WRM), E(kEb, FB, WEAX), E(kEb, FB, WEAX),
      E(kEb, FB, WEAX), E(kEb, FB, WEAX)},
     {E(kEbIb, FB, I8), BAD, E(kEb, FB, WRM), E(kEb, FB, WRM), E(kEb, FB, WEAX), E(kEb, FB, WEAX),
      E(kEb, FB, WEAX), E(kEb, FB, WEAX)}},
    {0xF7,
     {E(kEvIv, FV, IV), BAD, E(kEv, FV, WRM), E(kEv, FV, WRM), E(kEv, FV, WEAX), E(kEv, FV, WEAX),
      E(kEv, FV, WEAX), E(kEv, FV, WEAX)},
     {E(kEvIv, FV, IV), BAD, E(kEv, FV, WRM), E(kEv, FV, WRM), E(kEv, FV, WEAX), E(kEv, FV, WEAX),
      E(kEv, FV, WEAX), E(kEv, FV, WEAX)}},
    {0xD8, {MD, MD, MD, MD, MD, MD, MD, MD}, {STST, STST, STI, STI, STST, STST, STST, STST}},
    {0xD9, {MD, BAD, MD, MD, MM, MW, MM, MW}, {STI, STI, NONE, BAD, NONE, NONE, NONE, NONE}},
    {0xDA, {MD, MD, MD, MD, MD, MD, MD, MD}, {STST, STST, STST, STST, BAD, NONE, BAD, BAD}},
    {0xDB, {MD, MD, MD, MD, BAD, MT, BAD, MT}, {STST, STST, STST, STST, NONE, STST, STST, BAD}},
    {0xDC, {MQ, MQ, MQ, MQ, MQ, MQ, MQ, MQ}, {STIST, STIST, BAD, BAD, STIST, STIST, STIST, STIST}},
    {0xDD, {MQ, MQ, MQ, MQ, MM, BAD, MM, MW}, {STI, BAD, STI, STI, STI, STI, BAD, BAD}},
    {0xDE, {MW, MW, MW, MW, MW, MW, MW, MW}, {STIST, STIST, BAD, NONE, STIST, STIST, STIST, STIST}},
    {0xDF, {MW, MW, MW, MW, MT, MQ, MT, MQ}, {STI, BAD, BAD, BAD, E(kAX, FX, WEAX), STST, STST, BAD}},
    {0x0F00,
     {E(kEw, FW), E(kEw, FW), E(kEw, FW), E(kEw, FW), E(kEw, FW), E(kEw, FW), BAD, BAD},
     {E(kEv, FV, WRM), E(kEv, FV, WRM), E(kEw, FW), E(kEw, FW), E(kEw, FW), E(kEw, FW), BAD, BAD}},
    {0x0F01,
     {MM, MM, MM, MM, E(kEw, FW), BAD, E(kEw, FW), E(kMb, FX)},
     {BAD, NONE, BAD, BAD, E(kEv, FV, WRM), BAD, E(kEw, FW), BAD}},
    {0x0F18,
     {E(kMb, FX), E(kMb, FX), E(kMb, FX), E(kMb, FX), E(kEv, FV), E(kEv, FV), E(kEv, FV), E(kEv, FV)},
     {BAD, BAD, BAD, BAD, E(kEv, FV), E(kEv, FV), E(kEv, FV), E(kEv, FV)}},
    {0x0FAE,
     {MM, MM, MD, MD, BAD, BAD, BAD, E(kMb, FX)},
     {BAD, BAD, BAD, BAD, BAD, NONE, NONE, NONE}},
    {0x0FC7, {BAD, MQ, BAD, BAD, BAD, BAD, BAD, BAD}, {BAD, BAD, BAD, BAD, BAD, BAD, BAD, BAD}},
}};

const std::array<TPrefixedRow, 24> kPrefixedRows = {{
    {0x12, 2, E(kVoWo, FX)},         // movsldup
    {0x12, 3, E(kVoWq, FX)},         // movddup
    {0x16, 2, E(kVoWo, FX)},         // movshdup
    {0x2A, 2, E(kVoEd, FX)},         // cvtsi2ss
    {0x2A, 3, E(kVoEd, FX)},         // cvtsi2sd
    {0x2C, 1, E(kPqWo, FX)},         // cvttpd2pi
    {0x2D, 1, E(kPqWo, FX)},         // cvtpd2pi
    {0x2C, 2, E(kGdWd, FX, WREG)},   // cvttss2si
    {0x2C, 3, E(kGdWq, FX, WREG)},   // cvttsd2si
    {0x2D, 2, E(kGdWd, FX, WREG)},   // cvtss2si
    {0x2D, 3, E(kGdWq, FX, WREG)},   // cvtsd2si
    {0x2E, 1, E(kVoWq, FX)},         // ucomisd
    {0x2F, 1, E(kVoWq, FX)},         // comisd
    {0x5A, 1, E(kVoWo, FX)},         // cvtpd2ps
    {0x5A, 2, E(kVoWd, FX)},         // cvtss2sd
    {0x6E, 1, E(kVoEd, FX)},         // movd xmm, r/m32
    {0x6F, 2, E(kVoWo, FX)},         // movdqu
    {0x7E, 1, E(kEdVo, FX, WRM)},    // movd r/m32, xmm
    {0x7E, 2, E(kVoWq, FX)},         // movq xmm, xmm/m64
    {0x7F, 2, E(kWoVo, FX)},         // movdqu
    {0xD6, 2, E(kVoNq, FX)},         // movq2dq
    {0xD6, 3, E(kPqUo, FX)},         // movdq2q
    {0xE6, 2, E(kVoWq, FX)},         // cvtdq2pd
    {0xE7, 1, E(kMoVo, FX)},         // movntdq
}};

const std::array<const char*, 30> kRegisterNames = {
    "al", "cl", "dl", "bl", "ah", "ch", "dh", "bh", "ax", "cx", "dx", "bx", "sp", "bp", "si",
    "di", "es", "cs", "ss", "ds", "fs", "gs", "eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};

const std::array<const char*, 16> kConditionSuffixes = {"o", "no", "b", "nb", "z", "nz", "be", "a",
                                                        "s", "ns", "p", "np", "l", "ge", "le", "g"};

namespace {

struct TThreeDNowRow {
  std::uint8_t suffix;
  const char* name;
};

constexpr TThreeDNowRow kThreeDNow[] = {
    {0x0C, "pi2fw"},   {0x0D, "pi2fd"},    {0x1C, "pf2iw"},    {0x1D, "pf2id"},   {0x8A, "pfnacc"},
    {0x8E, "pfpnacc"}, {0x90, "pfcmpge"},  {0x94, "pfmin"},    {0x96, "pfrcp"},   {0x97, "pfrsqrt"},
    {0x9A, "pfsub"},   {0x9E, "pfadd"},    {0xA0, "pfcmpgt"},  {0xA4, "pfmax"},   {0xA6, "pfrcpit1"},
    {0xA7, "pfrsqit1"}, {0xAA, "pfsubr"},  {0xAE, "pfacc"},    {0xB0, "pfcmpeq"}, {0xB4, "pfmul"},
    {0xB6, "pfrcpit2"}, {0xB7, "pmulhrw"}, {0xBB, "pswapd"},   {0xBF, "pavgusb"},
};

}  // namespace

const char* ThreeDNowName(std::uint8_t suffix) {
  for (const TThreeDNowRow& row : kThreeDNow)
    if (row.suffix == suffix) return row.name;
  return nullptr;
}

const TModRmGroup* FindModRmGroup(std::uint16_t opcode) {
  for (const TModRmGroup& group : kModRmGroups)
    if (group.opcode == opcode) return &group;
  return nullptr;
}
