#pragma once
// What the stack tracer takes from the thread it traces: its registers, the names of code
// addresses, and progress and cancel. Memory (stack and code) is read through the function
// environment of the disassembler, so live traces go through guarded reads and tests through
// buffers.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>

#include "FunctionEnvironment.h"
#include "text/ZelTypes.h"

struct TStackRegisters {
    CodeAddress instruction = 0;  // the exception or current address; 0 = none
    CodeAddress stackPointer = 0; // lowest stack address to scan
    CodeAddress stackTop = 0;     // end of the stack
    CodeAddress framePointer = 0; // 0 = no frame-pointer walk
    CodeAddress threadStart = 0;  // 0 = none
};

// Code addresses as the naming, the text and the CRCs see them: pointer-sized in the process.
using TItemAddress = uint64_t;

// What a module's debug information says of a code address.
struct TCodeName {
    UnicodeString module;   // file name without folder
    UnicodeString unit;     // empty without debug information
    UnicodeString function; // empty when unknown
    TItemAddress functionStart = 0; // 0 when unknown
    int32_t line = 0;              // 0 when unknown
    bool hasDebugInfo = false;
};

class ICodeNamer {
public:
    virtual ~ICodeNamer() = default;
    // None for an address outside every known module's code.
    virtual std::optional<TCodeName> Name(TItemAddress address) const = 0;
    // The module's "MinDebugInfo" note for the module holding the address; empty when none.
    virtual UnicodeString ModuleNote(TItemAddress) const { return {}; }
    // Called before other threads are suspended: loads whatever naming will need, so that no
    // lock a suspended thread may hold is taken during the trace.
    virtual void Prepare() const {}
    // Whether the address lies in the data of a known module (code there may be called too).
    virtual bool InModuleData(TItemAddress) const { return false; }
    // Every function the debug information or the exports name, with its start; the runtime's
    // exception routines are found among them.
    using TFunctionVisitor = std::function<void(std::u16string_view name, TItemAddress start)>;
    virtual void ForEachFunction(const TFunctionVisitor&) const {}
};

// What a seam may raise when it fails at a known code address; the trace's error note then
// names that address.
class ECodeFault : public std::runtime_error {
public:
    ECodeFault(const std::string& what, TItemAddress address) : std::runtime_error(what), address_(address) {}
    TItemAddress Address() const { return address_; }

private:
    TItemAddress address_;
};

class TAnalysedFunctions;

class IStackProgress {
public:
    virtual ~IStackProgress() = default;
    // 0 to 1000.
    virtual void SetPosition(int position) = 0;
};

struct TStackTraceOptions {
    bool hideItemsWithoutLine = false;
    bool showRelativeAddresses = false;
    bool showRelativeLines = false;
    // The instruction address is that of the faulting instruction: a stack value equal to it is
    // listed whatever precedes it.
    bool exactAddress = false;
    // The instruction address is not a return address behind a call to a raising routine, even
    // when one precedes it; else such a call is where the exception came from. Taken as given,
    // the address counts as code of its function only where one of its instructions starts.
    bool notAfterRaisingCall = false;
    bool noExceptionAddress = false; // the instruction address is not listed
    bool dumpAllCandidates = false;  // no chain selection
    // Stack values to test instead of the stack and the frame-pointer walk (see
    // ParseExplicitCandidates); empty = none.
    AnsiString explicitCandidates;
    const std::atomic<bool>* cancel = nullptr;
    IStackProgress* progress = nullptr;
    // The functions analysed so far and the runtime's routines, kept across traces of one
    // process; none = kept for this trace only.
    TAnalysedFunctions* functions = nullptr;
};
