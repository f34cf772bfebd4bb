// The tracer's checks of each call against the walk of the function that holds it, on a small
// hand-assembled module: which return addresses stay and which calls lead on.
#include <gtest/gtest.h>

#include <map>

#include "AnalysedFunctions.h"
#include "MapFileNamer.h"
#include "StackTracer.h"
#include "text/Utf.h"

namespace {

constexpr CodeAddress kCode = 0x401000, kData = 0x402000, kEnd = 0x403000;
constexpr CodeAddress kStackBase = 0x200000, kStackTop = 0x200400;

// Function starts; each routine is named after its role below.
enum : CodeAddress {
    kOuter = 0x401020,     // call [cell] -> Middle
    kMiddle = 0x401100,    // call Inner
    kInner = 0x401200,     // the exception lies here
    kStale = 0x401300,     // call eax: a call of unknown target, left over on the stack
    kMisaligned = 0x401400, // bytes that look like a call ending inside an instruction
    kBroken = 0x401500,    // call Inner, then bytes that do not decode
    kThrower = 0x401600,   // call Inner, call _Unwind_Resume, then bytes that do not decode
    kResume = 0x401700,    // named as the unwinder's routine
    kToData = 0x401800,    // call the thunk in the data
    kCallsBroken = 0x401900,
    kCallsThrower = 0x401A00,
    kThroughTable = 0x401B00, // call [eax*4 + table]
    kTable = 0x402200,        // Middle, Inner, then no function
    kCell = kData,         // holds Middle
    kDataThunk = 0x402100, // call Inner
};
constexpr CodeAddress kOuterReturn = kOuter + 6, kMiddleReturn = kMiddle + 5, kStaleReturn = kStale + 2,
                      kMisalignedReturn = kMisaligned + 7, kBrokenReturn = kBroken + 5,
                      kThrowerReturn = kThrower + 5, kToDataReturn = kToData + 5, kDataThunkReturn = kDataThunk + 5,
                      kCallsBrokenReturn = kCallsBroken + 5, kCallsThrowerReturn = kCallsThrower + 5,
                      kThroughTableReturn = kThroughTable + 7;

// The module and a stack, as one process.
class TSmallProcess : public IFunctionEnvironment, public ICodeReader {
public:
    TSmallProcess() : code_(kEnd - kCode, 0xC3), stack_(kStackTop - kStackBase, 0)
    {
        Call(kOuter, {0xFF, 0x15}, kCell);
        Put(kCell, Le(kMiddle));
        Call(kMiddle, {0xE8}, kInner);
        Put(kStale, {0xFF, 0xD0});
        // add ecx, 0xFFFFF6E8; nop; ret: "E8 F6 FF FF 90" ends at the ret.
        Put(kMisaligned, {0x81, 0xC1, 0xE8, 0xF6, 0xFF, 0xFF, 0x90});
        Call(kBroken, {0xE8}, kInner);
        Put(kBroken + 5, {0x0F, 0x0B});
        Call(kThrower, {0xE8}, kInner);
        Call(kThrower + 5, {0xE8}, kResume);
        Put(kThrower + 10, {0x0F, 0x0B});
        Call(kToData, {0xE8}, kDataThunk);
        Call(kDataThunk, {0xE8}, kInner);
        Call(kCallsBroken, {0xE8}, kBroken);
        Call(kCallsThrower, {0xE8}, kThrower);
        Call(kThroughTable, {0xFF, 0x14, 0x85}, kTable);
        Put(kTable, Le(kMiddle));
        Put(kTable + 4, Le(kInner));
        Put(kTable + 8, Le(0));
    }

    void Put(CodeAddress at, std::vector<uint8_t> bytes)
    {
        std::vector<uint8_t>& memory = at >= kStackBase && at < kStackTop ? stack_ : code_;
        std::copy(bytes.begin(), bytes.end(), memory.begin() + (at - (&memory == &stack_ ? kStackBase : kCode)));
    }
    static std::vector<uint8_t> Le(uint32_t value)
    {
        return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                static_cast<uint8_t>(value >> 24)};
    }
    // A direct call (E8) takes the target as a displacement, an indirect one as an address.
    void Call(CodeAddress at, std::vector<uint8_t> opcode, CodeAddress target)
    {
        const bool direct = opcode.size() == 1;
        const CodeAddress next = at + static_cast<CodeAddress>(opcode.size()) + 4;
        const std::vector<uint8_t> operand = Le(direct ? target - next : target);
        opcode.insert(opcode.end(), operand.begin(), operand.end());
        Put(at, opcode);
    }

    const ICodeReader& Code() const override { return *this; }
    bool IsCommitted(CodeAddress address) const override
    {
        return (address >= kCode && address < kEnd) || (address >= kStackBase && address < kStackTop);
    }
    TCodeBounds CodeBounds(CodeAddress) const override { return {kCode, kEnd}; }
    CodeAddress CxxThrowRoutine() const override { return 0; }
    std::string SystemMessage(uint32_t) const override { return "invalid"; }
    bool Read(CodeAddress address, uint8_t* buffer, size_t count) const override
    {
        for (const auto& [base, memory] : {std::pair{kCode, &code_}, std::pair{kStackBase, &stack_}}) {
            if (address >= base && address - base + count <= memory->size()) {
                std::copy_n(memory->begin() + (address - base), count, buffer);
                return true;
            }
        }
        return false;
    }

private:
    std::vector<uint8_t> code_;
    std::vector<uint8_t> stack_;
};

class TSmallModule {
public:
    TSmallModule()
    {
        map_.SetLayout({kCode, kData, kData, kEnd, 0, 0});
        for (const auto& [start, name] : std::map<CodeAddress, std::u16string>{
                 {kOuter, u"Outer"}, {kMiddle, u"Middle"}, {kInner, u"Inner"}, {kStale, u"Stale"},
                 {kMisaligned, u"Misaligned"}, {kBroken, u"Broken"}, {kThrower, u"Thrower"},
                 {kResume, u"_Unwind_Resume"}, {kToData, u"ToData"}, {kCallsBroken, u"CallsBroken"},
                 {kCallsThrower, u"CallsThrower"}, {kThroughTable, u"ThroughTable"}})
            map_.AddPublic(true, start, name);
        map_.SortPublics();
        map_.SetValid(true);
        namer_.AddModule(map_, u"small.dll");
    }
    const ICodeNamer& Namer() const { return namer_; }

private:
    TMapFile map_;
    TMapFileNamer namer_;
};

// Stack values from the stack top down, the oldest call first.
TStackTraceResult Trace(TSmallProcess& process, const ICodeNamer& namer, std::vector<CodeAddress> values,
                        const TStackTraceOptions& options = {})
{
    CodeAddress at = kStackTop;
    for (const CodeAddress value : values)
        process.Put(at -= 0x20, TSmallProcess::Le(value));
    return TraceStack(process, namer, {kInner, kStackBase, kStackTop, 0, 0}, options);
}

std::vector<CodeAddress> Addresses(const TStackTraceResult& result)
{
    std::vector<CodeAddress> addresses;
    for (const TStackItem& item : result.items)
        addresses.push_back(static_cast<CodeAddress>(item.address));
    return addresses;
}

TEST(StackDeepChecks, CallsAreCheckedAgainstTheWalkOfTheirFunction)
{
    const TSmallModule module;
    const struct {
        const char* rule;
        std::vector<CodeAddress> stack; // oldest first
        bool dumpAll;
        std::vector<CodeAddress> expected; // most recent first
    } cases[] = {
        // The call through a cell leads to the routine the cell holds, so it beats a stale call
        // of unknown target nearer by.
        {"cell", {kOuterReturn, kStaleReturn, kMiddleReturn}, false, {kInner, kMiddleReturn, kOuterReturn}},
        // So does a call through a table of functions to one of them.
        {"table", {kThroughTableReturn, kStaleReturn, kMiddleReturn}, false,
         {kInner, kMiddleReturn, kThroughTableReturn}},
        // Bytes that decode as a call but lie inside an instruction of the walked code.
        {"misaligned", {kMisalignedReturn, kMiddleReturn}, true, {kInner, kMiddleReturn}},
        // A function whose walk fails keeps its own call, but no call leads into it.
        {"unwalkable", {kCallsBrokenReturn, kBrokenReturn}, true, {kInner, kBrokenReturn, kCallsBrokenReturn}},
        {"unwalkable", {kCallsBrokenReturn, kBrokenReturn}, false, {kInner, kBrokenReturn}},
        // A raising routine of the runtime ends the code before it, so the walk succeeds.
        {"raising", {kCallsThrowerReturn, kThrowerReturn}, false, {kInner, kThrowerReturn, kCallsThrowerReturn}},
        // Code in the module's data is code: its call leads from the caller to the exception,
        // past a stale call of unknown target.
        {"data", {kToDataReturn, kStaleReturn, kDataThunkReturn}, false, {kInner, kToDataReturn}},
    };
    for (const auto& c : cases) {
        TSmallProcess process;
        TStackTraceOptions options;
        options.dumpAllCandidates = c.dumpAll;
        const TStackTraceResult result = Trace(process, module.Namer(), c.stack, options);
        EXPECT_EQ(c.expected, Addresses(result)) << c.rule << "\n" << WideToUTF8(result.text);
    }
}

// Records the positions; throws a fault at an address once, on the first naming after the
// collection.
class TFaultingNamer : public ICodeNamer, public IStackProgress {
public:
    explicit TFaultingNamer(const ICodeNamer& real) : real_(real) {}
    std::optional<TCodeName> Name(TItemAddress address) const override
    {
        if (armed_) {
            armed_ = false;
            throw ECodeFault("fault", kBrokenReturn);
        }
        return real_.Name(address);
    }
    void ForEachFunction(const TFunctionVisitor& visit) const override { real_.ForEachFunction(visit); }
    void SetPosition(int position) override
    {
        positions.push_back(position);
        armed_ = arm && position > 25;
        arm = arm && !armed_;
    }

    bool arm = false;
    std::vector<int> positions;

private:
    const ICodeNamer& real_;
    mutable bool armed_ = false;
};

TEST(StackDeepChecks, ProgressMovesPerItemAndAFaultNamesThePhaseAndItsAddress)
{
    const TSmallModule module;
    TSmallProcess process;
    TFaultingNamer namer(module.Namer());
    TStackTraceOptions options;
    options.progress = &namer;
    const std::vector<CodeAddress> stack = {kOuterReturn, kStaleReturn, kMiddleReturn};
    Trace(process, namer, stack, options);
    const auto between = [&](int low, int high) {
        return std::count_if(namer.positions.begin(), namer.positions.end(),
                             [=](int position) { return position > low && position < high; });
    };
    EXPECT_TRUE(std::is_sorted(namer.positions.begin(), namer.positions.end()));
    EXPECT_GE(between(25, 650), 3); // one per item checked
    EXPECT_GE(between(650, 1000), 1); // one per anchor
    EXPECT_EQ(1000, namer.positions.back());

    namer.arm = true;
    const TStackTraceResult failed = Trace(process, namer, stack, options);
    EXPECT_EQ(">> internal error in InDeepChecks:\r\n" + WideToUTF8(FormatStackItem(module.Namer(), kBrokenReturn,
                                                                                     false, false)),
              WideToUTF8(failed.text));
}

TEST(StackDeepChecks, FunctionsAreWalkedOncePerSharedTable)
{
    // Broken's code is mended between two traces: a table kept across them still holds the
    // failed walk, a table of the trace's own walks it again.
    const TSmallModule module;
    TAnalysedFunctions shared;
    TStackTraceOptions options;
    options.functions = &shared;
    const std::vector<CodeAddress> stack = {kCallsBrokenReturn, kBrokenReturn};
    for (const bool keep : {true, false}) {
        TSmallProcess process;
        Trace(process, module.Namer(), stack, options);
        process.Put(kBroken + 5, {0xC3});
        const TStackTraceResult again = Trace(process, module.Namer(), stack, keep ? options : TStackTraceOptions{});
        const std::vector<CodeAddress> expected =
            keep ? std::vector<CodeAddress>{kInner, kBrokenReturn}
                 : std::vector<CodeAddress>{kInner, kBrokenReturn, kCallsBrokenReturn};
        EXPECT_EQ(expected, Addresses(again)) << keep;
        EXPECT_TRUE(shared.Runtime(module.Namer()).Raises(kResume));
    }
}

} // namespace
