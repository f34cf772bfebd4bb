#pragma once
// Exports handed wild pointers, as a careless host hands them: each pointer argument of an
// export in turn points at a no-access page, or (a buffer or a text) at bytes that run into
// one half-way. The export must fail with the fault's text in the last error, and the same
// export called again with good arguments must work. A table of export shapes says what each
// argument is; the probes follow from it, and one caller serves every shape.
#include "support/EdgePages.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace wild_pointers {

// What an export does with an argument, and what a good call passes for it.
enum class TArg : uint8_t {
    Zero,        // a number, flag, index or handle of no importance: 0
    One,         // 1: a flag that asks for more (clearing a counter)
    Number,      // the context's number (a module's address)
    Instruction, // the context's instruction byte
    Handle,      // the context's handle
    Filled,      // the context's handle, whose read-ahead buffer holds an answer before the call
    HostLink,    // the context's link handle of the library underneath
    Count,       // the size of an InBytes argument
    Timeout,     // a short time-out in milliseconds
    // Pointers. A wild one faults on the first access the export makes, named after the colon.
    LinkText,      // read: the context's connection string
    ParamsText,    // read: the context's device parameters
    KeyText,       // read: "host", a key of a socket link's connection string
    AnyText,       // read: a text of no importance
    InBytes,       // read: kInBytes zero bytes
    InNumber,      // read: a 32-bit cell holding the context's number
    Capacity,      // read, then written: a 32-bit cell holding kBufferSize
    CheckedOut,    // read and written back before the export acts: a 32-bit cell
    OutValue,      // written: a 32-bit cell
    OutBuffer,     // written: kBufferSize bytes
    ClearedBuffer, // written: its first byte only, unless a user accepts a dialog
};

enum class TResult : uint8_t {
    Code,   // a result code: 0x20000002 after a fault, 0 when it works
    Handle, // a new handle: 0 after a fault; one that works is released again
    Count,  // a count: -1 after a fault
};

struct TShape {
    const char* name;
    TResult result;
    std::vector<TArg> args;
};

enum class TWild : uint8_t { NoAccess, HalfWay };

struct TProbe {
    const TShape* shape;
    size_t argument;
    TWild wild;
};

// What the prober needs of the host.
struct TContext {
    uintptr_t handle = 0;
    uintptr_t hostLink = 0;
    uint32_t number = 0;
    uint32_t instruction = 0;
    std::string linkText;
    std::string paramsText;
    std::function<void()> fill;                 // puts an answer into the handle's read-ahead buffer
    std::function<void(uint32_t)> release;      // a handle a creating export made
    std::function<uint32_t()> lastError;
    std::function<std::string()> lastErrorText;
    std::function<void()> beforeFault;
    std::function<std::string(const std::string& faultText)> afterFault; // "" or what went wrong
};

constexpr int32_t kBufferSize = 256;
// As many bytes as a module has outputs, at most.
constexpr int32_t kInBytes = 12;
constexpr uint32_t kTimeoutMs = 100;
constexpr uint32_t kFaultCode = 0x20000002;
// A wild region starts this many good bytes before the no-access page.
constexpr size_t kGoodBytes = 2;

inline bool IsPointer(TArg arg)
{
    return arg >= TArg::LinkText;
}

inline bool IsRegion(TArg arg)
{
    return (arg >= TArg::LinkText && arg <= TArg::InBytes) || arg == TArg::OutBuffer;
}

inline bool IsRead(TArg arg)
{
    return arg >= TArg::LinkText && arg <= TArg::CheckedOut;
}

// Every pointer argument of every shape, at a no-access page and, for a region, half-way.
inline std::vector<TProbe> ProbesOf(const std::vector<TShape>& shapes)
{
    std::vector<TProbe> probes;
    for (const TShape& shape : shapes) {
        for (size_t argument = 0; argument < shape.args.size(); ++argument) {
            if (IsPointer(shape.args[argument]))
                probes.push_back({&shape, argument, TWild::NoAccess});
            if (IsRegion(shape.args[argument]))
                probes.push_back({&shape, argument, TWild::HalfWay});
        }
    }
    return probes;
}

inline std::string NameOf(const TProbe& probe)
{
    return std::string(probe.shape->name) + " argument " + std::to_string(probe.argument + 1) +
           (probe.wild == TWild::NoAccess ? " no-access" : " half-way");
}

class TProber {
public:
    TProber(HMODULE library, TContext context) : library_(library), context_(std::move(context)) {}

    // "" when the export failed with the fault and works again; else what went wrong.
    std::string Run(const TProbe& probe)
    {
        const TShape& shape = *probe.shape;
        const auto function = GetProcAddress(library_, shape.name);
        if (!function)
            return "not exported";
        if (HasArg(shape, TArg::Filled) && context_.fill)
            context_.fill();
        if (context_.beforeFault)
            context_.beforeFault();
        TCells wild(shape, context_);
        wild.values[probe.argument] = WildPointer(probe);
        const uint32_t faulted = Call(function, wild.values);
        std::string failure = CheckFault(probe, faulted);
        if (failure.empty() && context_.afterFault)
            failure = context_.afterFault(context_.lastErrorText());
        TCells good(shape, context_);
        const uint32_t result = Call(function, good.values);
        if (!failure.empty())
            return failure;
        return CheckWorks(shape, good, result);
    }

private:
    // The good arguments of one call and the memory they point at.
    struct TCells {
        TCells(const TShape& shape, const TContext& context) : memory(shape.args.size())
        {
            for (size_t index = 0; index < shape.args.size(); ++index)
                values.push_back(GoodValue(shape.args[index], memory[index], context));
        }
        std::vector<std::string> memory;
        std::vector<uintptr_t> values;
    };

    static bool HasArg(const TShape& shape, TArg wanted)
    {
        return std::find(shape.args.begin(), shape.args.end(), wanted) != shape.args.end();
    }

    static uintptr_t Cell(std::string& memory, size_t size, uint32_t value)
    {
        memory.assign(size, '\0');
        std::memcpy(memory.data(), &value, sizeof value);
        return reinterpret_cast<uintptr_t>(memory.data());
    }

    static uintptr_t Text(std::string& memory, const std::string& text)
    {
        memory = text;
        return reinterpret_cast<uintptr_t>(memory.c_str());
    }

    static uintptr_t GoodValue(TArg arg, std::string& memory, const TContext& context)
    {
        switch (arg) {
        case TArg::Zero: return 0;
        case TArg::One: return 1;
        case TArg::Number: return context.number;
        case TArg::Instruction: return context.instruction;
        case TArg::Handle:
        case TArg::Filled: return context.handle;
        case TArg::HostLink: return context.hostLink;
        case TArg::Count: return kInBytes;
        case TArg::Timeout: return kTimeoutMs;
        case TArg::LinkText: return Text(memory, context.linkText);
        case TArg::ParamsText: return Text(memory, context.paramsText);
        case TArg::KeyText: return Text(memory, "host");
        case TArg::AnyText: return Text(memory, "text");
        case TArg::InBytes: return Cell(memory, kInBytes, 0);
        case TArg::InNumber: return Cell(memory, sizeof(uint32_t), context.number);
        case TArg::Capacity: return Cell(memory, sizeof(int32_t), kBufferSize);
        case TArg::CheckedOut:
        case TArg::OutValue: return Cell(memory, sizeof(uint32_t), 0);
        case TArg::OutBuffer:
        case TArg::ClearedBuffer: return Cell(memory, kBufferSize, 0);
        }
        return 0;
    }

    // Half-way: kGoodBytes bytes before the no-access page, none of them a text's end.
    uintptr_t WildPointer(const TProbe& probe)
    {
        if (probe.wild == TWild::NoAccess)
            return reinterpret_cast<uintptr_t>(pages_.Edge());
        char* start = pages_.Edge() - kGoodBytes;
        std::memset(start, 'x', kGoodBytes);
        return reinterpret_cast<uintptr_t>(start);
    }

    template <class... Args>
    static uint32_t CallWith(FARPROC function, Args... args)
    {
        using TFunction = uintptr_t(WINAPI*)(Args...);
        // A narrower result leaves the register's upper bits undefined.
        return static_cast<uint32_t>(reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(function))(args...));
    }

    // Every argument is passed as a whole register or stack slot, which narrower parameters
    // read only in part, on either architecture.
    static uint32_t Call(FARPROC function, const std::vector<uintptr_t>& a)
    {
        switch (a.size()) {
        case 1: return CallWith(function, a[0]);
        case 2: return CallWith(function, a[0], a[1]);
        case 3: return CallWith(function, a[0], a[1], a[2]);
        case 4: return CallWith(function, a[0], a[1], a[2], a[3]);
        case 5: return CallWith(function, a[0], a[1], a[2], a[3], a[4]);
        case 6: return CallWith(function, a[0], a[1], a[2], a[3], a[4], a[5]);
        case 7: return CallWith(function, a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
        case 8: return CallWith(function, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
        }
        std::abort();
    }

    static uint32_t FailedResult(TResult result)
    {
        switch (result) {
        case TResult::Code: return kFaultCode;
        case TResult::Handle: return 0;
        case TResult::Count: return static_cast<uint32_t>(-1);
        }
        return 0;
    }

    // The address after `lead` in the text, as hexadecimal digits; 0 when there is none.
    static uintptr_t AddressAfter(const std::string& text, const std::string& lead)
    {
        const size_t at = text.find(lead);
        return at == std::string::npos ? 0
                                       : static_cast<uintptr_t>(std::strtoull(text.c_str() + at + lead.size(),
                                                                              nullptr, 16));
    }

    std::string CheckFault(const TProbe& probe, uint32_t result) const
    {
        const std::string text = context_.lastErrorText();
        const std::string access = IsRead(probe.shape->args[probe.argument]) ? "Read" : "Write";
        std::string failure;
        if (result != FailedResult(probe.shape->result))
            failure += " result " + Hex(result) + ";";
        if (context_.lastError() != kFaultCode)
            failure += " last error " + Hex(context_.lastError()) + ";";
        if (text.rfind("Access violation at address ", 0) != 0 ||
            !pages_.InNoAccessPage(AddressAfter(text, ". " + access + " of address ")))
            failure += " text '" + text + "', not " + access + " of the no-access page;";
        return failure;
    }

    std::string CheckWorks(const TShape& shape, const TCells& good, uint32_t result) const
    {
        const bool works = shape.result == TResult::Code     ? result == 0
                           : shape.result == TResult::Count  ? static_cast<int32_t>(result) >= 0
                                                             : result != 0;
        if (shape.result == TResult::Handle && result != 0 && context_.release)
            context_.release(result);
        if (!works)
            return " next call gave " + Hex(result) + " '" + context_.lastErrorText() + "'";
        if (HasArg(shape, TArg::Filled) && TakenBytes(shape, good) <= 0)
            return " next read got nothing: the faulting one lost the answer";
        return {};
    }

    // What the Capacity argument says the call gave back.
    static int32_t TakenBytes(const TShape& shape, const TCells& good)
    {
        for (size_t index = 0; index < shape.args.size(); ++index) {
            if (shape.args[index] == TArg::Capacity)
                return *reinterpret_cast<const int32_t*>(good.memory[index].data());
        }
        return 0;
    }

    static std::string Hex(uint32_t value)
    {
        char text[16];
        wsprintfA(text, "0x%08X", value);
        return text;
    }

    HMODULE library_;
    TContext context_;
    TEdgePages pages_;
};

} // namespace wild_pointers
