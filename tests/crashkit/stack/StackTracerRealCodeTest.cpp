// The tracer on stacks built over the code of the real i686 DLLs. Which function calls which,
// and where each function starts, comes from GNU objdump, not from the code under test.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "CallSite.h"
#include "FunctionWalker.h"
#include "ImageFile.h"
#include "ExportTable.h"
#include "MapFileNamer.h"
#include "StackTracer.h"
#include "debuginfo/MapFileBuilder.h"
#include "debuginfo/ModuleLayout.h"
#include "system/PeImage.h"
#include "text/Utf.h"

namespace {

constexpr CodeAddress kStackBase = 0x00200000;
constexpr uint32_t kStackSize = 0x400;
constexpr CodeAddress kStackTop = kStackBase + kStackSize;

struct TCall {
    CodeAddress returnAddress;
    CodeAddress target;
};

// Functions by start, with their direct calls and their symbol names, from objdump's disassembly.
struct TObjdumpCode {
    std::map<CodeAddress, std::vector<TCall>> functions;
    std::map<CodeAddress, std::string> names;
    std::set<CodeAddress> instructions; // where each instruction starts
    // Return addresses of calls through a register or memory, by the function holding them.
    std::map<CodeAddress, std::vector<CodeAddress>> indirectReturns;
};

// objdump's lines are read without std::regex, which takes a minute over a DLL's million
// lines in this build.
std::string_view WithoutLeadingBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// The hexadecimal number text starts with, taken off it; none without a digit.
std::optional<CodeAddress> TakeHex(std::string_view& text)
{
    CodeAddress value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return value;
}

// "6c9c1000 <name>:"
std::optional<std::pair<CodeAddress, std::string>> FunctionHeader(std::string_view line)
{
    const std::optional<CodeAddress> start = TakeHex(line);
    if (!start || !line.starts_with(" <") || !line.ends_with(">:"))
        return std::nullopt;
    return std::pair{*start, std::string(line.substr(2, line.size() - 4))};
}

struct TObjdumpLine {
    CodeAddress address;
    std::string_view mnemonic;
    std::string_view operands;
};

// "  6c9c1003:\tcall   6cb47510 <name>"
std::optional<TObjdumpLine> InstructionLine(std::string_view line)
{
    line = WithoutLeadingBlanks(line);
    const std::optional<CodeAddress> address = TakeHex(line);
    if (!address || !line.starts_with(':'))
        return std::nullopt;
    line.remove_prefix(1);
    const std::string_view rest = WithoutLeadingBlanks(line);
    if (rest.empty() || rest.size() == line.size())
        return std::nullopt;
    const size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    return TObjdumpLine{*address, rest.substr(0, end), WithoutLeadingBlanks(rest.substr(end))};
}

// The target of "6cb47510 <name>".
std::optional<CodeAddress> DirectTarget(std::string_view operands)
{
    const std::optional<CodeAddress> target = TakeHex(operands);
    return target && operands.starts_with(" <") && operands.ends_with('>') ? target : std::nullopt;
}

TObjdumpCode ReadObjdump(const std::string& dll)
{
    TObjdumpCode code;
    const std::string command = std::string(CRASHKIT_I686_OBJDUMP) + " -d --no-show-raw-insn " + dll;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return code;
    std::vector<TCall>* current = nullptr;
    CodeAddress currentStart = 0;
    std::optional<CodeAddress> pendingTarget;
    bool pendingIndirect = false;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe.get())) {
        std::string_view line(buffer.data());
        if (line.ends_with('\n'))
            line.remove_suffix(1);
        if (const auto header = FunctionHeader(line)) {
            const CodeAddress start = header->first;
            // A call that ends its function returns to where the next one starts.
            if (current && pendingTarget)
                current->push_back({start, *pendingTarget});
            current = &code.functions[start];
            currentStart = start;
            code.names[start] = header->second;
            pendingTarget.reset();
            pendingIndirect = false;
        } else if (const auto instruction = current ? InstructionLine(line) : std::nullopt) {
            code.instructions.insert(instruction->address);
            if (pendingTarget)
                current->push_back({instruction->address, *pendingTarget});
            if (pendingIndirect)
                code.indirectReturns[currentStart].push_back(instruction->address);
            const bool call = instruction->mnemonic == "call";
            pendingTarget = call ? DirectTarget(instruction->operands) : std::nullopt;
            pendingIndirect = call && instruction->operands.starts_with('*');
        }
    }
    return code;
}

// The DLL's image beside a stack buffer, as one process.
class TStackedProcess : public IFunctionEnvironment, public ICodeReader {
public:
    TStackedProcess(const TImageEnvironment& image, std::vector<uint8_t> stack) : image_(image), stack_(std::move(stack)) {}

    const ICodeReader& Code() const override { return *this; }
    bool IsCommitted(CodeAddress address) const override { return InStack(address) || image_.IsCommitted(address); }
    TCodeBounds CodeBounds(CodeAddress entry) const override { return image_.CodeBounds(entry); }
    CodeAddress CxxThrowRoutine() const override { return 0; }
    std::string SystemMessage(uint32_t code) const override { return image_.SystemMessage(code); }

    bool Read(CodeAddress address, uint8_t* buffer, size_t count) const override
    {
        if (InStack(address)) {
            if (address - kStackBase + count > stack_.size())
                return false;
            std::copy_n(stack_.begin() + (address - kStackBase), count, buffer);
            return true;
        }
        return image_.Code().Read(address, buffer, count);
    }

private:
    bool InStack(CodeAddress address) const { return address >= kStackBase && address < kStackTop; }
    const TImageEnvironment& image_;
    std::vector<uint8_t> stack_;
};

class TStackBuilder {
public:
    TStackBuilder() : bytes_(kStackSize, 0)
    {
        // Small numbers and pointers into the stack, as locals and saved registers look.
        for (uint32_t offset = 0; offset < kStackSize; offset += 4)
            Put(kStackBase + offset, offset % 12 == 0 ? kStackBase + offset : offset / 4);
    }
    void Put(CodeAddress at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes_[at - kStackBase + static_cast<uint32_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
    std::vector<uint8_t> bytes_;
};

struct TRealDll : TImageFile {
    std::string path;
    TMapFileNamer namer;
    TObjdumpCode objdump;
};

// An i686 DLL with its debug information and objdump's view of its code; none when it or
// objdump is missing.
std::unique_ptr<TRealDll> LoadRealDll(const std::string& path)
{
    auto loaded = std::make_unique<TRealDll>();
    loaded->path = path;
    if (path.empty() || std::string(CRASHKIT_I686_OBJDUMP).empty() || !LoadImageFile(path, *loaded))
        return nullptr;
    loaded->namer.AddModule(loaded->map, UTF8ToWide(FileNameOf(path)));
    loaded->objdump = ReadObjdump(loaded->path);
    return loaded;
}

// The first i686 DLL the build names, loaded once.
TRealDll* RealDll()
{
    static const std::unique_ptr<TRealDll> dll = [] {
        const std::string list = CRASHKIT_STACK_DLLS;
        return LoadRealDll(list.substr(0, list.find('|')));
    }();
    return dll.get();
}

// A caller of a callee: the return address of one direct call between two distinct functions.
struct TLink {
    CodeAddress caller;
    CodeAddress returnAddress;
    CodeAddress callee;
};

std::vector<TLink> CallsOf(const TObjdumpCode& code, CodeAddress caller)
{
    std::vector<TLink> links;
    for (const TCall& call : code.functions.at(caller)) {
        if (call.target != caller && code.functions.count(call.target))
            links.push_back({caller, call.returnAddress, call.target});
    }
    return links;
}

// Three functions F1 -> F2 -> F3, each calling the next directly.
std::optional<std::pair<TLink, TLink>> FindChain(const TObjdumpCode& code)
{
    for (const auto& [start, calls] : code.functions) {
        for (const TLink& first : CallsOf(code, start)) {
            for (const TLink& second : CallsOf(code, first.callee)) {
                if (second.callee != start && !CallsOf(code, second.callee).empty())
                    return std::pair{first, second};
            }
        }
    }
    return std::nullopt;
}

std::vector<CodeAddress> FunctionStarts(const TStackTraceResult& result)
{
    std::vector<CodeAddress> starts;
    for (const TStackItem& item : result.items)
        starts.push_back(item.address - item.relativeAddress);
    return starts;
}

std::vector<CodeAddress> Addresses(const TStackTraceResult& result)
{
    std::vector<CodeAddress> addresses;
    for (const TStackItem& item : result.items)
        addresses.push_back(item.address);
    return addresses;
}

class StackTracerRealCode : public ::testing::Test {
protected:
    void SetUp() override
    {
        dll_ = RealDll();
        if (!dll_)
            GTEST_SKIP() << "no i686 DLL or objdump (CRASHKIT_STACK_DLLS, i686-w64-mingw32-objdump)";
        ASSERT_TRUE(dll_->map.Valid()) << "the DLL carries no debug information";
    }

    TStackTraceResult Trace(const TStackBuilder& stack, const TStackRegisters& registers,
                            const TStackTraceOptions& options = {})
    {
        const TStackedProcess process(*dll_->environment, stack.bytes_);
        return TraceStack(process, dll_->namer, registers, options);
    }

    TRealDll* dll_ = nullptr;
};

TEST_F(StackTracerRealCode, FindsTheChainOfCallsAndSkipsStaleReturnAddresses)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    // A stale return address: a call of another function to a third one.
    std::optional<TLink> stale;
    for (const auto& [start, calls] : dll_->objdump.functions) {
        for (const TLink& link : CallsOf(dll_->objdump, start)) {
            const std::set<CodeAddress> used = {first.caller, first.callee, second.callee};
            if (!stale && !used.count(link.caller) && !used.count(link.callee))
                stale = link;
        }
    }
    ASSERT_TRUE(stale);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x40, stale->returnAddress);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    stack.Put(kStackTop - 0xC0, stale->returnAddress + 1); // no call ends there
    const CodeAddress exception = second.callee;
    const TStackTraceResult result = Trace(stack, {exception, kStackBase + 0x100, kStackTop, 0, 0});
    EXPECT_EQ((std::vector<CodeAddress>{exception, second.returnAddress, first.returnAddress}), Addresses(result))
        << WideToUTF8(result.text);
    EXPECT_EQ((std::vector<CodeAddress>{second.callee, first.callee, first.caller}), FunctionStarts(result));
    EXPECT_EQ(exception, result.mostRecentAddress);
    ASSERT_EQ(3u, result.items.size());
    for (const TStackItem& item : result.items) {
        EXPECT_FALSE(item.functionName.empty());
        EXPECT_EQ(UTF8ToWide(dll_->path.substr(dll_->path.find_last_of('/') + 1)), item.moduleName);
    }
    // Dumping every candidate keeps the stale one.
    TStackTraceOptions dump;
    dump.dumpAllCandidates = true;
    const TStackTraceResult all = Trace(stack, {exception, kStackBase + 0x100, kStackTop, 0, 0}, dump);
    EXPECT_EQ(4u, all.items.size()) << WideToUTF8(all.text);
}

TEST_F(StackTracerRealCode, RecursionIsListedOnce)
{
    std::optional<TLink> outer;
    CodeAddress recursive = 0, recursiveReturn = 0;
    for (const auto& [start, calls] : dll_->objdump.functions) {
        for (const TCall& call : calls) {
            if (call.target == start && !recursive) {
                recursive = start;
                recursiveReturn = call.returnAddress;
            }
        }
    }
    if (!recursive)
        GTEST_SKIP() << "the DLL has no directly recursive function";
    for (const auto& [start, calls] : dll_->objdump.functions) {
        for (const TLink& link : CallsOf(dll_->objdump, start)) {
            if (!outer && link.callee == recursive)
                outer = link;
        }
    }
    ASSERT_TRUE(outer);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, outer->returnAddress);
    for (CodeAddress at = kStackTop - 0x20; at > kStackTop - 0x100; at -= 0x20)
        stack.Put(at, recursiveReturn);
    const TStackTraceResult result = Trace(stack, {recursive, kStackBase + 0x100, kStackTop, 0, 0});
    EXPECT_EQ((std::vector<CodeAddress>{recursive, recursiveReturn, outer->returnAddress}), Addresses(result))
        << WideToUTF8(result.text);
}

TEST_F(StackTracerRealCode, FrameSlotsAnchorTheChainAndTheThreadStartIsOldest)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    TStackBuilder stack;
    const CodeAddress outerFrame = kStackTop - 0x50, innerFrame = kStackTop - 0x90;
    stack.Put(outerFrame, 0);
    stack.Put(outerFrame + 4, first.returnAddress);
    stack.Put(innerFrame, outerFrame);
    stack.Put(innerFrame + 4, second.returnAddress);
    const TStackTraceResult result =
        Trace(stack, {second.callee, kStackBase + 0x100, kStackTop, innerFrame, first.caller});
    EXPECT_EQ((std::vector<CodeAddress>{second.callee, second.returnAddress, first.returnAddress, first.caller}),
              Addresses(result))
        << WideToUTF8(result.text);
}

class TRecordedProgress : public IStackProgress {
public:
    void SetPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

TEST_F(StackTracerRealCode, EmptyStackListsTheExceptionAddressAlone)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    // The stack pointer at the stack top leaves nothing to scan; progress is a share of the
    // scanned stack and of the explicit list, neither of which may be divided by.
    TRecordedProgress progress;
    TStackTraceOptions options;
    options.progress = &progress;
    const TStackRegisters atTop{chain->second.callee, kStackTop, kStackTop, 0, 0};
    const TStackTraceResult result = Trace(stack, atTop, options);
    EXPECT_EQ((std::vector<CodeAddress>{chain->second.callee}), Addresses(result));
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(1000, progress.positions.back());
    EXPECT_TRUE(std::all_of(progress.positions.begin(), progress.positions.end(),
                            [](int position) { return position >= 0 && position <= 1000; }));

    // Without the exception address no item is found at all: every later phase has no items
    // to share its progress among.
    progress.positions.clear();
    options.noExceptionAddress = true;
    const TStackTraceResult none = Trace(stack, atTop, options);
    EXPECT_TRUE(none.items.empty());
    EXPECT_TRUE(none.text.empty());
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(1000, progress.positions.back());

    progress.positions.clear();
    options.noExceptionAddress = false;
    options.explicitCandidates = std::string(4, '\0'); // a count of 0
    EXPECT_EQ((std::vector<CodeAddress>{chain->second.callee}), Addresses(Trace(stack, atTop, options)));
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_EQ(1000, progress.positions.back());
}

TEST_F(StackTracerRealCode, UnreadableStackGivesEmptyResults)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, chain->first.returnAddress);
    TStackTraceOptions options;
    options.exactAddress = true;
    // The stack pointer lies below the readable stack.
    const TStackTraceResult result = Trace(stack, {chain->second.callee, kStackBase - 0x100, kStackTop, 0, 0}, options);
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(result.text.empty()) << WideToUTF8(result.text);
    EXPECT_EQ(0u, result.mostRecentAddress);
}

TEST_F(StackTracerRealCode, SetCancelFlagEndsTheTraceAtOnce)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, chain->first.returnAddress);
    std::atomic<bool> cancel = true;
    TStackTraceOptions options;
    options.cancel = &cancel;
    const TStackTraceResult result = Trace(stack, {chain->second.callee, kStackBase, kStackTop, 0, 0}, options);
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(result.text.empty());
}

// Sets the cancel flag as soon as the trace reports any progress, as a caller's other thread
// would while the trace runs.
class TCancellingProgress : public IStackProgress {
public:
    explicit TCancellingProgress(std::atomic<bool>& cancel) : cancel_(cancel) {}
    void SetPosition(int position) override
    {
        positions.push_back(position);
        cancel_ = true;
    }
    std::vector<int> positions;

private:
    std::atomic<bool>& cancel_;
};

TEST_F(StackTracerRealCode, CancelDuringTheScanEndsTheTraceAtTheNextValue)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, chain->first.returnAddress);
    stack.Put(kStackTop - 0x80, chain->second.returnAddress);
    std::atomic<bool> cancel = false;
    TCancellingProgress progress(cancel);
    TStackTraceOptions options;
    options.cancel = &cancel;
    options.progress = &progress;
    const TStackTraceResult result = Trace(stack, {chain->second.callee, kStackBase, kStackTop, 0, 0}, options);
    // One value of the 256 on the stack was tested before the flag was seen.
    EXPECT_EQ(1u, progress.positions.size());
    EXPECT_TRUE(result.items.empty());
    EXPECT_TRUE(result.text.empty());
}

// The line GNU addr2line gives for an address; 0 when it knows none.
int32_t Addr2LineLine(const std::string& dll, uint64_t address)
{
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(address));
    const std::string command = std::string(CRASHKIT_I686_ADDR2LINE) + " -e " + dll + " " + hex;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> buffer{};
    if (!pipe || !fgets(buffer.data(), buffer.size(), pipe.get()))
        return 0;
    const std::string line(buffer.data());
    const size_t colon = line.find_last_of(':');
    return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

TEST_F(StackTracerRealCode, LinesAgreeWithAddr2lineAndRelativeColumnsAreWritten)
{
    if (std::string(CRASHKIT_I686_ADDR2LINE).empty())
        GTEST_SKIP() << "no i686-w64-mingw32-addr2line";
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    TStackTraceOptions options;
    options.showRelativeAddresses = options.showRelativeLines = true;
    const TStackTraceResult result = Trace(stack, {second.callee, kStackBase + 0x100, kStackTop, 0, 0}, options);
    ASSERT_EQ(3u, result.items.size()) << WideToUTF8(result.text);
    for (size_t i = 0; i < result.items.size(); ++i) {
        const TStackItem& item = result.items[i];
        // Return addresses are looked up one byte back, inside their call.
        const int32_t expected = Addr2LineLine(dll_->path, i == 0 ? item.address : item.address - 1);
        EXPECT_EQ(expected, item.line > 0 ? item.line : item.relativeLine) << i << "\n" << WideToUTF8(result.text);
        if (item.line > 0) {
            const int32_t firstLine = Addr2LineLine(dll_->path, item.address - item.relativeAddress);
            EXPECT_EQ(item.line - firstLine, item.relativeLine) << i;
        }
    }
    const std::string text = WideToUTF8(result.text);
    EXPECT_NE(std::string::npos, text.find(" +")) << text;
}

TEST_F(StackTracerRealCode, ProgressRisesToTheEndAndSingleItemsFormatLikeTheirLines)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, chain->first.returnAddress);
    TRecordedProgress progress;
    TStackTraceOptions options;
    options.progress = &progress;
    Trace(stack, {chain->second.callee, kStackBase + 0x100, kStackTop, 0, 0}, options);
    ASSERT_FALSE(progress.positions.empty());
    EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
    EXPECT_EQ(1000, progress.positions.back());

    // FormatStackItem of a return address: digits, relative address, module, unit, line,
    // relative line and function, each part as the namer gives it.
    const CodeAddress address = chain->first.returnAddress;
    const std::optional<TCodeName> name = dll_->namer.Name(address);
    ASSERT_TRUE(name && name->hasDebugInfo && name->line > 0);
    const std::optional<TCodeName> first = dll_->namer.Name(name->functionStart);
    ASSERT_TRUE(first);
    char expected[512];
    std::snprintf(expected, sizeof expected, "%08x +%llx %s %s %d +%d %s", address,
                  static_cast<unsigned long long>(address - name->functionStart), WideToUTF8(name->module).c_str(),
                  WideToUTF8(name->unit).c_str(), name->line, name->line - first->line,
                  WideToUTF8(name->function).c_str());
    EXPECT_EQ(expected, WideToUTF8(FormatStackItem(dll_->namer, address, true, true)));
    char unknown[64];
    std::snprintf(unknown, sizeof unknown, "%08x +0 ???", 0x1234u);
    EXPECT_EQ(unknown, WideToUTF8(FormatStackItem(dll_->namer, 0x1234, true, false)));
}

} // namespace

namespace {

// A stale return address: a call of a function outside the chain to another one outside it.
std::optional<TLink> FindStale(const TObjdumpCode& code, const TLink& first, const TLink& second)
{
    const std::set<CodeAddress> used = {first.caller, first.callee, second.callee};
    for (const auto& [start, calls] : code.functions) {
        for (const TLink& link : CallsOf(code, start)) {
            if (!used.count(link.caller) && !used.count(link.callee))
                return link;
        }
    }
    return std::nullopt;
}

// The explicit candidate list as its callers write it: a count, then a flag byte and a value.
std::string ExplicitList(uint32_t count, std::initializer_list<std::pair<bool, CodeAddress>> entries)
{
    std::string bytes;
    auto put = [&bytes](uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(value >> (8 * i));
    };
    put(count);
    for (const auto& [withoutCall, value] : entries) {
        bytes += static_cast<char>(withoutCall ? 1 : 0);
        put(value);
    }
    return bytes;
}

} // namespace

TEST_F(StackTracerRealCode, ExplicitCandidatesReplaceTheStackScan)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    const std::optional<TLink> stale = FindStale(dll_->objdump, first, second);
    ASSERT_TRUE(stale);
    // The stack holds a stale return address, and a frame that the walk would record.
    TStackBuilder stack;
    stack.Put(kStackTop - 0x40, stale->returnAddress);
    stack.Put(kStackTop - 0x50, 0);
    stack.Put(kStackTop - 0x4C, stale->returnAddress);
    const CodeAddress exception = second.callee;
    const TStackRegisters registers{exception, kStackBase + 0x100, kStackTop, kStackTop - 0x50, 0};
    TStackTraceOptions options;
    options.explicitCandidates = ExplicitList(2, {{false, first.returnAddress}, {false, second.returnAddress}});
    const TStackTraceResult result = Trace(stack, registers, options);
    EXPECT_EQ((std::vector<CodeAddress>{exception, second.returnAddress, first.returnAddress}), Addresses(result))
        << WideToUTF8(result.text);

    // No call ends at stale + 1: only its flag makes it an item. A count beyond the entries given
    // reads the entries there are.
    options.dumpAllCandidates = true;
    const CodeAddress noCall = stale->returnAddress + 1;
    options.explicitCandidates = ExplicitList(2, {{false, first.returnAddress}, {true, noCall}});
    EXPECT_EQ((std::vector<CodeAddress>{exception, noCall, first.returnAddress}), Addresses(Trace(stack, registers, options)));
    options.explicitCandidates = ExplicitList(7, {{false, first.returnAddress}, {false, noCall}});
    EXPECT_EQ((std::vector<CodeAddress>{exception, first.returnAddress}), Addresses(Trace(stack, registers, options)));
}

TEST_F(StackTracerRealCode, ExactExceptionAddressOnTheStackIsForced)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    // The exception lies at the start of the middle function: an instruction, no return address.
    const CodeAddress exception = first.callee;
    for (const auto& [start, calls] : dll_->objdump.functions) {
        for (const TCall& call : calls)
            ASSERT_NE(exception, call.returnAddress);
    }
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x40, exception);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    const TStackRegisters registers{exception, kStackBase + 0x100, kStackTop, 0, 0};
    TStackTraceOptions options;
    options.dumpAllCandidates = true;
    EXPECT_EQ((std::vector<CodeAddress>{exception, second.returnAddress, first.returnAddress}),
              Addresses(Trace(stack, registers, options)));
    options.exactAddress = true;
    const TStackTraceResult exact = Trace(stack, registers, options);
    EXPECT_EQ((std::vector<CodeAddress>{exception, second.returnAddress, exception, first.returnAddress}),
              Addresses(exact))
        << WideToUTF8(exact.text);
}

TEST_F(StackTracerRealCode, ExceptionRaisedByACallLiesAtThatCallUnlessTheCallerSaysNot)
{
    // A call that ends its function, into a routine whose name says it raises: its return
    // address is already the start of the next function.
    const TObjdumpCode& code = dll_->objdump;
    std::optional<TLink> raising;
    for (const auto& [start, calls] : code.functions) {
        for (const TCall& call : calls) {
            const auto callee = code.names.find(call.target);
            std::string name = callee == code.names.end() ? "" : callee->second;
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            if (!raising && name.find("error") != std::string::npos && code.functions.count(call.returnAddress))
                raising = TLink{start, call.returnAddress, call.target};
        }
    }
    if (!raising)
        GTEST_SKIP() << "no function of the DLL ends in a call to a raising routine";
    std::optional<TLink> outer;
    for (const auto& [start, calls] : code.functions) {
        for (const TLink& link : CallsOf(code, start)) {
            if (!outer && link.callee == raising->caller)
                outer = link;
        }
    }
    TStackBuilder stack;
    if (outer)
        stack.Put(kStackTop - 4, outer->returnAddress);
    const CodeAddress exception = raising->returnAddress;
    const TStackRegisters registers{exception, kStackBase + 0x100, kStackTop, 0, 0};
    const TStackTraceResult atCall = Trace(stack, registers);
    ASSERT_FALSE(atCall.items.empty());
    EXPECT_EQ(exception, atCall.items[0].address);
    EXPECT_EQ(exception - raising->caller, atCall.items[0].relativeAddress) << WideToUTF8(atCall.text);
    EXPECT_EQ(dll_->namer.Name(exception - 1)->function, atCall.items[0].functionName);
    if (outer) {
        EXPECT_EQ((std::vector<CodeAddress>{exception, outer->returnAddress}), Addresses(atCall))
            << WideToUTF8(atCall.text);
    }
    TStackTraceOptions options;
    options.notAfterRaisingCall = true;
    const TStackTraceResult asGiven = Trace(stack, registers, options);
    ASSERT_FALSE(asGiven.items.empty());
    EXPECT_EQ(0u, asGiven.items[0].relativeAddress) << WideToUTF8(asGiven.text);
    EXPECT_EQ(dll_->namer.Name(exception)->function, asGiven.items[0].functionName);
    EXPECT_NE(atCall.items[0].functionName, asGiven.items[0].functionName);
}

namespace {

// The code exports of the DLL and its entry point, from objdump's headers; absolute addresses.
struct TObjdumpExports {
    std::map<CodeAddress, std::string> byStart;
    CodeAddress entryPoint = 0;
};

TObjdumpExports ReadObjdumpExports(const std::string& dll, const TObjdumpCode& code)
{
    TObjdumpExports exports;
    const std::string command = std::string(CRASHKIT_I686_OBJDUMP) + " -p " + dll;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return exports;
    const std::regex base(R"(^ImageBase\s+([0-9a-f]+)$)");
    const std::regex entry(R"(^AddressOfEntryPoint\s+([0-9a-f]+)$)");
    const std::regex address(R"(^\s+\[\s*(\d+)\] \+base\[\s*(\d+)\] ([0-9a-f]+) Export RVA$)");
    const std::regex name(R"(^\t\[\s*(\d+)\] (\S+)$)");
    CodeAddress imageBase = 0, entryRva = 0;
    std::map<int, std::pair<CodeAddress, int>> byIndex; // rva and ordinal
    std::map<int, std::string> names;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe.get())) {
        std::string line(buffer.data());
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::smatch match;
        if (std::regex_match(line, match, base))
            imageBase = static_cast<CodeAddress>(std::stoul(match[1], nullptr, 16));
        else if (std::regex_match(line, match, entry))
            entryRva = static_cast<CodeAddress>(std::stoul(match[1], nullptr, 16));
        else if (std::regex_match(line, match, address))
            byIndex[std::stoi(match[1])] = {static_cast<CodeAddress>(std::stoul(match[3], nullptr, 16)), std::stoi(match[2])};
        else if (std::regex_match(line, match, name))
            names[std::stoi(match[1])] = match[2];
    }
    for (const auto& [index, entryOf] : byIndex) {
        const CodeAddress start = imageBase + entryOf.first;
        if (!code.functions.count(start))
            continue; // not code
        const auto named = names.find(index);
        exports.byStart[start] = named != names.end() ? named->second : "#" + std::to_string(entryOf.second);
    }
    exports.entryPoint = entryRva ? imageBase + entryRva : 0;
    return exports;
}

} // namespace

TEST_F(StackTracerRealCode, WithoutDebugInformationTheNearestExportNamesTheCode)
{
    const TObjdumpExports exports = ReadObjdumpExports(dll_->path, dll_->objdump);
    ASSERT_FALSE(exports.byStart.empty());
    ASSERT_NE(0u, exports.entryPoint);
    // The nearest export at or below the address, or the entry point when that lies nearer.
    auto expected = [&exports](CodeAddress address) -> std::pair<CodeAddress, std::string> {
        std::pair<CodeAddress, std::string> best{0, ""};
        for (const auto& [start, name] : exports.byStart) {
            if (start <= address)
                best = {start, name};
        }
        if (exports.entryPoint <= address && exports.entryPoint > best.first)
            best = {exports.entryPoint, ""};
        return best;
    };
    TMapFile bare;
    bare.SetLayout(dll_->map.Layout());
    const TExportTable table(*dll_->image, dll_->pe->imageBase, bare.Layout());
    TMapFileNamer namer;
    const std::string module = dll_->path.substr(dll_->path.find_last_of('/') + 1);
    namer.AddModule(bare, UTF8ToWide(module), &table);

    std::vector<CodeAddress> probes = {static_cast<CodeAddress>(bare.Layout().codeStart), exports.entryPoint,
                                       exports.entryPoint + 1};
    for (const auto& [start, name] : exports.byStart) {
        probes.push_back(start);
        probes.push_back(start + 1);
        probes.push_back(start - 1);
    }
    for (const CodeAddress probe : probes) {
        const std::optional<TCodeName> name = namer.Name(probe);
        ASSERT_TRUE(name) << std::hex << probe;
        const auto [start, function] = expected(probe);
        EXPECT_EQ(function, WideToUTF8(name->function)) << std::hex << probe;
        EXPECT_EQ(start, name->functionStart) << std::hex << probe;
        EXPECT_TRUE(name->unit.empty());
        EXPECT_EQ(0, name->line);
        EXPECT_FALSE(name->hasDebugInfo);
    }

    // A traced chain: each return address carries the export that holds its call, and one
    // without a function name is left out.
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    const TStackedProcess process(*dll_->environment, stack.bytes_);
    const TStackTraceResult result = TraceStack(process, namer, {second.callee, kStackBase + 0x100, kStackTop, 0, 0}, {});
    std::vector<CodeAddress> listed = {second.callee};
    for (const CodeAddress returnAddress : {second.returnAddress, first.returnAddress}) {
        if (!expected(returnAddress - 1).second.empty())
            listed.push_back(returnAddress);
    }
    EXPECT_EQ(listed, Addresses(result)) << WideToUTF8(result.text);
    for (size_t i = 1; i < result.items.size(); ++i)
        EXPECT_EQ(expected(result.items[i].address - 1).second, WideToUTF8(result.items[i].functionName));
}

namespace {

// The instruction that ends at next, as objdump lists them.
CodeAddress InstructionBefore(const TObjdumpCode& code, CodeAddress next)
{
    auto found = code.instructions.lower_bound(next);
    return found == code.instructions.begin() ? 0 : *std::prev(found);
}

} // namespace

TEST_F(StackTracerRealCode, InstructionBoundariesOfAFunctionAgreeWithObjdump)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const TObjdumpCode& code = dll_->objdump;
    int boundaries = 0, inside = 0;
    for (const CodeAddress entry : {chain->first.caller, chain->first.callee, chain->second.callee}) {
        TFunctionInfo function;
        ParseFunction(*dll_->environment, entry, function);
        ASSERT_TRUE(function.valid) << std::hex << entry;
        const auto next = code.functions.upper_bound(entry);
        const CodeAddress end = next == code.functions.end() ? entry + 0x1000 : next->first;
        for (const TFunctionArea& area : function.areas) {
            if (area.isCaseTable || area.isHandlerTable)
                continue;
            for (CodeAddress at = area.start; at <= area.end && at < end; ++at) {
                const bool expected = code.instructions.count(at) != 0;
                EXPECT_EQ(expected, IsInstructionBoundary(dll_->environment->Code(), function, at)) << std::hex << at;
                ++(expected ? boundaries : inside);
            }
        }
        // Beside the function's code nothing is its instruction.
        EXPECT_FALSE(IsInstructionBoundary(dll_->environment->Code(), function, function.lowAddress - 1));
    }
    EXPECT_GT(boundaries, 0);
    EXPECT_GT(inside, 0);
}

TEST_F(StackTracerRealCode, AnAddressTakenAsGivenInsideAnInstructionIsReachedByNoKnownCall)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    const TObjdumpCode& code = dll_->objdump;
    // The exception lies in the middle function, on its call of the innermost one or inside it.
    const CodeAddress callStart = InstructionBefore(code, second.returnAddress);
    ASSERT_GE(second.returnAddress - callStart, 2u);
    const CodeAddress insideCall = callStart + 1;
    // A stale return address behind a call through a register or memory, in a function of
    // neither the caller nor the middle one, named as well as the caller's return address:
    // the call's target is unknown, so it may lead anywhere.
    auto hasLine = [this](CodeAddress returnAddress) {
        const std::optional<TCodeName> name = dll_->namer.Name(returnAddress - 1);
        return name && name->hasDebugInfo && name->line > 0;
    };
    std::optional<CodeAddress> stale;
    for (const auto& [function, returns] : code.indirectReturns) {
        if (function == first.caller || function == first.callee)
            continue;
        for (const CodeAddress returnAddress : returns) {
            if (!stale && hasLine(returnAddress) == hasLine(first.returnAddress))
                stale = returnAddress;
        }
    }
    if (!stale)
        GTEST_SKIP() << "the DLL has no call through a register or memory to stand for a stale one";
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x40, *stale);
    TStackTraceOptions asGiven;
    asGiven.notAfterRaisingCall = true;
    auto trace = [&](CodeAddress exception, const TStackTraceOptions& options) {
        return Trace(stack, {exception, kStackBase + 0x100, kStackTop, 0, 0}, options);
    };
    // On an instruction of the middle function the caller's call leads there and wins over the
    // unknown one.
    const TStackTraceResult onBoundary = trace(callStart, asGiven);
    EXPECT_EQ((std::vector<CodeAddress>{callStart, first.returnAddress}), Addresses(onBoundary))
        << WideToUTF8(onBoundary.text);
    // Inside an instruction no call is known to lead there: the first unknown one is as good.
    const TStackTraceResult insideInstruction = trace(insideCall, asGiven);
    EXPECT_EQ((std::vector<CodeAddress>{insideCall, *stale}), Addresses(insideInstruction))
        << WideToUTF8(insideInstruction.text);
    // The exception address is still named by its function.
    ASSERT_FALSE(insideInstruction.items.empty());
    EXPECT_EQ(insideCall - first.callee, insideInstruction.items[0].relativeAddress);
    // Not taken as given, the address is only looked up in its function's code.
    const TStackTraceResult looked = trace(insideCall, {});
    EXPECT_EQ((std::vector<CodeAddress>{insideCall, first.returnAddress}), Addresses(looked))
        << WideToUTF8(looked.text);
}

namespace {

// The fixture DLL whose path ends in this, loaded once; none when it was not built.
TRealDll* FixtureDll(const std::string& ending)
{
    static std::map<std::string, std::unique_ptr<TRealDll>> loaded;
    auto found = loaded.find(ending);
    if (found == loaded.end()) {
        std::string path;
        std::stringstream list(CRASHKIT_STACK_FIXTURES);
        for (std::string entry; std::getline(list, entry, '|');) {
            if (entry.size() >= ending.size() && entry.compare(entry.size() - ending.size(), ending.size(), ending) == 0)
                path = entry;
        }
        found = loaded.emplace(ending, path.empty() ? nullptr : LoadRealDll(path)).first;
    }
    return found->second.get();
}

CodeAddress SymbolStart(const TObjdumpCode& code, const std::string& name)
{
    for (const auto& [start, symbol] : code.names) {
        if (symbol == name || symbol == "_" + name)
            return start;
    }
    return 0;
}

// The return address of the call from caller to callee.
CodeAddress ReturnInto(const TObjdumpCode& code, CodeAddress caller, CodeAddress callee)
{
    for (const TCall& call : code.functions.at(caller)) {
        if (call.target == callee)
            return call.returnAddress;
    }
    return 0;
}

class StackTracerFixtureCode : public ::testing::TestWithParam<const char*> {};

// The thread stopped in Innermost, reached through Outer, Middle and three levels of Recurse;
// Middle's earlier call of Helper left its return address in a local of the first Recurse.
// With frame pointers each frame holds the caller's saved frame pointer under its return
// address, and the trace starts from the innermost frame.
TEST_P(StackTracerFixtureCode, KnownChainWithRecursionAndAStaleReturnAddress)
{
    const bool framePointers = std::string(GetParam()) == "/callchain-no-omit-frame-pointer.dll";
    TRealDll* dll = FixtureDll(GetParam());
    if (!dll)
        GTEST_SKIP() << "the fixture DLL was not built (no i686-w64-mingw32-gcc)";
    if (std::string(CRASHKIT_I686_ADDR2LINE).empty())
        GTEST_SKIP() << "no i686-w64-mingw32-addr2line";
    ASSERT_TRUE(dll->map.Valid());
    const TObjdumpCode& code = dll->objdump;
    const CodeAddress outer = SymbolStart(code, "Outer"), middle = SymbolStart(code, "Middle"),
                      recurse = SymbolStart(code, "Recurse"), innermost = SymbolStart(code, "Innermost"),
                      helper = SymbolStart(code, "Helper");
    ASSERT_TRUE(outer && middle && recurse && innermost && helper);
    const CodeAddress intoOuter = ReturnInto(code, outer, middle), intoMiddle = ReturnInto(code, middle, recurse),
                      fromHelper = ReturnInto(code, middle, helper), intoRecurse = ReturnInto(code, recurse, recurse),
                      fromInnermost = ReturnInto(code, recurse, innermost);
    ASSERT_TRUE(intoOuter && intoMiddle && fromHelper && intoRecurse && fromInnermost);
    // The exception on the second instruction of Innermost.
    const auto second = code.instructions.upper_bound(innermost);
    ASSERT_NE(code.instructions.end(), second);
    const CodeAddress exception = *second;

    TStackBuilder stack;
    struct TFrame {
        CodeAddress returnSlot;
        CodeAddress returnAddress;
    };
    const std::vector<TFrame> frames = {
        {kStackTop - 0x30, intoOuter},   {kStackTop - 0x50, intoMiddle}, {kStackTop - 0x70, intoRecurse},
        {kStackTop - 0x90, intoRecurse}, {kStackTop - 0xB0, intoRecurse}, {kStackTop - 0xD0, fromInnermost},
    };
    CodeAddress savedFrame = 0;
    stack.Put(kStackTop - 0x10, savedFrame);
    savedFrame = kStackTop - 0x10;
    for (const TFrame& frame : frames) {
        stack.Put(frame.returnSlot, frame.returnAddress);
        if (framePointers) {
            stack.Put(frame.returnSlot - 4, savedFrame);
            savedFrame = frame.returnSlot - 4;
        }
    }
    stack.Put(kStackTop - 0x60, fromHelper);
    TStackRegisters registers{exception, kStackTop - 0xE0, kStackTop, 0, outer};
    if (framePointers)
        registers.framePointer = savedFrame;
    TStackTraceOptions options;
    options.showRelativeAddresses = options.showRelativeLines = true;
    const TStackedProcess process(*dll->environment, stack.bytes_);
    const TStackTraceResult result = TraceStack(process, dll->namer, registers, options);

    EXPECT_EQ((std::vector<CodeAddress>{exception, fromInnermost, intoRecurse, intoMiddle, intoOuter, outer}),
              Addresses(result))
        << WideToUTF8(result.text);
    EXPECT_EQ((std::vector<CodeAddress>{innermost, recurse, recurse, middle, outer, outer}), FunctionStarts(result));
    for (size_t i = 0; i < result.items.size(); ++i) {
        const TStackItem& item = result.items[i];
        const bool ownAddress = i == 0 || i + 1 == result.items.size();
        const int32_t expected = Addr2LineLine(dll->path, ownAddress ? item.address : item.address - 1);
        EXPECT_GT(expected, 0) << i;
        EXPECT_EQ(expected, item.line > 0 ? item.line : item.relativeLine) << i << "\n" << WideToUTF8(result.text);
    }
    // The scan does find the stale address and every level of the recursion; the chain drops them.
    options.dumpAllCandidates = true;
    const std::vector<CodeAddress> all = Addresses(TraceStack(process, dll->namer, registers, options));
    EXPECT_EQ(1, std::count(all.begin(), all.end(), fromHelper));
    EXPECT_EQ(1, std::count(all.begin(), all.end(), intoRecurse)); // repeated blocks fold before the chains
}

INSTANTIATE_TEST_SUITE_P(FramePointers, StackTracerFixtureCode,
                         ::testing::Values("/callchain-omit-frame-pointer.dll", "/callchain-no-omit-frame-pointer.dll"));

} // namespace

namespace {

// The DLL's namer with notes and failures of our choosing: each call of Name throws while armed
// (once when oneShot is set); the note of an address is the one given for its function.
class TStagedNamer : public ICodeNamer {
public:
    explicit TStagedNamer(const ICodeNamer& real) : real_(real) {}

    std::optional<TCodeName> Name(TItemAddress address) const override
    {
        if (armed) {
            armed = !oneShot;
            throw std::runtime_error("naming failed");
        }
        return real_.Name(address);
    }
    UnicodeString ModuleNote(TItemAddress address) const override
    {
        const std::optional<TCodeName> name = real_.Name(address);
        const auto note = name ? notes.find(name->functionStart) : notes.end();
        return note == notes.end() ? UnicodeString() : note->second;
    }

    mutable bool armed = false;
    bool oneShot = false;
    std::map<TItemAddress, UnicodeString> notes;

private:
    const ICodeNamer& real_;
};

// Arms the namer when the trace reports the end of the chain selection, right before naming.
class TArmingProgress : public IStackProgress {
public:
    explicit TArmingProgress(TStagedNamer& namer) : namer_(namer) {}
    void SetPosition(int position) override
    {
        if (position == 1000)
            namer_.armed = true;
    }

private:
    TStagedNamer& namer_;
};

} // namespace

TEST_F(StackTracerRealCode, ModuleNotesListEachModuleAndNoteOnceWhateverItsCase)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    TStagedNamer namer(dll_->namer);
    // Notes of one module that differ only in case count once; a function without one adds none.
    namer.notes[second.callee] = u"abc123";
    namer.notes[first.callee] = u"ABC123";
    namer.notes[first.caller] = u"other";
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    const TStackedProcess process(*dll_->environment, stack.bytes_);
    const TStackTraceResult result = TraceStack(process, namer, {second.callee, kStackBase + 0x100, kStackTop, 0, 0}, {});
    ASSERT_EQ(3u, result.items.size()) << WideToUTF8(result.text);
    const UnicodeString module = result.items[0].moduleName;
    EXPECT_EQ((TDAUnicodeString{module + u"|abc123", module + u"|other"}), result.moduleNotes);
}

TEST_F(StackTracerRealCode, AFailingPhaseLeavesOnlyTheInternalErrorNote)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    stack.Put(kStackTop - 4, chain->first.returnAddress);
    const TStackedProcess process(*dll_->environment, stack.bytes_);
    const CodeAddress exception = chain->second.callee;
    const TStackRegisters registers{exception, kStackBase + 0x100, kStackTop, 0, 0};
    TStagedNamer namer(dll_->namer);
    TArmingProgress progress(namer);
    TStackTraceOptions options;
    options.progress = &progress;
    namer.oneShot = true;

    // Naming fails once: the items found are dropped and the phase is named.
    TStackTraceResult result = TraceStack(process, namer, registers, options);
    EXPECT_EQ(">> internal error in FillFinalOutput", WideToUTF8(result.text));
    EXPECT_TRUE(result.items.empty());
    EXPECT_EQ(0u, result.callStackCrc);

    // With the exact address its line follows on a line of its own.
    options.exactAddress = true;
    options.showRelativeAddresses = true;
    result = TraceStack(process, namer, registers, options);
    EXPECT_EQ(">> internal error in FillFinalOutput\r\n>> original exception location: \r\n" +
                  WideToUTF8(FormatStackItem(dll_->namer, exception, true, false)),
              WideToUTF8(result.text));

    // Naming that fails from the start ends the first phase, and the location cannot be named
    // either: it is the bare address, and nothing escapes the trace.
    namer.oneShot = false;
    namer.armed = true;
    options.progress = nullptr;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", exception);
    EXPECT_NO_THROW(result = TraceStack(process, namer, registers, options));
    EXPECT_EQ(std::string(">> internal error in CollectPossibleStackItems\r\n>> original exception location: \r\n") +
                  digits,
              WideToUTF8(result.text));
}

TEST_F(StackTracerRealCode, FunctionOfTheFirstItemLinesAndTheItemsLeftOut)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    const auto [first, second] = *chain;
    TStackBuilder stack;
    stack.Put(kStackTop - 4, first.returnAddress);
    stack.Put(kStackTop - 0x80, second.returnAddress);
    const TStackRegisters registers{second.callee, kStackBase + 0x100, kStackTop, 0, first.caller};
    const TStackedProcess process(*dll_->environment, stack.bytes_);

    TStackTraceResult result = TraceStack(process, dll_->namer, registers, {});
    ASSERT_EQ(4u, result.items.size()) << WideToUTF8(result.text);
    EXPECT_EQ(second.callee, result.functionStart);
    EXPECT_EQ(second.callee, result.functionItemAddress);
    EXPECT_TRUE(result.hasLine);

    // Without the exception address the most recent return address leads, in the middle function.
    TStackTraceOptions options;
    options.noExceptionAddress = true;
    result = TraceStack(process, dll_->namer, registers, options);
    EXPECT_EQ((std::vector<CodeAddress>{second.returnAddress, first.returnAddress, first.caller}), Addresses(result))
        << WideToUTF8(result.text);
    EXPECT_EQ(second.returnAddress, result.mostRecentAddress);
    EXPECT_EQ(first.callee, result.functionStart);
    EXPECT_EQ(second.returnAddress, result.functionItemAddress);

    // Named by exports alone nothing has a line: hiding such items keeps the forced ones only.
    TMapFile bare;
    bare.SetLayout(dll_->map.Layout());
    const TExportTable table(*dll_->image, dll_->pe->imageBase, bare.Layout());
    TMapFileNamer exportsOnly;
    exportsOnly.AddModule(bare, u"bare.dll", &table);
    options = {};
    options.hideItemsWithoutLine = true;
    result = TraceStack(process, exportsOnly, registers, options);
    EXPECT_EQ((std::vector<CodeAddress>{second.callee, first.caller}), Addresses(result)) << WideToUTF8(result.text);
    EXPECT_FALSE(result.hasLine);
    options.hideItemsWithoutLine = false;
    const TStackTraceResult shown = TraceStack(process, exportsOnly, registers, options);
    EXPECT_GT(shown.items.size(), 2u) << "export-named return addresses are listed unless hidden\n"
                                      << WideToUTF8(shown.text);
}
