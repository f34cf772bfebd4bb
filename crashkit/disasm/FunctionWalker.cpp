#include "FunctionWalker.h"

#include <algorithm>
#include <optional>

#include "InstructionDecoder.h"

namespace {

constexpr std::uint16_t kPushImmediate = 0x68;
constexpr std::uint8_t kPushImmediateLength = 5;

// ja/jg after the compare: one more entry than compared; jae/jge: as many.
std::optional<std::uint32_t> CaseCountAfter(std::uint16_t opcode, std::uint32_t compared) {
  switch (opcode) {
    case 0x77: case 0x7F: case 0x0F87: case 0x0F8F: return compared + 1;
    case 0x73: case 0x7D: case 0x0F83: case 0x0F8D: return compared;
    default: return std::nullopt;
  }
}

class TFunctionWalker {
 public:
  TFunctionWalker(const IFunctionEnvironment& environment, const TRuntimeRoutines& routines, TFunctionInfo& info)
      : environment_(environment), reader_(environment.Code()), routines_(routines), info_(info) {}

  void Walk(CodeAddress entry) {
    info_ = TFunctionInfo{};
    info_.entry = entry;
    info_.copyInfo.walked = true;
    if (!environment_.IsCommitted(entry)) {
      Fail(entry, kErrorInvalidParameter, environment_.SystemMessage(kErrorInvalidParameter));
      return;
    }
    bounds_ = environment_.CodeBounds(entry);
    throwRoutine_ = environment_.CxxThrowRoutine();
    AddArea(entry, 0, {}, false);
    while (!failed_) {
      const std::optional<std::size_t> pending = NextPending();
      if (pending) {
        ParseArea(*pending);
      } else if (!FillGap()) {
        break;
      }
    }
    if (!failed_) Finish();
  }

 private:
  struct TAreaState {
    bool pending = true;
    bool branchTarget = false;
  };

  void Fail(CodeAddress at, std::uint32_t code, std::string text) {
    failed_ = true;
    info_.valid = false;
    info_.errorAddress = at;
    info_.errorCode = code;
    info_.errorText = std::move(text);
  }

  bool HasAreaAt(CodeAddress start) const {
    return std::any_of(info_.areas.begin(), info_.areas.end(), [&](const TFunctionArea& a) { return a.start == start; });
  }

  // A new area to parse; nothing when one starts there already. An area parsed across the
  // start is cut there, so that areas never overlap.
  void AddArea(CodeAddress start, CodeAddress origin, const TRegisterValues& registers, bool branchTarget) {
    if (HasAreaAt(start)) {
      if (branchTarget) MarkBranchTarget(start);
      return;
    }
    for (std::size_t i = 0; i < info_.areas.size(); ++i) {
      TFunctionArea& area = info_.areas[i];
      if (!states_[i].pending && !area.isCaseTable && !area.isHandlerTable && area.start < start && start <= area.end)
        area.end = start - 1;
    }
    TFunctionArea area;
    area.start = area.end = start;
    area.origin = origin;
    area.registers = registers;
    info_.areas.push_back(area);
    states_.push_back({true, branchTarget});
  }

  void MarkBranchTarget(CodeAddress start) {
    for (std::size_t i = 0; i < info_.areas.size(); ++i)
      if (info_.areas[i].start == start) states_[i].branchTarget = true;
  }

  void AddDataArea(CodeAddress start, std::uint32_t size, bool caseTable) {
    TFunctionArea area;
    area.start = start;
    area.end = start + size - 1;
    area.isCaseTable = caseTable;
    area.isHandlerTable = !caseTable;
    info_.areas.push_back(area);
    states_.push_back({false, false});
  }

  std::optional<std::size_t> NextPending() const {
    for (std::size_t i = 0; i < states_.size(); ++i)
      if (states_[i].pending) return i;
    return std::nullopt;
  }

  // The lowest start of any other area above start.
  CodeAddress LimitAbove(CodeAddress start) const {
    std::uint64_t limit = UINT64_MAX;
    for (const TFunctionArea& area : info_.areas)
      if (area.start > start) limit = std::min<std::uint64_t>(limit, area.start);
    return limit > UINT32_MAX ? UINT32_MAX : static_cast<CodeAddress>(limit);
  }

  bool FillGap() {
    std::vector<TFunctionArea> sorted = info_.areas;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    std::uint64_t runEnd = sorted.front().end;
    std::uint64_t highest = 0;
    for (const TFunctionArea& area : sorted) highest = std::max<std::uint64_t>(highest, area.end);
    for (const TFunctionArea& area : sorted)
      if (area.start <= runEnd + 1) runEnd = std::max<std::uint64_t>(runEnd, area.end);
    const std::uint64_t gap = runEnd + 1;
    if (gap > highest || highest - gap > kGapReach) return false;
    AddArea(static_cast<CodeAddress>(gap), 0, {}, false);
    return true;
  }

  void ParseArea(std::size_t index) {
    states_[index].pending = false;
    const CodeAddress start = info_.areas[index].start;
    TRegisterValues registers = info_.areas[index].registers;
    TSequence sequence;
    CodeAddress at = start;
    for (;;) {
      // Areas found meanwhile may start above, or inside what was parsed.
      const CodeAddress limit = LimitAbove(start);
      if (at >= limit) {
        info_.areas[index].end = limit - 1;
        return;
      }
      const TRegisterValues before = registers;
      const TDecodedInstruction in = DecodeInstruction(reader_, at, &registers);
      info_.areas[index].end = in.info.next - 1;
      if (!in.info.valid || in.info.next > limit || in.info.next <= at) {
        Fail(at, kErrorInvalidCode, kInvalidCodeText);
        return;
      }
      if (EndsArea(in, sequence, registers)) return;
      if (registers != before) {
        AddArea(in.info.next, at, registers, false);
        return;
      }
      at = in.info.next;
    }
  }

  // What the instructions just before told of exception frames and case tables.
  struct TSequence {
    std::optional<std::uint32_t> pushed;        // the previous instruction pushed this immediate
    std::optional<std::uint32_t> comparedCount;  // the previous one compared a register with it
    std::uint8_t comparedRegister = 0;
    std::optional<std::uint32_t> caseEntries;    // ... and the one before jumped above it
  };

  bool EndsArea(const TDecodedInstruction& in, TSequence& sequence, const TRegisterValues& registers) {
    const TInstructionInfo& info = in.info;
    if (IsReturn(info.opcode)) return true;
    if (sequence.pushed && in.segment == kFs) NoteExceptionFrame(in, *sequence.pushed, registers);
    if (sequence.caseEntries && IsCaseJump(in, sequence)) {
      AddCaseTable(in, *sequence.caseEntries, registers);
      return true;
    }
    TSequence after;
    if (info.opcode == kPushImmediate && in.length == kPushImmediateLength) after.pushed = in.immediate;
    if (info.opcode == 0x83 && in.reg == 7 && in.mod == 3) {
      after.comparedCount = in.immediate & 0xFF;
      after.comparedRegister = in.rm;
    }
    if (sequence.comparedCount) {
      after.caseEntries = CaseCountAfter(info.opcode, *sequence.comparedCount);
      after.comparedRegister = sequence.comparedRegister;
    }
    if (info.isCall || info.isJump) {
      FollowBranch(in, sequence, registers);
      if (failed_) return true;
      if (IsUnconditionalJump(in)) return true;
      const CodeAddress target = info.target;
      if (target != 0 && (routines_.Raises(target) || target == throwRoutine_)) return true;
    }
    sequence = after;
    return false;
  }

  // push handler; push dword ptr fs:[reg] (reg not known, so 0) or push dword ptr fs:[0]
  void NoteExceptionFrame(const TDecodedInstruction& in, std::uint32_t handler, const TRegisterValues& registers) {
    if (in.info.opcode != 0xFF || in.reg != 6 || in.mod != 0) return;
    const TMemoryOperand& memory = in.memory;
    const bool throughRegister = in.length == 3 && memory.base >= 0 && memory.index < 0 &&
                                 memory.displacementSize == 0 && registers.value[memory.base] == 0;
    const bool throughZero = in.length == 7 && memory.base < 0 && memory.index < 0 && memory.displacement == 0;
    if (throughRegister || throughZero) AddArea(handler, in.info.start, {}, true);
  }

  // jmp dword ptr [reg*4+table] with the table right behind it
  static bool IsCaseJump(const TDecodedInstruction& in, const TSequence& sequence) {
    const TMemoryOperand& memory = in.memory;
    return in.info.opcode == 0xFF && in.reg == 4 && in.mod == 0 && !in.addressSize16 && memory.base < 0 &&
           memory.index == sequence.comparedRegister && memory.scale == 4 &&
           static_cast<CodeAddress>(memory.displacement) == in.info.next;
  }

  void AddCaseTable(const TDecodedInstruction& in, std::uint32_t entries, const TRegisterValues& registers) {
    const CodeAddress table = in.info.next;
    if (entries == 0) return;
    AddDataArea(table, entries * 4, true);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::optional<std::uint32_t> target = ReadDword(reader_, table + 4 * i);
      if (!target) {
        Fail(table + 4 * i, kErrorInvalidCode, kInvalidCodeText);
        return;
      }
      AddArea(*target, in.info.start, registers, true);
    }
  }

  void FollowBranch(const TDecodedInstruction& in, const TSequence& sequence, const TRegisterValues& registers) {
    const TInstructionInfo& info = in.info;
    if (info.displacementAt == 0 && info.pointerCell == 0) {
      info_.unresolvedBranches.push_back({info.isCall, info.start, info.next});
      return;
    }
    const CodeAddress target = info.target;
    if (target != 0) {
      if (target == routines_.anyException) AddArea(info.next, info.start, registers, true);
      if (target == routines_.finally) {
        AddArea(info.next, info.start, registers, true);
        if (sequence.pushed) AddArea(*sequence.pushed, info.start, {}, true);
      }
      if (target == routines_.onException) {
        AddHandlerTable(info);
        return;
      }
    }
    if (info.targetSize < 4 || (info.isJump && bounds_.Contains(target))) {
      AddArea(target, info.start, registers, true);
      return;
    }
    AddOutsideCall(info);
  }

  // A 32-bit count below 256, then {class, handler} pairs.
  void AddHandlerTable(const TInstructionInfo& info) {
    const CodeAddress table = info.next;
    const std::optional<std::uint32_t> count = ReadDword(reader_, table);
    if (!count || *count >= kMaxHandlerEntries) {
      Fail(table, kErrorInvalidCode, kInvalidCodeText);
      return;
    }
    AddDataArea(table, 4 + 8 * *count, false);
    for (std::uint32_t i = 0; i < *count; ++i) {
      const std::optional<std::uint32_t> handler = ReadDword(reader_, table + 4 + 8 * i + 4);
      if (!handler) {
        Fail(table, kErrorInvalidCode, kInvalidCodeText);
        return;
      }
      AddArea(*handler, info.start, {}, true);
    }
  }

  // An import thunk (jmp dword ptr [cell]) leads to the routine in its cell.
  CodeAddress ThroughThunk(CodeAddress target) const {
    const TDecodedInstruction thunk = DecodeInstruction(reader_, target);
    if (thunk.info.valid && thunk.info.opcode == 0xFF && thunk.reg == 4 && thunk.info.pointerCell != 0 &&
        thunk.info.target != 0)
      return thunk.info.target;
    return target;
  }

  void AddOutsideCall(const TInstructionInfo& info) {
    const bool known = std::any_of(info_.outsideCalls.begin(), info_.outsideCalls.end(),
                                   [&](const TOutsideCall& call) { return call.next == info.next; });
    if (known) return;
    info_.outsideCalls.push_back({info.isCall, info.start, info.next, ThroughThunk(info.target),
                                  info.relativeTarget, info.displacementAt, info.pointerCell});
    if (info.pointerCell != 0) info_.copyInfo.copySize += 4;
  }

  void Finish() {
    info_.valid = true;
    std::uint64_t low = UINT64_MAX, high = 0;
    for (const TFunctionArea& area : info_.areas) {
      low = std::min<std::uint64_t>(low, area.start);
      high = std::max<std::uint64_t>(high, area.end);
    }
    info_.lowAddress = static_cast<CodeAddress>(low);
    info_.codeSize = static_cast<std::uint32_t>(high - low + 1);
    info_.copyInfo.copySize += info_.codeSize + 4;
    info_.patchable = Patchable();
  }

  // The entry's first 6 bytes can take a 5-byte jump when straight code runs that far and no
  // branch among them loses its target by being moved.
  bool Patchable() const {
    std::vector<std::size_t> order(info_.areas.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](auto a, auto b) { return info_.areas[a].start < info_.areas[b].start; });
    std::uint64_t straight = 0;
    std::uint64_t expected = info_.entry;
    for (std::size_t i : order) {
      const TFunctionArea& area = info_.areas[i];
      if (area.start < info_.entry) continue;
      if (area.start != expected || area.isCaseTable || area.isHandlerTable) break;
      if (area.start != info_.entry && states_[i].branchTarget) break;
      straight += area.end - area.start + 1;
      expected = static_cast<std::uint64_t>(area.end) + 1;
    }
    if (straight <= 5) return false;
    for (CodeAddress at = info_.entry; at < info_.entry + 6;) {
      const TInstructionInfo info = ParseCode(reader_, at);
      const bool branch = (info.isCall || info.isJump) && (info.displacementAt != 0 || info.pointerCell != 0);
      if (branch && !info.canWiden && info.targetSize < 4) return false;
      at = info.next;
    }
    return true;
  }

  const IFunctionEnvironment& environment_;
  const ICodeReader& reader_;
  const TRuntimeRoutines& routines_;
  TFunctionInfo& info_;
  std::vector<TAreaState> states_;
  TCodeBounds bounds_;
  CodeAddress throwRoutine_ = 0;
  bool failed_ = false;
};

}  // namespace

bool TRuntimeRoutines::Raises(CodeAddress target) const {
  return target == raise || std::binary_search(raising.begin(), raising.end(), target);
}

void ParseFunction(const IFunctionEnvironment& environment, CodeAddress entry, const TRuntimeRoutines& routines,
                   TFunctionInfo& info) {
  TFunctionWalker(environment, routines, info).Walk(entry);
}
