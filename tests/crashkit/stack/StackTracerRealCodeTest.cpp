// The tracer on stacks built over the code of the real i686 DLLs. Which function calls which,
// and where each function starts, comes from GNU objdump, not from the code under test.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "ImageEnvironment.h"
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

// Functions by start, with their direct calls, from objdump's disassembly.
struct TObjdumpCode {
    std::map<CodeAddress, std::vector<TCall>> functions;
};

TObjdumpCode ReadObjdump(const std::string& dll)
{
    TObjdumpCode code;
    const std::string command = std::string(CRASHKIT_I686_OBJDUMP) + " -d --no-show-raw-insn " + dll;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return code;
    const std::regex header(R"(^([0-9a-f]+) <.*>:$)");
    const std::regex instruction(R"(^\s*([0-9a-f]+):\s+(\S+)\s*(.*)$)");
    const std::regex directCall(R"(^([0-9a-f]+) <.*>$)");
    std::vector<TCall>* current = nullptr;
    std::optional<CodeAddress> pendingTarget;
    std::array<char, 4096> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe.get())) {
        std::string line(buffer.data());
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::smatch match;
        if (std::regex_match(line, match, header)) {
            current = &code.functions[static_cast<CodeAddress>(std::stoul(match[1], nullptr, 16))];
            pendingTarget.reset();
        } else if (current && std::regex_match(line, match, instruction)) {
            const auto address = static_cast<CodeAddress>(std::stoul(match[1], nullptr, 16));
            if (pendingTarget)
                current->push_back({address, *pendingTarget});
            pendingTarget.reset();
            std::smatch target;
            const std::string operands = match[3];
            if (match[2] == "call" && std::regex_match(operands, target, directCall))
                pendingTarget = static_cast<CodeAddress>(std::stoul(target[1], nullptr, 16));
        }
    }
    return code;
}

class TFileDebugFiles : public IDebugFiles {
public:
    std::optional<std::string> ReadWholeFile(const UnicodeString& path) const override
    {
        std::ifstream file(WideToUTF8(path), std::ios::binary);
        if (!file)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
};

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

struct TRealDll {
    std::string path;
    std::string contents;
    std::optional<TPeImage> pe;
    std::unique_ptr<TImageEnvironment> environment;
    std::unique_ptr<TBufferReader> reader;
    std::unique_ptr<TFileImage> image;
    TMapFile map;
    TMapFileNamer namer;
    TObjdumpCode objdump;
};

// The first i686 DLL the build names, loaded once.
TRealDll* RealDll()
{
    static std::unique_ptr<TRealDll> dll = [] {
        std::string list = CRASHKIT_STACK_DLLS;
        auto loaded = std::make_unique<TRealDll>();
        loaded->path = list.substr(0, list.find('|'));
        std::ifstream file(loaded->path, std::ios::binary);
        if (loaded->path.empty() || !file || std::string(CRASHKIT_I686_OBJDUMP).empty())
            return std::unique_ptr<TRealDll>();
        loaded->contents.assign(std::istreambuf_iterator<char>(file), {});
        const auto* bytes = reinterpret_cast<const uint8_t*>(loaded->contents.data());
        loaded->pe = LoadPeImage({bytes, loaded->contents.size()});
        if (!loaded->pe)
            return std::unique_ptr<TRealDll>();
        const std::string name = loaded->path.substr(loaded->path.find_last_of('/') + 1);
        loaded->environment = std::make_unique<TImageEnvironment>(*loaded->pe, name);
        loaded->reader = std::make_unique<TBufferReader>(loaded->contents);
        const std::optional<TPeHeaders> headers = ReadPeHeaders(*loaded->reader, 0);
        if (!headers)
            return std::unique_ptr<TRealDll>();
        loaded->image = std::make_unique<TFileImage>(*loaded->reader, 0, *headers);
        const TFileDebugFiles files;
        loaded->map = BuildMapFile({loaded->image.get(), loaded->pe->imageBase, UTF8ToWide(loaded->path)}, files);
        loaded->namer.AddModule(loaded->map, UTF8ToWide(name));
        loaded->objdump = ReadObjdump(loaded->path);
        return loaded;
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

TEST_F(StackTracerRealCode, EmptyStackListsTheExceptionAddressAlone)
{
    const auto chain = FindChain(dll_->objdump);
    ASSERT_TRUE(chain);
    TStackBuilder stack;
    const TStackTraceResult result = Trace(stack, {chain->second.callee, kStackTop, kStackTop, 0, 0});
    EXPECT_EQ((std::vector<CodeAddress>{chain->second.callee}), Addresses(result));
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

class TRecordedProgress : public IStackProgress {
public:
    void SetPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

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
