#include "FunctionText.h"

#include <algorithm>
#include <set>
#include <vector>

#include "FunctionWalker.h"
#include "InstructionDecoder.h"
#include "InstructionText.h"
#include "NumberText.h"
#include "TextComment.h"

namespace {

// Distance from a possible text to the end of its module, so that reading it stays inside.
constexpr CodeAddress kTextMargin = kTextCommentLength;
// Bytes between areas are shown one a line up to this many; a longer gap is one cut mark, so
// that a table entry far away cannot blow the text up.
constexpr CodeAddress kMaxGapLines = 64;

struct TLine {
  std::string text;
  std::uint32_t sourceLine = 0;
  bool crash = false;
};

std::string WithComment(std::string line, const std::string& comment) {
  if (line.size() < kCommentColumn) line.resize(kCommentColumn, ' ');
  return line + "  ; " + comment;
}

class TFunctionComposer {
 public:
  TFunctionComposer(const IFunctionEnvironment& environment, const ISymbolSource& symbols,
                    const TDisAsmOptions& options, const TFunctionInfo& info)
      : reader_(environment.Code()), symbols_(symbols), options_(options), info_(info) {}

  std::string Compose() {
    functionName_ = FunctionName();
    std::vector<TFunctionArea> areas = info_.areas;
    std::sort(areas.begin(), areas.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < areas.size(); ++i)
      if (areas[i].start <= areas[i - 1].end) return kPlacingError;
    CollectLabels(areas);
    for (std::size_t i = 0; i < areas.size(); ++i) {
      if (i > 0) AddDataBytes(areas[i - 1].end + 1, areas[i].start);
      AddArea(areas[i]);
    }
    return Join(Limited());
  }

 private:
  std::string FunctionName() const {
    const std::string name = symbols_.NameOf(info_.entry);
    return name.empty() ? "sub_" + NumberText::Hex(info_.entry) : "public " + name;
  }

  bool IsCodeArea(const TFunctionArea& area) const { return !area.isCaseTable && !area.isHandlerTable; }

  // Areas that a branch or a table leads to get a label.
  void CollectLabels(const std::vector<TFunctionArea>& areas) {
    std::set<CodeAddress> starts;
    for (const TFunctionArea& area : areas) starts.insert(area.start);
    for (const TFunctionArea& area : areas) {
      if (IsCodeArea(area)) {
        for (CodeAddress at = area.start; at <= area.end;) {
          const TInstructionInfo info = ParseCode(reader_, at);
          if (info.relativeTarget && starts.count(info.target)) labels_.insert(info.target);
          if (!info.valid || info.next <= at) break;
          at = info.next;
        }
      } else {
        for (const auto& [entry, target] : TableEntries(area))
          if (starts.count(target)) labels_.insert(target);
      }
    }
    labels_.insert(info_.entry);
  }

  std::string Label(CodeAddress target) const {
    if (!labels_.count(target)) return {};
    return target == info_.entry ? functionName_ : "loc_" + NumberText::Hex(target);
  }

  // Entry address and target of each case or handler entry.
  std::vector<std::pair<CodeAddress, CodeAddress>> TableEntries(const TFunctionArea& area) const {
    std::vector<std::pair<CodeAddress, CodeAddress>> entries;
    const CodeAddress first = area.isCaseTable ? area.start : area.start + 4;
    const std::uint32_t step = area.isCaseTable ? 4 : 8;
    const std::uint32_t offset = area.isCaseTable ? 0 : 4;
    for (std::uint64_t at = first; at + step - 1 <= area.end; at += step) {
      const std::optional<std::uint32_t> target = ReadDword(reader_, static_cast<CodeAddress>(at + offset));
      if (target) entries.emplace_back(static_cast<CodeAddress>(at), *target);
    }
    return entries;
  }

  std::string Address(CodeAddress address) const { return NumberText::Hex8(address); }

  void AddLine(std::string text, CodeAddress address = 0, CodeAddress next = 0) {
    TLine line;
    line.crash = next > address && options_.crashAddress >= address && options_.crashAddress < next;
    if (next > address) line.sourceLine = symbols_.LineOf(address);
    if (line.crash) text[9] = '>';
    line.text = std::move(text);
    lines_.push_back(std::move(line));
  }

  void AddDataBytes(CodeAddress from, CodeAddress to) {
    if (to - from > kMaxGapLines) {
      AddLine(kCutMark);
      return;
    }
    for (CodeAddress at = from; at < to; ++at) {
      std::uint8_t byte = 0;
      reader_.Read(at, &byte, 1);
      AddLine(Address(at) + "   " + DataByteText(byte), at, at + 1);
    }
  }

  void AddLabel(const TFunctionArea& area) {
    if (!options_.formatted || !labels_.count(area.start)) return;
    AddLine({});
    if (area.start == info_.entry)
      AddLine(functionName_ + ":  ; function entry point");
    else
      AddLine("loc_" + NumberText::Hex(area.start) + ":");
  }

  void AddArea(const TFunctionArea& area) {
    AddLabel(area);
    if (area.isCaseTable) {
      bool first = true;
      for (const auto& [entry, target] : TableEntries(area)) {
        const std::string line = Address(entry) + "  dd loc_" + NumberText::Hex(target);
        AddLine(first ? WithComment(line, "case jump table") : line, entry, entry + 4);
        first = false;
      }
      return;
    }
    if (area.isHandlerTable) {
      for (const auto& [entry, handler] : TableEntries(area)) {
        const std::uint32_t classReference = ReadDword(reader_, entry).value_or(0);
        std::string className = classReference == 0 ? "" : symbols_.ClassNameOf(classReference);
        if (classReference != 0 && className.empty()) className = "EUnknown";
        const std::string text = classReference == 0 ? "  else loc_" : "  on " + className + " do loc_";
        AddLine(Address(entry) + text + NumberText::Hex(handler), entry, entry + 8);
      }
      return;
    }
    for (CodeAddress at = area.start; at <= area.end;) {
      const TDecodedInstruction in = DecodeInstruction(reader_, at);
      if (!in.info.valid || in.info.next <= at) {
        AddDataBytes(at, area.end + 1);
        return;
      }
      AddInstruction(in);
      at = in.info.next;
    }
  }

  void AddInstruction(const TDecodedInstruction& in) {
    const TBranchLabeler labeler = [this](CodeAddress target) { return Label(target); };
    std::string line = Address(in.info.start) + "   " + InstructionText(in, labeler);
    const std::string comment = Comment(in);
    if (!comment.empty()) line = WithComment(line, comment);
    AddLine(line, in.info.start, in.info.next);
    if (options_.formatted && (IsReturn(in.info.opcode) || IsUnconditionalJump(in))) AddLine(kSeparatorLine);
  }

  std::string Comment(const TDecodedInstruction& in) const {
    const TInstructionInfo& info = in.info;
    if ((info.isCall || info.isJump) && info.target != 0 && Label(info.target).empty()) {
      const std::string name = TargetName(info.target);
      if (!name.empty()) return name;
    }
    return TextComment(in);
  }

  // The symbol of a target outside the function, or of the routine an import thunk leads to.
  std::string TargetName(CodeAddress target) const {
    std::string name = symbols_.NameOf(target);
    CodeAddress named = target;
    if (name.empty()) {
      const TInstructionInfo thunk = ParseCode(reader_, target);
      if (thunk.valid && thunk.opcode == 0xFF && thunk.pointerCell != 0 && thunk.target != 0) {
        named = thunk.target;
        name = symbols_.NameOf(named);
      }
    }
    if (name.empty() || name.find('(') != std::string::npos) return name;
    const std::optional<TModuleRange> own = symbols_.ModuleOf(info_.entry);
    const std::optional<TModuleRange> other = symbols_.ModuleOf(named);
    if (other && (!own || own->start != other->start)) name += " (" + other->fileName + ")";
    return name;
  }

  // A 32-bit immediate, or the pointer stored at an absolute address, that points to text.
  std::string TextComment(const TDecodedInstruction& in) const {
    std::optional<CodeAddress> candidate;
    if (in.immediateSize == 4 && !(in.encoding & kRelative)) {
      candidate = in.immediate;
    } else if (in.hasModRm && in.mod != 3 && in.memory.base < 0 && in.memory.index < 0 && !in.addressSize16) {
      const CodeAddress cell = static_cast<CodeAddress>(in.memory.displacement);
      if (InsideModule(cell)) candidate = ReadDword(reader_, cell);
    }
    if (!candidate || !InsideModule(*candidate) || !symbols_.NameOf(*candidate).empty()) return {};
    const std::optional<std::string> text = TextAt(reader_, *candidate);
    return text ? "'" + *text + "'" : std::string();
  }

  bool InsideModule(CodeAddress address) const {
    const std::optional<TModuleRange> module = symbols_.ModuleOf(address);
    return module && address >= module->start && static_cast<std::uint64_t>(address) + kTextMargin <= module->end;
  }

  // Without a limit every line; else, when there are too many, a window of lines around the
  // crash line with the cut parts marked.
  std::vector<std::string> Limited() const {
    std::vector<std::string> texts = NumberedTexts();
    const std::size_t limit = options_.maxLines;
    if (limit == 0 || texts.size() <= limit * 12 / 10) return texts;
    std::size_t crash = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i].crash) crash = i;
    const std::size_t first = std::min(crash > limit / 2 ? crash - limit / 2 : 0, texts.size() - limit);
    std::vector<std::string> kept;
    if (first > 0) kept.push_back(kCutMark);
    kept.insert(kept.end(), texts.begin() + first, texts.begin() + first + limit);
    if (first + limit < texts.size()) kept.push_back(kCutMark);
    return kept;
  }

  // Source line numbers, right-aligned in a column as wide as the last line's number.
  std::vector<std::string> NumberedTexts() const {
    std::uint32_t lastLine = 0;
    for (const TLine& line : lines_) lastLine = std::max(lastLine, line.sourceLine);
    std::vector<std::string> texts;
    if (lastLine == 0) {
      for (const TLine& line : lines_) texts.push_back(line.text);
      return texts;
    }
    const std::size_t width = std::to_string(lastLine).size();
    std::uint32_t previous = 0;
    for (const TLine& line : lines_) {
      std::string number;
      if (line.sourceLine != 0 && line.sourceLine != previous) number = std::to_string(line.sourceLine);
      if (line.sourceLine != 0) previous = line.sourceLine;
      texts.push_back(std::string(width - number.size(), ' ') + number + " " + line.text);
    }
    return texts;
  }

  static std::string Join(const std::vector<std::string>& texts) {
    std::string joined;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) joined += "\r\n";
      joined += texts[i];
    }
    return joined;
  }

  const ICodeReader& reader_;
  const ISymbolSource& symbols_;
  const TDisAsmOptions& options_;
  const TFunctionInfo& info_;
  std::string functionName_;
  std::set<CodeAddress> labels_;
  std::vector<TLine> lines_;
};

}  // namespace

std::string DisAsmFunction(const IFunctionEnvironment& environment, const ISymbolSource& symbols,
                           CodeAddress address, const TDisAsmOptions& options, TFunctionInfo& info) {
  ParseFunction(environment, address, options.routines, info);
  if (!info.valid) return {};
  return TFunctionComposer(environment, symbols, options, info).Compose();
}
