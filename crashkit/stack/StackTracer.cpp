#include "StackTracer.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <exception>
#include <span>
#include <vector>

#include "AnalysedFunctions.h"
#include "CallSite.h"
#include "ChainSelection.h"
#include "ExplicitCandidates.h"
#include "InstructionDecoder.h"
#include "RecursionRemoval.h"
#include "StackText.h"
#include "text/CaseFolding.h"

namespace {

constexpr CodeAddress kLowestCode = 8;
constexpr int kCollected = 25;
constexpr int kChecked = 650;
constexpr int kDone = 1000;

// A position between two progress marks after `done` of `count` steps.
int Between(int from, int to, size_t done, size_t count)
{
    return count == 0 ? to : from + static_cast<int>(static_cast<uint64_t>(to - from) * done / count);
}

std::mutex& TraceMutex()
{
    static std::mutex mutex;
    return mutex;
}

// One item named: module, unit, function and lines of its code at lookupAddress.
TNamedStackItem NameItem(const ICodeNamer& namer, TItemAddress address, TItemAddress lookupAddress, bool forced,
                         const TStackTraceOptions& options)
{
    TNamedStackItem named;
    named.forced = forced;
    TStackItem& item = named.item;
    item.address = address;
    const std::optional<TCodeName> name = namer.Name(lookupAddress);
    if (!name) {
        item.moduleName = u"???";
        return named;
    }
    item.moduleName = name->module;
    item.unitName = name->unit;
    item.functionName = name->function;
    named.functionStart = name->functionStart;
    if (name->functionStart != 0 && name->functionStart <= item.address)
        item.relativeAddress = static_cast<uint32_t>(item.address - name->functionStart);
    item.relativeLine = name->line;
    if (options.showRelativeLines && name->line > 0 && name->functionStart != 0) {
        const std::optional<TCodeName> first = namer.Name(name->functionStart);
        if (first && first->line > 0) {
            item.line = name->line;
            item.relativeLine = name->line - first->line;
        }
    }
    return named;
}

bool Listed(const TNamedStackItem& named, const TStackTraceOptions& options)
{
    if (named.forced)
        return true;
    const bool hasLine = named.item.line > 0 || named.item.relativeLine > 0;
    return !named.item.functionName.empty() && (hasLine || !options.hideItemsWithoutLine);
}

// Text, array, CRCs and module notes of the listed items, most recent first.
void ComposeResult(const ICodeNamer& namer, const std::vector<TNamedStackItem>& listed,
                   const TStackTraceOptions& options, TStackTraceResult& result)
{
    result.text = ComposeStackText(listed, options.showRelativeAddresses, options.showRelativeLines);
    for (const TNamedStackItem& named : listed) {
        result.items.push_back(named.item);
        result.hasLine = result.hasLine || named.item.line > 0 || named.item.relativeLine > 0;
        if (result.functionStart == 0 && named.functionStart != 0) {
            result.functionStart = named.functionStart;
            result.functionItemAddress = named.item.address;
        }
        const UnicodeString note = namer.ModuleNote(named.item.address);
        if (note.empty())
            continue;
        const UnicodeString entry = named.item.moduleName + u"|" + note;
        bool known = false;
        for (const UnicodeString& existing : result.moduleNotes)
            known = known || SameTextW(existing, entry);
        if (!known)
            result.moduleNotes.push_back(entry);
    }
    const TCallStackCrcs crcs = CallStackCrcs(listed);
    result.firstItemCrc = crcs.firstItem;
    result.callStackCrc = crcs.callStack;
}

class TTrace {
public:
    TTrace(const IFunctionEnvironment& memory, const ICodeNamer& namer, const TStackRegisters& registers,
           const TStackTraceOptions& options)
        : memory_(memory), namer_(namer), registers_(registers), options_(options),
          functions_(options.functions ? *options.functions : ownFunctions_)
    {
    }

    TStackTraceResult Run();

private:
    bool Cancelled() const { return options_.cancel && options_.cancel->load(std::memory_order_relaxed); }
    UnicodeString LocationLine(TItemAddress address) const;
    UnicodeString ErrorNote(const char* phase, const std::optional<TItemAddress>& faultAddress) const;
    void Progress(int position) const
    {
        if (options_.progress)
            options_.progress->SetPosition(position);
    }

    void Collect(std::span<const uint8_t> stack);
    void RecordFrameSlots();
    void ScanStack(std::span<const uint8_t> stack);
    void TestExplicitCandidates();
    void TestValue(CodeAddress stackAddress, CodeAddress value, bool withoutCall);
    void AddForced(CodeAddress value, bool threadStart);
    void AddForcedFromStack(CodeAddress stackAddress, CodeAddress value);
    void NameCandidate(TStackCandidate& candidate) const;
    void SetCallee(TStackCandidate& candidate, const TVerifiedCall& call);
    std::vector<CodeAddress> TableTargets(const TDecodedInstruction& call) const;
    bool CalleeHolds(CodeAddress callee, CodeAddress address);
    bool InModule(CodeAddress address) const;
    const TKnownRuntime& Runtime() { return functions_.Runtime(namer_); }
    std::shared_ptr<const TFunctionInfo> Function(CodeAddress entry);
    bool StartsAnInstructionOfItsFunction(CodeAddress address);
    void DeepChecks();
    bool DeepCheck(TStackCandidate& item);
    std::optional<TVerifiedCall> RuntimeCallAt(CodeAddress value);
    void SelectChains();

    const IFunctionEnvironment& memory_;
    const ICodeNamer& namer_;
    const TStackRegisters& registers_;
    const TStackTraceOptions& options_;
    std::vector<TStackCandidate> items_;
    std::vector<CodeAddress> frameSlots_;
    TAnalysedFunctions ownFunctions_;
    TAnalysedFunctions& functions_;
};

// The exception's line under an internal error; the bare address when naming is what failed.
UnicodeString TTrace::LocationLine(TItemAddress address) const
{
    try {
        return FormatStackItem(namer_, address, options_.showRelativeAddresses, options_.showRelativeLines);
    } catch (const std::exception&) {
        return HexAddress(address);
    }
}

// The phase that failed, where it failed when that is known, and the exception's location.
UnicodeString TTrace::ErrorNote(const char* phase, const std::optional<TItemAddress>& faultAddress) const
{
    const std::string name = phase;
    UnicodeString text = u">> internal error in " + UnicodeString(name.begin(), name.end());
    if (faultAddress)
        text += u":\r\n" + LocationLine(*faultAddress);
    if (options_.exactAddress && registers_.instruction)
        text += u"\r\n>> original exception location: \r\n" + LocationLine(registers_.instruction);
    return text;
}

void TTrace::RecordFrameSlots()
{
    const CodeAddress sp = registers_.stackPointer, top = registers_.stackTop;
    CodeAddress frame = registers_.framePointer;
    if (frame == 0)
        return;
    if (frame + 4 > sp && frame + 4 < top)
        frameSlots_.push_back(frame + 4);
    while (true) {
        const std::optional<uint32_t> next = ReadDword(memory_.Code(), frame);
        if (!next || *next >= top - 4 || *next <= frame)
            break;
        frame = *next;
        if (frame + 4 > sp)
            frameSlots_.push_back(frame + 4);
    }
}

// What the debug information says of a candidate's own code.
void TTrace::NameCandidate(TStackCandidate& candidate) const
{
    if (const std::optional<TCodeName> name = namer_.Name(candidate.lookupAddress)) {
        candidate.hasLine = name->line > 0;
        candidate.hasDebugInfo = name->hasDebugInfo;
    }
}

// The routine a call leads to, through an import thunk, and whether the runtime's exception
// and message handling is behind it. A target outside every known module (a cell the loader
// has not filled, code made at run time) is as unknown as a register's. An unknown target may
// still be one of a table's, or come from a register.
void TTrace::SetCallee(TStackCandidate& candidate, const TVerifiedCall& call)
{
    const CodeAddress routine = call.target ? ResolveThunk(memory_.Code(), call.target) : 0;
    candidate.callee = routine && InModule(routine) ? routine : 0;
    candidate.calleeIsRuntimeRoutine = Runtime().IsRoutine(candidate.callee);
    candidate.calleeChoices.clear();
    candidate.calleeInRegister = false;
    if (candidate.callee)
        return;
    const TDecodedInstruction decoded = DecodeInstruction(memory_.Code(), call.start);
    candidate.calleeChoices = TableTargets(decoded);
    candidate.calleeInRegister = decoded.info.valid && decoded.hasModRm &&
                                 (decoded.mod == 3 || decoded.memory.base >= 0 || decoded.memory.index >= 0);
}

// The functions a call through a table of pointers (call [index*4 + table]) may reach: the
// table's entries from its start while each is where a named function starts.
std::vector<CodeAddress> TTrace::TableTargets(const TDecodedInstruction& call) const
{
    constexpr uint32_t kLargestTable = 256;
    const TMemoryOperand& table = call.memory;
    std::vector<CodeAddress> targets;
    if (!call.info.valid || !call.info.isCall || call.mod == 3 || call.addressSize16 || table.base >= 0 ||
        table.index < 0 || table.scale != 4)
        return targets;
    for (uint32_t i = 0; i < kLargestTable; ++i) {
        const std::optional<uint32_t> entry =
            ReadDword(memory_.Code(), static_cast<CodeAddress>(table.displacement) + 4 * i);
        const std::optional<TCodeName> name = entry ? namer_.Name(*entry) : std::nullopt;
        if (!name || name->functionStart != *entry)
            break;
        targets.push_back(*entry);
    }
    return targets;
}

// Code or data of a known module.
bool TTrace::InModule(CodeAddress address) const
{
    return namer_.Name(address).has_value() || namer_.InModuleData(address);
}

void TTrace::AddForced(CodeAddress value, bool threadStart)
{
    TStackCandidate candidate;
    candidate.value = value;
    candidate.lookupAddress = value;
    candidate.forced = candidate.anchor = true;
    if (threadStart) {
        // The thread's first routine holds the next more recent call.
        candidate.callee = value;
    } else if (options_.notAfterRaisingCall) {
        candidate.outsideItsCode = !StartsAnInstructionOfItsFunction(value);
    } else {
        // Raised by a call: the exception comes from that call, which lies before the address.
        TStackCandidate raising = candidate;
        const std::optional<TVerifiedCall> call = VerifyCall(memory_.Code(), value);
        if (call && call->target) {
            SetCallee(raising, *call);
            if (Runtime().Raises(raising.callee)) {
                raising.lookupAddress = value - 1;
                candidate = raising;
            }
        }
    }
    NameCandidate(candidate);
    items_.push_back(candidate);
}

// The faulting instruction's address found on the stack: listed like the exception address
// when it decodes as an instruction of a known module.
void TTrace::AddForcedFromStack(CodeAddress stackAddress, CodeAddress value)
{
    if (!memory_.IsCommitted(value) || !InModule(value) || !ParseCode(memory_.Code(), value).valid)
        return;
    TStackCandidate candidate;
    candidate.stackAddress = stackAddress;
    candidate.value = candidate.lookupAddress = value;
    candidate.forced = candidate.anchor = true;
    NameCandidate(candidate);
    items_.push_back(candidate);
}

void TTrace::TestValue(CodeAddress stackAddress, CodeAddress value, bool withoutCall)
{
    if (value < kLowestCode)
        return;
    if (options_.exactAddress && registers_.instruction && value == registers_.instruction)
        return AddForcedFromStack(stackAddress, value);
    const bool frameSlot = std::find(frameSlots_.begin(), frameSlots_.end(), stackAddress) != frameSlots_.end();
    std::array<uint8_t, 8> before{};
    const bool endsInCall = memory_.Code().Read(value - 8, before.data(), before.size()) && EndsInCall(before);
    if ((!endsInCall && !frameSlot && !withoutCall) || !memory_.IsCommitted(value - 1) || !InModule(value - 1))
        return;
    const std::optional<TVerifiedCall> call = endsInCall || frameSlot ? VerifyCall(memory_.Code(), value) : std::nullopt;
    if (!call && !withoutCall)
        return;
    TStackCandidate candidate;
    candidate.stackAddress = stackAddress;
    candidate.value = value;
    candidate.lookupAddress = value - 1;
    candidate.anchor = frameSlot;
    candidate.withoutCall = !call;
    if (call)
        SetCallee(candidate, *call);
    NameCandidate(candidate);
    items_.push_back(candidate);
}

void TTrace::ScanStack(std::span<const uint8_t> stack)
{
    const CodeAddress sp = registers_.stackPointer;
    const uint64_t span = stack.size();
    for (uint64_t offset = span & ~uint64_t{3}; offset >= 4; offset -= 4) {
        if (Cancelled())
            return;
        const size_t at = offset - 4;
        const CodeAddress value = stack[at] | stack[at + 1] << 8 | stack[at + 2] << 16 |
                                  static_cast<uint32_t>(stack[at + 3]) << 24;
        TestValue(static_cast<CodeAddress>(sp + at), value, false);
        Progress(static_cast<int>((span - at) * kCollected / span));
    }
}

void TTrace::TestExplicitCandidates()
{
    const std::vector<TExplicitCandidate> entries = ParseExplicitCandidates(options_.explicitCandidates);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Cancelled())
            return;
        TestValue(0, entries[i].value, entries[i].withoutCall);
        Progress(static_cast<int>(i * kCollected / entries.size()));
    }
}

void TTrace::Collect(std::span<const uint8_t> stack)
{
    if (registers_.threadStart)
        AddForced(registers_.threadStart, true);
    if (options_.explicitCandidates.empty()) {
        RecordFrameSlots();
        ScanStack(stack);
    } else {
        TestExplicitCandidates();
    }
    if (Cancelled())
        return;
    if (registers_.instruction && !options_.noExceptionAddress && (items_.empty() || !items_.back().forced ||
                                                                  items_.back().value != registers_.instruction))
        AddForced(registers_.instruction, false);
    Progress(kCollected);
}

std::shared_ptr<const TFunctionInfo> TTrace::Function(CodeAddress entry)
{
    return functions_.Function(memory_, entry, Runtime());
}

// The address is where an instruction of the function that the debug information or the
// exports place it in starts.
bool TTrace::StartsAnInstructionOfItsFunction(CodeAddress address)
{
    const std::optional<TCodeName> name = namer_.Name(address);
    if (!name || name->functionStart == 0 || name->functionStart > address)
        return false;
    const auto entry = static_cast<CodeAddress>(name->functionStart);
    return IsInstructionBoundary(memory_.Code(), *Function(entry), address);
}

bool TTrace::CalleeHolds(CodeAddress callee, CodeAddress address)
{
    if (InWalkedCode(*Function(callee), address))
        return true;
    // A function the walk cannot follow to the address still holds it by its name's start.
    const std::optional<TCodeName> name = namer_.Name(address);
    if (name && name->functionStart == callee)
        return true;
    // A system routine that dispatches reaches the code through routines of its module that
    // nothing names.
    if (!name || name->hasDebugInfo || !Runtime().IsRoutine(callee))
        return false;
    const std::optional<TCodeName> routine = namer_.Name(callee);
    return routine && !routine->hasDebugInfo && routine->module == name->module;
}

// The call of one of the runtime's routines that returns to value: their code is entered
// from each other and from the system in ways no single walk follows.
std::optional<TVerifiedCall> TTrace::RuntimeCallAt(CodeAddress value)
{
    for (const CodeAddress routine : Runtime().Routines()) {
        if (const std::optional<TVerifiedCall> call = WalkedCallAt(*Function(routine), value))
            return call;
    }
    return std::nullopt;
}

// Whether the item stays: the function holding its call is walked, and where the walk reached
// the call, it must be one of the function's calls, whose target then leads on. An item of a
// function that cannot be walked stays as its decoded call says, but no call leads into it.
bool TTrace::DeepCheck(TStackCandidate& item)
{
    const std::optional<TCodeName> name = namer_.Name(item.lookupAddress);
    const auto entry = static_cast<CodeAddress>(name ? name->functionStart : 0);
    if (Runtime().IsRoutine(entry)) {
        if (const std::optional<TVerifiedCall> call = RuntimeCallAt(item.value)) {
            SetCallee(item, *call);
            return true;
        }
    }
    // Code in a module's data has no function to walk.
    if (entry == 0)
        return true;
    const std::shared_ptr<const TFunctionInfo> function = Function(entry);
    if (!function->valid) {
        item.unanalysable = true;
        return true;
    }
    if (const std::optional<TVerifiedCall> call = WalkedCallAt(*function, item.value)) {
        SetCallee(item, *call);
        return true;
    }
    // Code that the walk did not reach (a landing pad, say) keeps the call as decoded.
    return !InWalkedCode(*function, item.lookupAddress) || item.withoutCall;
}

void TTrace::DeepChecks()
{
    const size_t first = registers_.threadStart ? 1 : 0;
    std::vector<TStackCandidate> kept(items_.begin(), items_.begin() + static_cast<ptrdiff_t>(std::min(first, items_.size())));
    for (size_t i = first; i < items_.size(); ++i) {
        if (Cancelled())
            return;
        TStackCandidate& item = items_[i];
        if (item.forced || DeepCheck(item))
            kept.push_back(item);
        Progress(Between(kCollected, kChecked, i + 1, items_.size()));
    }
    items_.swap(kept);
    Progress(kChecked);
}

void TTrace::SelectChains()
{
    const size_t count = items_.size();
    SelectCallChains(
        items_, [this](CodeAddress callee, CodeAddress address) { return CalleeHolds(callee, address); },
        options_.cancel,
        // The oldest anchor stops short of the end, which the phase reaches only when done.
        [this, count](size_t anchor) { Progress(Between(kChecked, kDone, count - anchor, count + 1)); });
}

TStackTraceResult TTrace::Run()
{
    TStackTraceResult result;
    const CodeAddress sp = registers_.stackPointer, top = registers_.stackTop;
    std::vector<uint8_t> stack(top > sp ? top - sp : 0);
    if (!stack.empty() && !memory_.Code().Read(sp, stack.data(), stack.size()))
        return result;
    const char* phase = "CollectPossibleStackItems";
    try {
        Collect(stack);
        if (Cancelled())
            return result;
        phase = "RemoveRecursiveStackAreas";
        RemoveRepeatedBlocks(items_);
        phase = "InDeepChecks";
        DeepChecks();
        if (Cancelled())
            return result;
        if (!options_.dumpAllCandidates) {
            phase = "RealizeOptimalLinkChains";
            SelectChains();
            if (Cancelled())
                return result;
            phase = "RemoveRecursiveAreas";
            RemoveRepeatedBlocks(items_);
        }
        Progress(kDone);
        phase = "FillFinalOutput";
        std::vector<TNamedStackItem> listed;
        for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
            TNamedStackItem named = NameItem(namer_, it->value, it->lookupAddress, it->forced, options_);
            if (Listed(named, options_))
                listed.push_back(std::move(named));
        }
        if (!items_.empty())
            result.mostRecentAddress = items_.back().value;
        phase = "ComposeResult";
        ComposeResult(namer_, listed, options_, result);
    } catch (const ECodeFault& fault) {
        result = {};
        result.text = ErrorNote(phase, fault.Address());
    } catch (const std::exception&) {
        result = {};
        result.text = ErrorNote(phase, std::nullopt);
    }
    return result;
}

} // namespace

TStackTraceLock::TStackTraceLock() : lock_(TraceMutex())
{
}

TStackTraceResult TraceStack(const IFunctionEnvironment& memory, const ICodeNamer& namer,
                             const TStackRegisters& registers, const TStackTraceOptions& options)
{
    const TStackTraceLock lock;
    return TraceStack(memory, namer, registers, options, lock);
}

TStackTraceResult TraceStack(const IFunctionEnvironment& memory, const ICodeNamer& namer,
                             const TStackRegisters& registers, const TStackTraceOptions& options,
                             const TStackTraceLock&)
{
    return TTrace(memory, namer, registers, options).Run();
}

TStackTraceResult ComposeStackTrace(const ICodeNamer& namer, std::span<const TItemAddress> addresses,
                                    const TStackTraceOptions& options)
{
    TStackTraceResult result;
    std::vector<TNamedStackItem> listed;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (options.cancel && options.cancel->load(std::memory_order_relaxed))
            return result;
        const bool first = i == 0;
        TNamedStackItem named = NameItem(namer, addresses[i], first ? addresses[i] : addresses[i] - 1, first, options);
        if (Listed(named, options))
            listed.push_back(std::move(named));
    }
    if (!addresses.empty())
        result.mostRecentAddress = addresses.front();
    ComposeResult(namer, listed, options, result);
    if (options.progress)
        options.progress->SetPosition(kDone);
    return result;
}

UnicodeString FormatStackItem(const ICodeNamer& namer, TItemAddress address, bool showRelativeAddress,
                              bool showRelativeLine)
{
    UnicodeString text = HexAddress(address);
    const std::optional<TCodeName> name = namer.Name(address);
    if (!name || !name->hasDebugInfo)
        return text + (showRelativeAddress ? u" +0" : u"") + u" ???";
    auto number = [](int64_t value) {
        const std::string digits = std::to_string(value);
        return UnicodeString(digits.begin(), digits.end());
    };
    if (showRelativeAddress) {
        char digits[17];
        std::snprintf(digits, sizeof digits, "%llx",
                      static_cast<unsigned long long>(name->functionStart <= address ? address - name->functionStart : 0));
        text += u" +" + UnicodeString(digits, digits + std::char_traits<char>::length(digits));
    }
    text += u" " + name->module + u" " + name->unit + u" ";
    if (name->line > 0)
        text += number(name->line) + u" ";
    if (showRelativeLine) {
        const std::optional<TCodeName> first = namer.Name(name->functionStart);
        const int32_t firstLine = first && first->line > 0 ? first->line : 0;
        text += u"+" + number(name->line - firstLine) + u" ";
    }
    return text + name->function;
}
